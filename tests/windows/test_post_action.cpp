#include "program_under_test.h"
#include "message_box_catcher.h"
#include "recording_server.h"
#include "platform/samples.h"
#include "scripted_server.h"
#include "step_during_post.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
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
    void label1SaysTheVerdict_data();
    void label1SaysTheVerdict();
    void label1SaysThePostWaits();
    void ctrlEnterPosts_data();
    void ctrlEnterPosts();
};

namespace {

QLabel *label1(ProgramUnderTest &program)
{
    return program.form.findChild<QLabel *>(u"Label1"_s);
}

// What a screen reader hears of the label: its name and its description.
QString heard(QLabel *label)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(label);
    return accessible->text(QAccessible::Name) + u" | "_s + accessible->text(QAccessible::Description);
}

} // namespace

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

void TestPostAction::label1SaysTheVerdict_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("said"); // a pattern
    // The text sample goes from "fromUser" to "toUser": a reply goes back.
    const QByteArray reply = "<xml><ToUserName><![CDATA[%1]]></ToUserName><FromUserName><![CDATA[%2]]></FromUserName>"
                             "<CreateTime>1</CreateTime><MsgType><![CDATA[text]]></MsgType>"
                             "<Content><![CDATA[hi]]></Content></xml>";
    const QByteArray to = "toUser", from = "fromUser";
    QTest::newRow("success") << 200 << "success"_ba << u"^平台判定：通过，\\d+ 毫秒$"_s;
    QTest::newRow("a proper reply") << 200 << QByteArray(reply).replace("%1", from).replace("%2", to)
                                    << u"^平台判定：通过，\\d+ 毫秒$"_s;
    QTest::newRow("users not swapped") << 200 << QByteArray(reply).replace("%1", to).replace("%2", from)
                                       << u"^平台判定：不通过——收发双方不对，右键查看交互记录$"_s;
    // What failed first, in a few words, whatever the verdict's own wording.
    QTest::newRow("an error status") << 500 << "oops"_ba << u"^平台判定：不通过——.+，右键查看交互记录$"_s;
    QTest::newRow("a long answer that is no reply") << 200 << QByteArray(4000, 'x')
                                                    << u"^平台判定：不通过——.+，右键查看交互记录$"_s;
}

void TestPostAction::label1SaysTheVerdict()
{
    QFETCH(int, status);
    QFETCH(QByteArray, answer);
    QFETCH(QString, said);
    RecordingServer server;
    server.setAnswer({status, "text/plain; charset=utf-8", answer.toStdString()});
    ProgramUnderTest program;
    QLabel *label = label1(program);
    const QRect geometry = label->geometry();
    const QFont font = label->font();
    program.enterEndpoint(server.url());
    program.click("Command2");
    program.click("Command4");

    QVERIFY2(QRegularExpression(said).match(label->text()).hasMatch(), qPrintable(label->text()));
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    QVERIFY2(needed <= label->contentsRect().width(), qPrintable(u"%1 px: %2"_s.arg(needed).arg(label->text())));
    QCOMPARE(label->geometry(), geometry);
    QCOMPARE(label->font(), font);
    QCOMPARE(heard(label), u"提示 | "_s + label->text());
}

void TestPostAction::label1SaysThePostWaits()
{
    ProgramUnderTest program;
    QStringList said;
    bool busy = false;
    StepDuringPost watch([&] {
        said << heard(label1(program));
        // Said anew each second the post waits: what it said is compared below.
        (void)QTest::qWaitFor([&] { return label1(program)->text().contains(u"已等 1 秒"); }, 5000);
        said << heard(label1(program));
        busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    RecordingServer server;
    server.setAnswerer([&watch](const RecordingServer::Request &) {
        watch.arrived();
        return RecordingServer::Answer{200, "text/plain", "success"};
    });
    program.enterEndpoint(server.url());
    program.click("Command4");
    QCOMPARE(watch.runs(), 1);
    QCOMPARE(said, (QStringList{u"提示 | 正在发送……已等 0 秒，按 Esc 取消"_s, u"提示 | 正在发送……已等 1 秒，按 Esc 取消"_s}));
    QVERIFY(busy);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY2(label1(program)->text().startsWith(u"平台判定"), qPrintable(label1(program)->text()));
}

void TestPostAction::ctrlEnterPosts_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::newRow("endpoint box, Return") << u"Text1"_s << int(Qt::Key_Return);
    QTest::newRow("XML box, Return") << u"Text2"_s << int(Qt::Key_Return);
    QTest::newRow("XML box, keypad Enter") << u"Text2"_s << int(Qt::Key_Enter);
}

void TestPostAction::ctrlEnterPosts()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    RecordingServer server;
    server.setAnswer({200, "text/plain", "answer"});
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    program.click("Command2");
    program.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&program.form));
    QWidget *target = program.form.findChild<QWidget *>(box);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::ControlModifier | Qt::KeypadModifier
                                                                : Qt::ControlModifier);
    QCOMPARE(server.requests().size(), 1u);
    QCOMPARE(QByteArray::fromStdString(server.requests().front().body), BuildTextSample().toUtf8());
    QCOMPARE(program.answerShown(), u"answer"_s);
}

QTEST_MAIN(TestPostAction)
#include "test_post_action.moc"
