#include "program_under_test.h"
#include "message_box_catcher.h"
#include "recording_server.h"
#include "samples.h"
#include "scripted_server.h"
#include "step_during_post.h"

#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestPostAction : public QObject {
    Q_OBJECT
private slots:
    void postsTheLoadedSample_data();
    void postsTheLoadedSample();
    void postsTheXmlBoxAsItStands_data();
    void postsTheXmlBoxAsItStands();
    void eachPostReplacesTheAnswer();
    void closedResultWindowComesBack();
    void minimizedResultWindowComesBack();
    void emptyAnswerStillShown();
    void shortEndpointIsRefused_data();
    void shortEndpointIsRefused();
    void fiveCharactersThatAreNoUrl();
    void refusedConnectionLosesNothing();
    void closingTheResultWindowDuringAPost();
    void inputDuringAPostIsDropped();
};

void TestPostAction::postsTheLoadedSample_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("sample");
    QTest::newRow("picture") << "Command1"_ba << BuildPictureSample();
    QTest::newRow("text") << "Command2"_ba << BuildTextSample();
    QTest::newRow("location") << "Command3"_ba << BuildLocationSample();
}

void TestPostAction::postsTheLoadedSample()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, sample);
    RecordingServer server;
    const std::string answer = "<xml>\r\n<Content><![CDATA[收到了]]></Content>\r\n</xml>";
    server.setAnswer({200, "text/xml; charset=utf-8", answer});
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    program.click(button);
    QVERIFY(!program.results.isLoaded());

    program.click("Command4");

    const auto requests = server.requests();
    QCOMPARE(requests.size(), 1u);
    QCOMPARE(QByteArray::fromStdString(requests.front().body), sample.toUtf8());
    QCOMPARE(requests.front().headers.find("Content-Type")->second, "text/XML, utf-8, application/x-www-form-urlencoded");
    QVERIFY(program.resultWindow().isVisible());
    QCOMPARE(program.answerShown(), QString::fromStdString(answer));
    // The main window's focus stays on its post button: nothing the user
    // typed is left selected, for the next key to replace.
    QCOMPARE(program.form.focusWidget(), program.form.findChild<QPushButton *>("Command4"));
    QVERIFY(!program.endpointBox()->hasSelectedText());

    // Shown wholly on the screen (1280 x 1024, see CMakeLists.txt), covering
    // nothing of the main window. Which place, for which rectangles, is
    // test_placement's.
    const QRect screen = program.form.screen()->availableGeometry();
    const QRect shown = program.resultWindow().frameGeometry();
    QCOMPARE(screen.width(), 1280);
    QVERIFY(screen.contains(shown));
    QVERIFY(!shown.intersects(program.form.frameGeometry()));
}

void TestPostAction::postsTheXmlBoxAsItStands_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("the first text, untouched") << QString() << "\xE8\xAF\xB7\xE8\xBD\xBD\xE5\x85\xA5\xE6\x9C\xAC\xE6\x96\x87\r\n"_ba;
    QTest::newRow("emptied") << u""_s << ""_ba;
    QTest::newRow("LF and CR breaks") << u"<a>\n<b/>\r</a>"_s << "<a>\r\n<b/>\r\n</a>"_ba;
    QTest::newRow("spaces and tabs kept") << u"  <a>\t</a>  "_s << "  <a>\t</a>  "_ba;
}

void TestPostAction::postsTheXmlBoxAsItStands()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, sent);
    RecordingServer server;
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    if (!typed.isNull())
        program.xmlBox()->setText(typed);
    program.click("Command4");
    QCOMPARE(server.requests().size(), 1u);
    QCOMPARE(QByteArray::fromStdString(server.requests().front().body), sent);
}

void TestPostAction::eachPostReplacesTheAnswer()
{
    RecordingServer server;
    int count = 0;
    server.setAnswerer([&count](const RecordingServer::Request &) {
        return RecordingServer::Answer{200, "text/plain", ++count == 1 ? "first answer, the longer one" : "second"};
    });
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    program.click("Command2");
    program.click("Command4");
    QCOMPARE(program.answerShown(), u"first answer, the longer one"_s);
    Form2 *first = &program.resultWindow();
    program.click("Command4");
    QCOMPARE(program.answerShown(), u"second"_s);
    QCOMPARE(&program.resultWindow(), first); // the same window, shown again
    QVERIFY(first->isVisible());
}

void TestPostAction::closedResultWindowComesBack()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain", "the answer"});
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    program.click("Command4");
    QVERIFY(program.resultWindow().close());
    QVERIFY(!program.results.isLoaded());
    QVERIFY(program.form.isVisible()); // the main window goes on

    server.setAnswer({200, "text/plain", "a new answer"});
    program.click("Command4");
    QVERIFY(program.resultWindow().isVisible());
    QCOMPARE(program.answerShown(), u"a new answer"_s);
}

void TestPostAction::minimizedResultWindowComesBack()
{
    RecordingServer server;
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    program.click("Command4");
    program.resultWindow().showMinimized();
    QVERIFY(program.resultWindow().isMinimized());

    program.click("Command4");
    QVERIFY(program.resultWindow().isVisible());
    QVERIFY(!program.resultWindow().isMinimized());
}

