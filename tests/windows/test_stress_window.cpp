#include "answer_gate.h"
#include "platform/user_samples.h"
#include "pay/pay_notification.h"
#include "pay/platform_key.h"
#include "program_under_test.h"
#include "recording_server.h"
#include "scripted_server.h"
#include "storm_chart.h"
#include "storm_runner.h"
#include "stress_test_entry.h"
#include "stress_test_window.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QLabel>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

double sumOf(const QLineSeries *series)
{
    double sum = 0;
    for (const QPointF &point : series->points())
        sum += point.y();
    return sum;
}

} // namespace

class TestStressWindow : public QObject {
    Q_OBJECT
private slots:
    void stormFillsChartAndSummary();
    void stopEndsTheRunAtOnce();
    void openedFromTheMenuItStormsTheMainWindowsEndpoint();
    void onPayItSendsSealedSignedNotifications();
    void postsTheXmlBoxOrAUserSampleAsItIs();
};

void TestStressWindow::stormFillsChartAndSummary()
{
    AnswerGate gate;
    RecordingServer server;
    const auto release = qScopeGuard([&] { gate.open(); }); // before the server waits for its handlers
    server.setAnswerer([&](const RecordingServer::Request &) {
        gate.pass();
        return RecordingServer::Answer{200, "text/plain", "success"};
    });
    StressTestWindow window([&] { return StressTestWindow::Target{server.url(), {}}; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.countBox()->setValue(20);
    window.rateBox()->setValue(50);
    window.sampleBox()->setCurrentText(u"templatesendjobfinish"_s);
    QCOMPARE(window.sampleBox()->currentText(), u"templatesendjobfinish"_s);
    QSignalSpy finished(&window, &StressTestWindow::runFinished);

    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    // The storm runs off the GUI thread: with every answer held, the window
    // still takes its events and says what is under way.
    QTRY_VERIFY(server.requests().size() >= 5); // the server answers a few at a time
    QVERIFY(window.stopButton()->isEnabled());
    QVERIFY(!window.startButton()->isEnabled());
    QCOMPARE(window.progress()->text(), u"正在发送：0 / 20"_s);
    gate.open();
    QVERIFY(finished.wait(10'000));

    QCOMPARE(sumOf(window.chart()->answers()), 20.0);
    QVERIFY(!window.chart()->p50()->points().isEmpty());
    QCOMPARE(window.chart()->p95()->points().size(), window.chart()->p50()->points().size());
    const QString summary = window.summary()->toPlainText();
    QVERIFY2(summary.startsWith(u"按每秒 50 次发送 20 次（开环：不等前一次的答复），完成 20 次\n"_s), qPrintable(summary));
    QVERIFY2(summary.contains(u"不报警：请求超时"_s), qPrintable(summary));
    QCOMPARE(window.progress()->text(), u"完成 20 次"_s);
    QVERIFY(window.startButton()->isEnabled());
    // A mass send's pushes are distinct messages: a fresh MsgID each.
    QSet<QString> ids;
    static const QRegularExpression msgId(u"<MsgID>(\\d+)</MsgID>"_s);
    for (const RecordingServer::Request &request : server.requests())
        ids.insert(msgId.match(QString::fromStdString(request.body)).captured(1));
    ids.remove(QString());
    QCOMPARE(ids.size(), 20);
}

void TestStressWindow::stopEndsTheRunAtOnce()
{
    // An endpoint that takes connections and never answers.
    ScriptedServer server([](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.holdUntilStopped();
    });
    StressTestWindow window([&] { return StressTestWindow::Target{server.url(), {}}; });
    window.runner().setCut(60s); // no post ends by itself within the test
    window.show();
    window.countBox()->setValue(60);
    window.rateBox()->setValue(3); // the last post due 20 s on: stopping wakes the workers waiting for theirs
    QSignalSpy finished(&window, &StressTestWindow::runFinished);
    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    QTRY_VERIFY(server.connections() >= 1);

    QTest::mouseClick(window.stopButton(), Qt::LeftButton);
    QVERIFY(finished.wait(5000));
    QVERIFY2(window.progress()->text().startsWith(u"已停止：完成 "_s), qPrintable(window.progress()->text()));
    QVERIFY(window.startButton()->isEnabled());
    QVERIFY(!window.stopButton()->isEnabled());
}

void TestStressWindow::openedFromTheMenuItStormsTheMainWindowsEndpoint()
{
    RecordingServer server;
    ProgramUnderTest program;
    program.enterEndpoint(server.url(u"/storm/"_s));
    StressTestEntry entry(program.form);
    QCOMPARE(entry.action()->text(), u"压力测试…"_s);
    entry.action()->trigger();
    StressTestWindow &window = entry.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), u"压力测试"_s);
    window.countBox()->setValue(5);
    window.rateBox()->setValue(50);
    QSignalSpy finished(&window, &StressTestWindow::runFinished);
    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    QVERIFY(finished.wait(10'000));
    QCOMPARE(server.requests().size(), std::size_t(5));
    QCOMPARE(server.requests().front().target, std::string("/storm/"));

    // 保存为 PNG… saves the chart as a valid PNG.
    const QTemporaryDir folder;
    const QString file = folder.filePath(u"压力测试.png"_s);
    window.setNextPngFile(file);
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);
    QImageReader reader(file);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size() / image.devicePixelRatio(), window.chart()->size());
}

// On 微信支付 every post is a notification as the payment platform sends it:
// the resource sealed, the body signed with the platform's key.
void TestStressWindow::onPayItSendsSealedSignedNotifications()
{
    const QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path())); // the key beside this test's settings
    const PayPlatformKey key = payPlatformKey(payPlatformKeyFile());
    RecordingServer server;
    AccessSettings pay;
    pay.platform = Platform::Pay;
    pay.mchId = u"1900000001"_s;
    pay.appId = u"wxd678efh567hg6787"_s;
    pay.apiV3Key = u"testMchAPIv3Key0testMchAPIv3Key0"_s;
    StressTestWindow window([&] { return StressTestWindow::Target{server.url(), pay}; });
    window.countBox()->setValue(3);
    window.rateBox()->setValue(50);
    QSignalSpy finished(&window, &StressTestWindow::runFinished);
    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    QVERIFY(finished.wait(10'000));
    QCOMPARE(server.requests().size(), std::size_t(3));
    for (const RecordingServer::Request &request : server.requests()) {
        const auto header = [&request](const char *name) {
            const auto found = request.headers.find(name);
            return found == request.headers.end() ? QByteArray() : QByteArray::fromStdString(found->second);
        };
        QVERIFY2(request.body.find("\"ciphertext\"") != std::string::npos, request.body.c_str());
        QVERIFY(verifyWithCertificate(key.certificatePem,
                                      paySigningText(header("Wechatpay-Timestamp"), header("Wechatpay-Nonce"),
                                                     QByteArray::fromStdString(request.body)),
                                      header("Wechatpay-Signature")));
    }
    qunsetenv("XDG_CONFIG_HOME");
}

// Beyond the family's samples: the main window's XML box, and the user's
// own samples, each posted byte for byte every time; an empty box is refused.
void TestStressWindow::postsTheXmlBoxOrAUserSampleAsItIs()
{
    const QTemporaryDir folder;
    const QString mine = u"<xml><Content><![CDATA[我的]]></Content></xml>"_s;
    QVERIFY(saveUserSample(folder.path(), u"mine"_s, mine).problem.isEmpty());
    RecordingServer server;
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    StressTestEntry entry(program.form, folder.path());
    StressTestWindow &window = entry.window();
    window.countBox()->setValue(2);
    window.rateBox()->setValue(50);
    QSignalSpy finished(&window, &StressTestWindow::runFinished);

    program.xmlBox()->replaceText(u" "_s);
    window.sampleBox()->setCurrentText(u"XML 框中的正文"_s);
    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    QVERIFY2(window.progress()->text().contains(u"XML 框是空的"_s), qPrintable(window.progress()->text()));

    const QString box = u"<xml>\r\n<Content>框</Content></xml>"_s;
    program.xmlBox()->replaceText(box);
    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    QVERIFY(finished.wait(10'000));
    window.sampleBox()->setCurrentText(u"我的样例：mine"_s);
    QCOMPARE(window.sampleBox()->currentText(), u"我的样例：mine"_s);
    QTest::mouseClick(window.startButton(), Qt::LeftButton);
    QVERIFY(finished.wait(10'000));

    QStringList bodies;
    for (const RecordingServer::Request &request : server.requests())
        bodies << QString::fromStdString(request.body);
    QCOMPARE(bodies, (QStringList{box, box, mine, mine}));
}

QTEST_MAIN(TestStressWindow)
#include "test_stress_window.moc"
