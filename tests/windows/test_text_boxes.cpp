#include "samples.h"
#include "toolkit/text_boxes.h"

#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace Qt::Literals::StringLiterals;

class TestTextBoxes : public QObject {
    Q_OBJECT
private slots:
    void multiLineReadsBackCrLf_data();
    void multiLineReadsBackCrLf();
    void typedBreaksReadBackCrLf();
    void clickComesFromTheMouseOnly();
    void singleLineHoldsLongText();
    void longLineSetWhileHiddenWrapsAtItsWidth();
};

void TestTextBoxes::multiLineReadsBackCrLf_data()
{
    QTest::addColumn<QString>("put");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("picture sample") << BuildPictureSample() << BuildPictureSample();
    QTest::newRow("text sample") << BuildTextSample() << BuildTextSample();
    QTest::newRow("location sample") << BuildLocationSample() << BuildLocationSample();
    QTest::newRow("trailing break") << u"请载入本文\r\n"_s << u"请载入本文\r\n"_s;
    QTest::newRow("LF, CR and CR LF mixed") << u"a\nb\rc\r\nd\n"_s << u"a\r\nb\r\nc\r\nd\r\n"_s;
    QTest::newRow("empty lines kept") << u"\r\n\r\nx\r\n\r\n"_s << u"\r\n\r\nx\r\n\r\n"_s;
    QTest::newRow("no-break space kept") << u"a\u00a0b"_s << u"a\u00a0b"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestTextBoxes::multiLineReadsBackCrLf()
{
    QFETCH(QString, put);
    QFETCH(QString, readBack);
    MultiLineTextBox box;
    box.setText(put);
    QCOMPARE(box.text(), readBack);
}

void TestTextBoxes::typedBreaksReadBackCrLf()
{
    MultiLineTextBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setFocus();
    QTest::keyClicks(&box, "ab");
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, "cd");
    QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(&box, "ef");
    QCOMPARE(box.text(), u"ab\r\ncd\r\nef"_s);
}

void TestTextBoxes::clickComesFromTheMouseOnly()
{
    QWidget window;
    auto *first = new SingleLineTextBox(&window);
    auto *single = new SingleLineTextBox(&window);
    auto *multi = new MultiLineTextBox(&window);
    single->move(0, 40);
    multi->setGeometry(0, 80, 200, 100);
    QSignalSpy singleClicks(single, &SingleLineTextBox::clicked);
    QSignalSpy multiClicks(multi, &MultiLineTextBox::clicked);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    first->setFocus();
    QTest::keyClick(first, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), single);
    QTest::keyClick(single, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), multi);
    QCOMPARE(singleClicks.count(), 0);
    QCOMPARE(multiClicks.count(), 0);

    QTest::mouseClick(single, Qt::LeftButton);
    QTest::mouseClick(multi->viewport(), Qt::LeftButton);
    QCOMPARE(singleClicks.count(), 1);
    QCOMPARE(multiClicks.count(), 1);

    // A right click, or a press dragged out of the box before release, is no click.
    QTest::mouseClick(single, Qt::RightButton);
    QTest::mousePress(single, Qt::LeftButton);
    QTest::mouseRelease(single, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(singleClicks.count(), 1);
}

void TestTextBoxes::singleLineHoldsLongText()
{
    SingleLineTextBox box;
    const QString url = u"http://127.0.0.1/"_s + QString(65536, u'a');
    box.setText(url);
    QCOMPARE(box.text(), url);
}

void TestTextBoxes::longLineSetWhileHiddenWrapsAtItsWidth()
{
    // The result window fills its box before showing it: the text must be
    // laid out at the box's width, not as one endless line.
    QWidget window;
    auto *box = new MultiLineTextBox(&window);
    box->setGeometry(0, 0, 300, 200);
    const QString line = QString(u"<Content>word </Content>"_s).repeated(20000);
    box->setText(line);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QTextLayout *layout = box->document()->firstBlock().layout();
    QVERIFY(layout->lineCount() > 1);
    QVERIFY(layout->lineAt(0).naturalTextWidth() <= box->viewport()->width());
    QCOMPARE(box->text(), line);

    // Given another text, it still holds exactly that.
    box->setText(u"short\r\nanswer"_s);
    QCOMPARE(box->text(), u"short\r\nanswer"_s);
}

QTEST_MAIN(TestTextBoxes)
#include "test_text_boxes.moc"