void TestPostAction::emptyAnswerStillShown()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain", ""});
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    program.click("Command4");
    QVERIFY(program.resultWindow().isVisible());
    QCOMPARE(program.answerShown(), QString());
}

void TestPostAction::shortEndpointIsRefused_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::newRow("4 characters") << u"http"_s;
    QTest::newRow("empty") << QString();
}

void TestPostAction::shortEndpointIsRefused()
{
    QFETCH(QString, endpoint);
    ProgramUnderTest program;
    program.enterEndpoint(endpoint);
    program.click("Command2");
    MessageBoxCatcher boxes;
    program.click("Command4");

    QCOMPARE(boxes.seen().size(), 1u);
    QCOMPARE(boxes.seen().front().text, u"请设置好域名或者API地址需要输入http://"_s);
    QCOMPARE(boxes.seen().front().title, u"Veltrane"_s);
    QVERIFY(boxes.seen().front().okOnly);
    QVERIFY(!program.results.isLoaded());
    QCOMPARE(program.endpointBox()->text(), endpoint);
    QCOMPARE(program.xmlBox()->text(), BuildTextSample());
}

void TestPostAction::fiveCharactersThatAreNoUrl()
{
    ProgramUnderTest program;
    program.enterEndpoint(u"abcde"_s);
    MessageBoxCatcher boxes;
    program.click("Command4");
    QCOMPARE(boxes.seen().size(), 1u);
    const QString report = boxes.seen().front().text;
    QVERIFY2(report.startsWith(u"发送失败(错误 5):"), qPrintable(report));
    QVERIFY2(report.contains(u"\"abcde\""), qPrintable(report));
    QCOMPARE(program.endpointBox()->text(), u"abcde"_s);
    QVERIFY(!program.resultWindow().isVisible());
}

void TestPostAction::refusedConnectionLosesNothing()
{
    ProgramUnderTest program;
    const QString refused = u"http://127.0.0.1:%1/api/"_s.arg(closedPort());
    program.enterEndpoint(refused);
    program.click("Command3");
    QTest::keyClick(program.xmlBox()->focusProxy(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(program.xmlBox()->focusProxy(), "edited");
    const QString typedXml = program.xmlBox()->text();
    {
        MessageBoxCatcher boxes;
        program.click("Command4");
        QCOMPARE(boxes.seen().size(), 1u);
        QCOMPARE(boxes.seen().front().title, u"Veltrane"_s);
        QVERIFY2(boxes.seen().front().text.startsWith(u"发送失败(错误 1):无法连接到 127.0.0.1:"),
                 qPrintable(boxes.seen().front().text));
    }
    QVERIFY(program.form.isVisible());
    QCOMPARE(program.endpointBox()->text(), refused);
    QCOMPARE(program.xmlBox()->text(), typedXml);
    QVERIFY(!program.resultWindow().isVisible());

    // The next post, to an endpoint that answers, goes through.
    RecordingServer server;
    server.setAnswer({200, "text/plain", "ok"});
    program.endpointBox()->setText(server.url());
    program.click("Command4");
    QCOMPARE(QByteArray::fromStdString(server.requests().front().body), typedXml.toUtf8());
    QVERIFY(program.resultWindow().isVisible());
    QCOMPARE(program.answerShown(), u"ok"_s);
}

void TestPostAction::closingTheResultWindowDuringAPost()
{
    ProgramUnderTest program;
    StepDuringPost closeResultWindow([&program] { QVERIFY(program.resultWindow().close()); });
    RecordingServer server;
    server.setAnswer({200, "text/plain", "first"});
    program.enterEndpoint(server.url());
    program.click("Command4");

    server.setAnswerer([&closeResultWindow](const RecordingServer::Request &) {
        closeResultWindow.arrived();
        return RecordingServer::Answer{200, "text/plain", "second"};
    });
    program.click("Command4");
    QCOMPARE(closeResultWindow.runs(), 1);
    QVERIFY(program.resultWindow().isVisible());
    QCOMPARE(program.answerShown(), u"second"_s);
}

void TestPostAction::inputDuringAPostIsDropped()
{
    // A load button clicked, keys typed and PostXML clicked again while the
    // post waits: all dropped, none kept for after the post.
    ProgramUnderTest program;
    StepDuringPost userActs([&program] {
        program.click("Command1");
        QTest::keyClicks(program.xmlBox()->focusProxy(), "TYPED");
        program.click("Command4");
    });
    RecordingServer server;
    server.setAnswerer([&userActs](const RecordingServer::Request &) {
        userActs.arrived();
        return RecordingServer::Answer{200, "text/plain", "answer"};
    });
    program.enterEndpoint(server.url());
    program.click("Command2");
    program.click("Command4");
    QCOMPARE(userActs.runs(), 1);
    QCoreApplication::processEvents(); // anything held back would come now
    QCOMPARE(server.requests().size(), 1u);
    QCOMPARE(program.answerShown(), u"answer"_s);
    QCOMPARE(program.xmlBox()->text(), BuildTextSample());
    program.click("Command1"); // and input is taken again
    QCOMPARE(program.xmlBox()->text(), BuildPictureSample());
}

QTEST_MAIN(TestPostAction)
#include "test_post_action.moc"
