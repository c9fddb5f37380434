#include "exchange_actions.h"
#include "pay/pay_notification.h"
#include "pay/platform_key.h"
#include "pay_endpoint.h"
#include "pay_retry_dialog.h"
#include "program_under_test.h"
#include "recording_server.h"

#include <QAction>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <set>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"testMchAPIv3Key0testMchAPIv3Key0"_s;

AccessSettings paySettings()
{
    AccessSettings settings;
    settings.platform = Platform::Pay;
    settings.mchId = u"1900000001"_s;
    settings.appId = u"wxd678efh567hg6787"_s;
    settings.apiV3Key = kKey;
    return settings;
}

QByteArray header(const RecordingServer::Request &request, const char *name)
{
    const auto found = request.headers.find(name); // httplib's headers: any case
    return found == request.headers.end() ? QByteArray() : QByteArray::fromStdString(found->second);
}

// The sample endpoint in pay mode, behind a recording server.
RecordingServer::Answer payEndpoint(const PayPlatformKey &key, const RecordingServer::Request &request)
{
    const PayEndpointSettings settings{kKey.toStdString(), key.certificatePem.toStdString()};
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    const EndpointAnswer answer = AnswerPayNotification(
        settings, {request.method, request.target, {}, request.body},
        [&request](const std::string &name) -> std::optional<std::string> {
            const auto found = request.headers.find(name);
            return found == request.headers.end() ? std::nullopt : std::optional<std::string>(found->second);
        },
        now);
    return {answer.status, answer.contentType, answer.body};
}

struct PayProgram : ProgramUnderTest {
    ExchangeActions exchanges{form, results, createNetworkRequest, [this] { return form.accessSettings(); }};
    PayRetryDialog retry{form, exchanges};

    QAction *retryEntry() const { return exchanges.mainWindowActions().at(1); }
    QString label1() const { return form.findChild<QLabel *>(u"Label1"_s)->text(); }
};

} // namespace

// The window on 微信支付: its samples in 载入更多样例, posted to the sample
// endpoint, and 模拟平台重试 on the payment platform's schedule.
class TestPayWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void samplesLoadAndPass_data();
    void samplesLoadAndPass();
    void retryStopsAtFirstSuccess_data();
    void retryStopsAtFirstSuccess();
    void retryCanBeStopped();

private:
    QTemporaryDir folder_;
    PayPlatformKey key_;
};

void TestPayWindow::initTestCase()
{
    QVERIFY(folder_.isValid());
    // The window reads the key beside the settings: this test's own, never the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder_.path()));
    key_ = payPlatformKey(payPlatformKeyFile());
}

void TestPayWindow::samplesLoadAndPass_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("eventType");
    QTest::addColumn<QString>("field");  // a field only this kind of resource has
    QTest::newRow("transaction.success") << 0 << u"TRANSACTION.SUCCESS"_s << u"trade_state"_s;
    QTest::newRow("refund.success") << 1 << u"REFUND.SUCCESS"_s << u"refund_status"_s;
    QTest::newRow("refund.abnormal") << 2 << u"REFUND.ABNORMAL"_s << u"refund_status"_s;
    QTest::newRow("refund.closed") << 3 << u"REFUND.CLOSED"_s << u"refund_status"_s;
}

void TestPayWindow::samplesLoadAndPass()
{
    QFETCH(int, entry);
    QFETCH(QString, eventType);
    QFETCH(QString, field);
    RecordingServer server;
    server.setAnswerer([this](const RecordingServer::Request &request) { return payEndpoint(key_, request); });
    PayProgram program;
    program.form.setAccessSettings(paySettings());
    program.enterEndpoint(server.url());

    QMenu *samples = program.exchanges.moreSamplesMenu();
    emit samples->aboutToShow();
    QCOMPARE(samples->actions().size(), 4);
    QAction *load = samples->actions().at(entry);
    QVERIFY2(load->text().contains(eventType), qPrintable(load->text()));
    load->trigger();
    const QString first = program.xmlBox()->text();
    const QJsonObject resource = QJsonDocument::fromJson(first.toUtf8()).object();
    QCOMPARE(resource.value(u"mchid"_s).toString(), paySettings().mchId);
    QVERIFY(resource.contains(field));
    load->trigger(); // loaded again: an order of its own
    const QString outTradeNo = QJsonDocument::fromJson(program.xmlBox()->text().toUtf8())[u"out_trade_no"_s].toString();
    QVERIFY(!outTradeNo.isEmpty());
    QVERIFY(outTradeNo != resource.value(u"out_trade_no"_s).toString());

    program.click("Command4");

    const auto requests = server.requests();
    QCOMPARE(requests.size(), 1u);
    const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(requests.front().body)).object();
    QCOMPARE(body.value(u"event_type"_s).toString(), eventType);
    // The endpoint opened the resource with the key and checked the signature.
    QVERIFY2(program.label1().contains(u"平台判定：通过"_s), qPrintable(program.label1()));
    QVERIFY2(program.answerShown().contains(outTradeNo), qPrintable(program.answerShown()));
}

