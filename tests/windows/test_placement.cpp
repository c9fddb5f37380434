#include "toolkit/placement.h"

#include <QTest>

// Where the result window goes beside the main window, for given frames: a
// result window of 481 x 326 and a main window of 460 x 366.
class TestPlacement : public QObject {
    Q_OBJECT
private slots:
    void placementBeside_data();
    void placementBeside();
};

void TestPlacement::placementBeside_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("anchor");
    QTest::addColumn<QPoint>("window");
    QTest::addColumn<QPoint>("anchorAfter");
    const QRect wide(0, 0, 1920, 1080), square(0, 0, 1280, 1024);
    QTest::newRow("room on both sides: right") << wide << QPoint(700, 100) << QPoint(1168, 100) << QPoint(700, 100);
    QTest::newRow("left, no room right") << wide << QPoint(1400, 100) << QPoint(911, 100) << QPoint(1400, 100);
    QTest::newRow("below, no room beside") << square << QPoint(410, 100) << QPoint(410, 474) << QPoint(410, 100);
    QTest::newRow("above, no room beside or below") << square << QPoint(410, 650) << QPoint(410, 316) << QPoint(410, 650);
    QTest::newRow("centred on 1280 x 1024: the main window moves left")
        << square << QPoint(410, 329) << QPoint(799, 329) << QPoint(331, 329);
    QTest::newRow("right of centre: the main window moves right")
        << square << QPoint(450, 329) << QPoint(0, 329) << QPoint(489, 329);
    QTest::newRow("second screen") << QRect(1920, 0, 1280, 1024) << QPoint(2020, 100) << QPoint(2488, 100)
                                   << QPoint(2020, 100);
    QTest::newRow("above the screen's top") << wide << QPoint(100, -20) << QPoint(568, 0) << QPoint(100, -20);
    QTest::newRow("no room anywhere: kept on the screen") << QRect(0, 0, 800, 600) << QPoint(170, 117)
                                                          << QPoint(0, 117) << QPoint(170, 117);
}

void TestPlacement::placementBeside()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, anchor);
    QFETCH(QPoint, window);
    QFETCH(QPoint, anchorAfter);
    const Placement place = ::placementBeside(QSize(481, 326), QRect(anchor, QSize(460, 366)), screen);
    QCOMPARE(place.window, window);
    QCOMPARE(place.anchor, anchorAfter);
}

QTEST_APPLESS_MAIN(TestPlacement)
#include "test_placement.moc"
