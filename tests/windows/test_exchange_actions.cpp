#include "platform/access_settings.h"
#include "exchange_actions.h"
#include "http/exchange_wait.h"
#include "platform/more_samples.h"
#include "http/network_http_request.h"
#include "program_under_test.h"
#include "message_box_catcher.h"
#include "recording_server.h"
#include "step_during_post.h"
#include "timed_push.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QScreen>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>

#include <future>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(Platform)

namespace {

// The program as main() will make it, with the exchange window's ways in.
struct ProgramWithExchanges : ProgramUnderTest {
    ExchangeActions actions{form, results, createNetworkRequest, [this] { return form.accessSettings(); }};

    // Wired as the program wires them.
    ProgramWithExchanges()
    {
        QObject::connect(&form, &Form1::posted, &actions, &ExchangeActions::record);
        QObject::connect(&form, &Form1::urlChecked, &actions, &ExchangeActions::recordUrlCheck);
    }

    QAction *mainWindowAction(const QString &text) const
    {
        for (QAction *action : actions.mainWindowActions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    // Right-clicks the result window's text box; returns the menu it opened.
    QMenu *openResultMenu()
    {
        Form2 &result = resultWindow();
        result.show();
        QWidget *viewport = result.Text1()->findChild<QPlainTextEdit *>()->viewport();
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(viewport, &click);
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
    }
};

QAction *actionNamed(QMenu *menu, const QString &text)
{
    const auto actions = menu->actions();
    // A menu entry's text may end in the shortcut it shows, after a tab.
    const auto found = std::find_if(actions.begin(), actions.end(),
                                    [&](QAction *a) { return a->text().section(u'\t', 0, 0) == text; });
    return found == actions.end() ? nullptr : *found;
}

void activate(QWidget &window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// Gives each post up as soon as it is under way, as Esc does.
class GivingUp : public ExchangeWaiter {
public:
    int waits = 0;
    void wait(ExchangeInProgress &exchange) override
    {
        ++waits;
        std::promise<void> finished;
        exchange.setWake([&] { finished.set_value(); });
        exchange.cancel();
        finished.get_future().wait();
    }
};

} // namespace

class TestExchangeActions : public QObject {
    Q_OBJECT
private slots:
    void opensFromEachWayIn_data();
    void opensFromEachWayIn();
    void closesWithTheMainWindow();
    void closingTheMainWindowDuringARetry();
    void retryPostsThreeExchangesOfOneGroup();
    void retryGivenUpPostsNoMore();
    void moreSamplesFillTheXmlBox_data();
    void moreSamplesFillTheXmlBox();
    void moreSamplesFollowTheFamily_data();
    void moreSamplesFollowTheFamily();
    void verifyTicketEveryTenMinutes();
    void curlCommandSendsWhatThePostSends();
    void windowCopiesTheSelectedRequest();
    void detailsOpenTheAnswerShown_data();
    void detailsOpenTheAnswerShown();
    void windowFitsTheScreen();
};

void TestExchangeActions::opensFromEachWayIn_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("main window menu") << u"main menu"_s;
    QTest::newRow("shortcut in the main window") << u"main shortcut"_s;
    QTest::newRow("shortcut in the result window") << u"result shortcut"_s;
    QTest::newRow("result window menu") << u"result menu"_s;
    QTest::newRow("result window menu, once reloaded") << u"reloaded result menu"_s;
}

void TestExchangeActions::opensFromEachWayIn()
{
    QFETCH(QString, way);
    ProgramWithExchanges program;
    QVERIFY(!program.actions.window().isVisible());

    if (way == u"main menu") {
        program.mainWindowAction(u"交互记录"_s)->trigger();
    } else if (way == u"main shortcut") {
        activate(program.form);
        QTest::keyClick(program.xmlBox(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    } else if (way == u"result shortcut") {
        activate(program.resultWindow());
        QTest::keyClick(program.resultWindow().Text1(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    } else {
        if (way == u"reloaded result menu") {
            program.resultWindow().show();
            program.resultWindow().close();
            QVERIFY(!program.results.isLoaded());
        }
        QMenu *menu = program.openResultMenu();
        QVERIFY(menu);
        QAction *details = actionNamed(menu, u"查看交互详情"_s);
        QVERIFY(details);
        // After the box's own entries and a separator, with its shortcut shown.
        const auto entries = menu->actions();
        QVERIFY(entries.size() > 2);
        QCOMPARE(entries.last(), details);
        QVERIFY(entries.at(entries.size() - 2)->isSeparator());
        QCOMPARE(details->text().section(u'\t', 1),
                 ExchangeActions::showShortcut().toString(QKeySequence::NativeText));
        menu->close();
        details->trigger();
    }
    QTRY_VERIFY(program.actions.window().isVisible());
}

void TestExchangeActions::closesWithTheMainWindow()
{
    ProgramWithExchanges program;
    program.actions.showWindow();
    QVERIFY(program.actions.window().isVisible());
    program.form.close();
    // Nothing left open to keep the program running.
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows)
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

// Closing the main window while a try waits gives the tries up at once;
// the window closes once they are over.
void TestExchangeActions::closingTheMainWindowDuringARetry()
{
    ProgramWithExchanges program;
    StepDuringPost closeMainWindow([&program] { QVERIFY(!program.form.close()); });
    RecordingServer server;
    server.setAnswerer([&closeMainWindow](const RecordingServer::Request &) {
        closeMainWindow.arrived();
        return RecordingServer::Answer{200, "text/plain; charset=utf-8", "success"};
    });
    program.enterEndpoint(server.url());
    program.mainWindowAction(u"模拟平台重试"_s)->trigger();
    QCOMPARE(closeMainWindow.runs(), 1);
    QCOMPARE(server.requests().size(), 1u);
    QVERIFY(!program.form.isVisible());
}

void TestExchangeActions::retryPostsThreeExchangesOfOneGroup()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain; charset=utf-8", "success"});
    ProgramWithExchanges program;
    program.enterEndpoint(server.url());
    program.click("Command2");

    program.mainWindowAction(u"模拟平台重试"_s)->trigger();

    const auto requests = server.requests();
    QCOMPARE(requests.size(), 3u);
    for (const auto &request : requests)
        QCOMPARE(QByteArray::fromStdString(request.body), program.xmlBox()->text().toUtf8());
    const ExchangeJournal &journal = program.actions.window().model().journal();
    QCOMPARE(journal.size(), 3);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(journal.at(row).group, journal.at(0).group);
        QCOMPARE(journal.at(row).tryNumber, 3 - row);
        QCOMPARE(journal.at(row).record.status(), 200);
    }
    QVERIFY(journal.at(0).group != 0);
    QVERIFY(program.actions.window().isVisible());
    // A post of the main window's own is listed apart from the group.
    program.actions.record(PushPostOutcome{journal.at(0).record, {}, {}, {}});
    QCOMPARE(program.actions.window().model().journal().at(0).group, 0);
}

void TestExchangeActions::retryGivenUpPostsNoMore()
{
    RecordingServer server;
    server.setAnswerer([](const RecordingServer::Request &) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return RecordingServer::Answer{200, "text/plain", "late"};
    });
    GivingUp esc;
    ProgramUnderTest program;
    ExchangeActions actions(program.form, program.results, [&](ExchangeSettings settings) {
        settings.waiter = &esc;
        return std::make_unique<NetworkHttpRequest>(settings);
    });
    program.enterEndpoint(server.url());
    program.click("Command2");

    actions.mainWindowActions().at(1)->trigger();

    QCOMPARE(esc.waits, 1);
    const ExchangeJournal &journal = actions.window().model().journal();
    QCOMPARE(journal.size(), 1);
    QVERIFY(journal.at(0).record.cancelled);
    QCOMPARE(journal.at(0).tryNumber, 1);
}

void TestExchangeActions::moreSamplesFillTheXmlBox_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < pushSamples().size(); ++i)
        QTest::newRow(qPrintable(pushSamples().at(i).name)) << i;
}

void TestExchangeActions::moreSamplesFillTheXmlBox()
{
    QFETCH(int, index);
    const PushSample &sample = pushSamples().at(index);
    ProgramWithExchanges program;
    program.xmlBox()->setText(u"typed"_s);
    QMenu *menu = program.actions.moreSamplesMenu();
    QCOMPARE(menu->title(), u"载入更多样例");
    QCOMPARE(menu->actions().size(), pushSamples().size());
    QAction *entry = menu->actions().at(index);
    QCOMPARE(entry->text(), sample.caption);

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    entry->trigger();
    const QString first = program.xmlBox()->text();
    QVERIFY(first.startsWith(u"<xml>\r\n"));
    QVERIFY(first.endsWith(u"</xml>"));
    const QString createTime = first.section(u"<CreateTime>"_s, 1).section(u"</CreateTime>"_s, 0, 0);
    QVERIFY(createTime.toLongLong() >= before);
    QVERIFY(createTime.toLongLong() <= QDateTime::currentSecsSinceEpoch());
    // Chosen again, a message is a new message.
    entry->trigger();
    QCOMPARE(program.xmlBox()->text() != first, sample.hasMsgId);
    // What was there comes back with Ctrl+Z.
    program.xmlBox()->undo();
    program.xmlBox()->undo();
    QCOMPARE(program.xmlBox()->text(), u"typed"_s);
}

void TestExchangeActions::moreSamplesFollowTheFamily_data()
{
    QTest::addColumn<Platform>("platform");
    for (Platform platform : {Platform::MiniProgram, Platform::WeCom, Platform::OpenPlatform, Platform::Pay})
        QTest::newRow(qPrintable(platformName(platform))) << platform;
}

void TestExchangeActions::moreSamplesFollowTheFamily()
{
    QFETCH(Platform, platform);
    ProgramWithExchanges program;
    QMenu *menu = program.actions.moreSamplesMenu();
    const auto captions = [menu] {
        emit menu->aboutToShow();
        QStringList texts;
        for (const QAction *entry : menu->actions())
            texts << entry->text();
        return texts;
    };
    const auto captionsOf = [](Platform family) {
        QStringList texts;
        for (const PushSample &sample : pushSamples(family))
            texts << sample.caption;
        return texts;
    };
    AccessSettings access;
    access.platform = platform;
    access.appId = u"wx5823bf96d3bd56c7"_s;
    access.agentId = u"218"_s;
    program.form.setAccessSettings(access);
    QCOMPARE(captions(), captionsOf(platform));

    program.xmlBox()->setText(u"typed"_s);
    menu->actions().front()->trigger();
    QVERIFY(program.xmlBox()->text() != u"typed"_s);

    program.form.setAccessSettings(AccessSettings{}); // the official account again
    QCOMPARE(captions(), captionsOf(Platform::OfficialAccount));
}

void TestExchangeActions::verifyTicketEveryTenMinutes()
{
    if (!findPushSample(Platform::OpenPlatform, u"component_verify_ticket"))
        QSKIP("this build has no component_verify_ticket sample for the third-party platform");
    RecordingServer server;
    server.setAnswer({200, "text/plain; charset=utf-8", "success"});
    ProgramWithExchanges program;
    program.enterEndpoint(server.url());
    program.click("Command2");
    const QString typed = program.xmlBox()->text();
    QAction *timed = program.mainWindowAction(u"每 10 分钟推送一次"_s);
    QVERIFY(timed);
    QVERIFY(!timed->isVisible()); // the official account sends no ticket

    AccessSettings open{u"QDG6eK"_s, u"jWmYm7qr5nMoAUwZRjGtBxmz3KA1tkAj3ykkR6q2B2C"_s, u"wx5823bf96d3bd56c7"_s, {},
                        MessageMode::Safe};
    open.platform = Platform::OpenPlatform;
    program.form.setAccessSettings(open);
    QVERIFY(timed->isVisible());
    program.actions.timedPush().setInterval(std::chrono::milliseconds(30));
    timed->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(server.requests().size() >= 3, 10000);
    timed->setChecked(false);
    QVERIFY(!program.actions.timedPush().isRunning());

    // Each one listed as a post; the boxes keep what the user had.
    QCOMPARE(program.actions.window().model().journal().size(), int(server.requests().size()));
    QCOMPARE(program.xmlBox()->text(), typed);

    program.form.setAccessSettings(AccessSettings{});
    QVERIFY(!timed->isVisible());
}

void TestExchangeActions::curlCommandSendsWhatThePostSends()
{
    RecordingServer server;
    ProgramWithExchanges program;
    program.enterEndpoint(server.url(u"/api/?a=1&b=%E4%BD%A0"_s));
    program.xmlBox()->setText(u"<xml>\r\n<Content><![CDATA[你好 'quoted' $HOME]]></Content>\r\n</xml>"_s);
    program.click("Command4");
    program.mainWindowAction(u"复制为 curl 命令"_s)->trigger();

    QProcess shell;
    shell.start(u"sh"_s, {u"-c"_s, QApplication::clipboard()->text() + u" -s -o /dev/null"_s});
    QVERIFY(shell.waitForFinished(60'000));
    QCOMPARE(shell.exitCode(), 0);
    const auto requests = server.requests();
    QCOMPARE(requests.size(), 2u);
    QCOMPARE(requests[1].target, requests[0].target);
    QCOMPARE(requests[1].body, requests[0].body);
    QCOMPARE(requests[1].headers.find("Content-Type")->second, requests[0].headers.find("Content-Type")->second);
}

void TestExchangeActions::windowCopiesTheSelectedRequest()
{
    RecordingServer server;
    ProgramWithExchanges program;
    program.enterEndpoint(server.url(u"/api/?x=1"_s));
    program.click("Command3"); // the location sample, with non-ASCII text
    program.mainWindowAction(u"模拟平台重试"_s)->trigger();
    QCOMPARE(server.requests().size(), 3u);

    program.actions.window().selectRow(2);
    auto *copy = program.actions.window().findChild<QPushButton *>();
    QCOMPARE(copy->text(), u"复制为 curl 命令");
    QVERIFY(copy->isEnabled());
    copy->click();

    QProcess shell;
    shell.start(u"sh"_s, {u"-c"_s, QApplication::clipboard()->text() + u" -s -o /dev/null"_s});
    QVERIFY(shell.waitForFinished(60'000));
    QCOMPARE(shell.exitCode(), 0);
    const auto requests = server.requests();
    QCOMPARE(requests.size(), 4u);
    QCOMPARE(requests[3].target, requests[0].target);
    QCOMPARE(requests[3].body, requests[0].body);
    QCOMPARE(requests[3].headers.find("Content-Type")->second, requests[0].headers.find("Content-Type")->second);
}

void TestExchangeActions::detailsOpenTheAnswerShown_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("shown"); // the answer the result window shows after them
    QTest::addColumn<QStringList>("listed"); // the journal's methods, newest first
    QTest::newRow("a post") << QStringList{u"post"_s} << u"answer 1"_s << QStringList{u"POST"_s};
    QTest::newRow("retries after a post: the last try's")
        << QStringList{u"post"_s, u"retry"_s} << u"answer 4"_s << QStringList(4, u"POST"_s);
    QTest::newRow("a post after retries") << QStringList{u"retry"_s, u"post"_s} << u"answer 4"_s
                                          << QStringList(4, u"POST"_s);
    QTest::newRow("a URL check after a post is listed, the post still shown")
        << QStringList{u"post"_s, u"check"_s} << u"answer 1"_s << QStringList{u"GET"_s, u"POST"_s};
}

void TestExchangeActions::detailsOpenTheAnswerShown()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, shown);
    QFETCH(QStringList, listed);
    RecordingServer server;
    std::atomic<int> count = 0;
    server.setAnswerer([&count](const RecordingServer::Request &) {
        return RecordingServer::Answer{200, "text/plain", "answer " + std::to_string(++count)};
    });
    ProgramWithExchanges program;
    AccessSettings access;
    access.token = u"AAAAA"_s; // the URL check needs one; posts are signed
    program.form.setAccessSettings(access);
    program.enterEndpoint(server.url());
    program.click("Command2");
    MessageBoxCatcher boxes; // the URL check's result
    for (const QString &step : steps) {
        if (step == u"post")
            program.click("Command4");
        else if (step == u"retry")
            program.mainWindowAction(u"模拟平台重试"_s)->trigger();
        else
            program.form.findChild<QAction *>(u"checkUrl"_s)->trigger();
    }

    QCOMPARE(program.answerShown(), shown);
    const ExchangeJournal &journal = program.actions.window().model().journal();
    QStringList methods;
    for (qsizetype row = 0; row < journal.size(); ++row)
        methods << journal.at(row).record.method;
    QCOMPARE(methods, listed);

    program.actions.window().selectRow(int(journal.size()) - 1); // the user looked at the oldest
    QMenu *menu = program.openResultMenu();
    QVERIFY(menu);
    QAction *details = actionNamed(menu, u"查看交互详情"_s);
    menu->close();
    details->trigger();
    QTRY_VERIFY(program.actions.window().isVisible());
    const JournalEntry *selected = program.actions.window().selectedEntry();
    QVERIFY(selected);
    QCOMPARE(QString::fromUtf8(selected->record.finalHop()->answerBody), shown);
}

void TestExchangeActions::windowFitsTheScreen()
{
    ProgramWithExchanges program;
    ExchangeRecord record;
    record.started = QDateTime::currentDateTime();
    record.method = u"POST"_s;
    record.url = u"http://127.0.0.1:1/wx?"_s + QString(300, u'q');
    program.actions.record(PushPostOutcome{record, {}, {}, {}});
    program.actions.showWindow();
    ExchangeWindow &window = program.actions.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect screen = program.form.screen()->availableGeometry();
    QVERIFY2(screen.contains(window.frameGeometry()),
             qPrintable(u"%1x%2 on %3x%4"_s.arg(window.frameGeometry().width()).arg(window.frameGeometry().height())
                            .arg(screen.width()).arg(screen.height())));
    // The summary line cut to its width, the whole of it in its tooltip.
    QLabel *summary = nullptr;
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (label->toolTip().contains(record.url))
            summary = label;
    }
    QVERIFY(summary);
    QVERIFY2(summary->text().endsWith(u'…'), qPrintable(summary->text()));
    QVERIFY(summary->fontMetrics().horizontalAdvance(summary->text()) <= summary->contentsRect().width());
}

QTEST_MAIN(TestExchangeActions)
#include "test_exchange_actions.moc"