void TestPayWindow::retryStopsAtFirstSuccess_data()
{
    QTest::addColumn<int>("takenAt"); // the sending the endpoint takes; 0: none
    QTest::addColumn<int>("sendings");
    QTest::newRow("taken at once") << 1 << 1;
    QTest::newRow("taken at the third") << 3 << 3;
    QTest::newRow("never taken: the day's 15 retries") << 0 << 16;
}

void TestPayWindow::retryStopsAtFirstSuccess()
{
    QFETCH(int, takenAt);
    QFETCH(int, sendings);
    RecordingServer server;
    server.setAnswerer([&](const RecordingServer::Request &request) {
        if (takenAt == 0 || int(server.requests().size()) < takenAt)
            return RecordingServer::Answer{500, "application/json", R"({"code":"FAIL","message":"busy"})"};
        return payEndpoint(key_, request);
    });
    PayProgram program;
    program.form.setAccessSettings(paySettings());
    program.enterEndpoint(server.url());
    program.xmlBox()->replaceText(u"{\"mchid\":\"1900000001\",\"out_trade_no\":\"A1\",\"trade_state\":\"SUCCESS\"}"_s);

    program.retryEntry()->trigger();
    QTRY_VERIFY(program.retry.isVisible());
    // A day in under 0.1 s: the whole schedule within the test's seconds.
    program.retry.findChild<QSpinBox *>(u"payRetryScale"_s)->setValue(1'000'000);
    QSignalSpy finished(&program.retry, &PayRetryDialog::finished);
    QTest::mouseClick(program.retry.findChild<QPushButton *>(u"payRetryStart"_s), Qt::LeftButton);
    QVERIFY(finished.size() == 1 || finished.wait(10'000));

    const auto requests = server.requests();
    QCOMPARE(int(requests.size()), sendings);
    std::set<QByteArray> nonces, signatures;
    for (const RecordingServer::Request &request : requests) {
        // The same notification (id and sealed resource) each time, signed afresh.
        QCOMPARE(request.body, requests.front().body);
        const QByteArray signature = header(request, "Wechatpay-Signature");
        QVERIFY(verifyWithCertificate(key_.certificatePem,
                                      paySigningText(header(request, "Wechatpay-Timestamp"),
                                                     header(request, "Wechatpay-Nonce"),
                                                     QByteArray::fromStdString(request.body)),
                                      signature));
        nonces.insert(header(request, "Wechatpay-Nonce"));
        signatures.insert(signature);
    }
    QCOMPARE(int(nonces.size()), sendings);
    QCOMPARE(int(signatures.size()), sendings);
    // One group in 交互记录 (newest first), its tries numbered in order.
    const auto &journal = program.exchanges.window().model().journal();
    QCOMPARE(int(journal.size()), sendings);
    for (int i = 0; i < sendings; ++i) {
        QCOMPARE(journal.at(i).group, journal.at(0).group);
        QCOMPARE(journal.at(i).tryNumber, sendings - i);
    }
    QVERIFY(journal.at(0).group != 0);
    const QString status = program.retry.findChild<QLabel *>(u"payRetryStatus"_s)->text();
    QVERIFY2(status.contains(u"共发送 %1 次"_s.arg(sendings)), qPrintable(status));
}

void TestPayWindow::retryCanBeStopped()
{
    RecordingServer server;
    server.setAnswer({500, "application/json", R"({"code":"FAIL","message":"busy"})"});
    PayProgram program;
    program.form.setAccessSettings(paySettings());
    program.enterEndpoint(server.url());
    program.xmlBox()->replaceText(u"{\"out_trade_no\":\"A1\"}"_s);
    program.retry.present();
    // At the platform's own pace the next sending is 15 s away: stopped before it.
    program.retry.findChild<QSpinBox *>(u"payRetryScale"_s)->setValue(1);
    QTest::mouseClick(program.retry.findChild<QPushButton *>(u"payRetryStart"_s), Qt::LeftButton);
    QCOMPARE(server.requests().size(), 1u);
    QVERIFY(program.retry.running());
    // The window answers meanwhile: the box takes typing.
    program.xmlBox()->replaceText(u"changed"_s);
    QCOMPARE(program.xmlBox()->text(), u"changed"_s);
    QTest::mouseClick(program.retry.findChild<QPushButton *>(u"payRetryStop"_s), Qt::LeftButton);
    QVERIFY(!program.retry.running());
    QVERIFY(program.retry.findChild<QPushButton *>(u"payRetryStart"_s)->isEnabled());
}

QTEST_MAIN(TestPayWindow)
#include "test_pay_window.moc"
