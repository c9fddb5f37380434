#include "timed_push.h"

#include <QAction>
#include <QTest>

using namespace std::chrono_literals;

class TestTimedPush : public QObject {
    Q_OBJECT
private slots:
    void postsEachIntervalUntilUnchecked_data();
    void postsEachIntervalUntilUnchecked();
    void takenAwayItStops();
};

void TestTimedPush::postsEachIntervalUntilUnchecked_data()
{
    QTest::addColumn<bool>("busyAtFirst"); // another exchange is waited for when checked
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("postsAwaited");
    QTest::newRow("free: at once, then each interval") << false << 20 << 3;
    // The next tick is an hour away: only the put-off first one can come.
    QTest::newRow("a wait under way: put off, not dropped") << true << 3'600'000 << 1;
}

void TestTimedPush::postsEachIntervalUntilUnchecked()
{
    QFETCH(bool, busyAtFirst);
    QFETCH(int, intervalMs);
    QFETCH(int, postsAwaited);
    int posts = 0;
    bool busy = busyAtFirst;
    int postsWhileBusy = 0;
    TimedPush timed([&] { ++posts; postsWhileBusy += busy; }, [&] { return busy; });
    timed.setInterval(std::chrono::milliseconds(intervalMs));
    QVERIFY(timed.action()->isCheckable());
    QCOMPARE(timed.action()->text(), QStringLiteral("每 10 分钟推送一次"));
    QVERIFY(!timed.isRunning());

    timed.action()->setChecked(true);
    QVERIFY(timed.isRunning());
    QCOMPARE(posts, busyAtFirst ? 0 : 1); // the first at once, unless it must wait
    busy = false;
    QTRY_VERIFY_WITH_TIMEOUT(posts >= postsAwaited, 5000);
    QCOMPARE(postsWhileBusy, 0);

    timed.action()->setChecked(false);
    QVERIFY(!timed.isRunning());
    const int stoppedAt = posts;
    QCoreApplication::processEvents(); // a tick already queued posts nothing
    QCOMPARE(posts, stoppedAt);
}

void TestTimedPush::takenAwayItStops()
{
    int posts = 0;
    TimedPush timed([&] { ++posts; }, [] { return false; });
    timed.setInterval(20ms);
    timed.setAvailable(true);
    timed.action()->setChecked(true);
    QCOMPARE(posts, 1);
    timed.setAvailable(false); // another family chosen
    QVERIFY(!timed.action()->isVisible());
    QVERIFY(!timed.action()->isChecked());
    QVERIFY(!timed.isRunning());
}

QTEST_MAIN(TestTimedPush)
#include "test_timed_push.moc"
