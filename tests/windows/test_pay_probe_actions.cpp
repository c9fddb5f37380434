#include "exchange_actions.h"
#include "pay/platform_key.h"
#include "pay_probe_actions.h"
#include "program_under_test.h"
#include "recording_server.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

AccessSettings paySettings()
{
    AccessSettings settings;
    settings.platform = Platform::Pay;
    settings.mchId = u"1900000001"_s;
    settings.appId = u"wxd678efh567hg6787"_s;
    settings.apiV3Key = u"testMchAPIv3Key0testMchAPIv3Key0"_s;
    return settings;
}

QByteArray header(const RecordingServer::Request &request, const char *name)
{
    const auto found = request.headers.find(name);
    return found == request.headers.end() ? QByteArray() : QByteArray::fromStdString(found->second);
}

struct ProgramWithProbes : ProgramUnderTest {
    ExchangeActions exchanges{form, results};
    PayProbeActions probes{form, exchanges};
};

} // namespace

class TestPayProbeActions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void probesSeenOnlyForPayments_data();
    void probesSeenOnlyForPayments();
    void probeJudgedInLabel1_data();
    void probeJudgedInLabel1();
    void postSealsTheBoxOnlyForPayments_data();
    void postSealsTheBoxOnlyForPayments();

private:
    QTemporaryDir folder_;
    PayPlatformKey key_;
};

void TestPayProbeActions::initTestCase()
{
    QVERIFY(folder_.isValid());
    // The window's post reads the key beside the settings: this test's own, never the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder_.path()));
    key_ = payPlatformKey(payPlatformKeyFile());
}

void TestPayProbeActions::probesSeenOnlyForPayments_data()
{
    QTest::addColumn<Platform>("platform");
    QTest::newRow("公众号") << Platform::OfficialAccount;
    QTest::newRow("第三方平台") << Platform::OpenPlatform;
    QTest::newRow("微信支付") << Platform::Pay;
}

void TestPayProbeActions::probesSeenOnlyForPayments()
{
    QFETCH(Platform, platform);
    RecordingServer server;
    ProgramWithProbes program;
    program.probes.setKeyLoader([this] { return key_; });
    AccessSettings access = paySettings();
    access.platform = platform;
    program.form.setAccessSettings(access);
    program.enterEndpoint(server.url());
    for (QAction *action : program.probes.actions())
        QCOMPARE(action->isVisible(), platform == Platform::Pay);
    // Not even a stray trigger posts a payment notification to another family's endpoint.
    program.probes.post(PayNotificationKind::SignatureProbe);
    QCOMPARE(server.requests().size(), platform == Platform::Pay ? 1u : 0u);
    // Back to another family, the entries go again.
    program.form.setAccessSettings(AccessSettings{});
    for (QAction *action : program.probes.actions())
        QVERIFY(!action->isVisible());
}

void TestPayProbeActions::probeJudgedInLabel1_data()
{
    QTest::addColumn<int>("entry"); // which of the two actions
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("label1"); // what Label1 says, in part
    QTest::newRow("signature probe taken") << 0 << 200 << u"接收端没有验证签名"_s;
    QTest::newRow("signature probe refused") << 0 << 401 << u"平台判定：通过"_s;
    QTest::newRow("wrong-key probe taken") << 1 << 204 << u"接收端没有校验解密结果"_s;
    QTest::newRow("wrong-key probe refused") << 1 << 500 << u"平台判定：通过"_s;
}

void TestPayProbeActions::probeJudgedInLabel1()
{
    QFETCH(int, entry);
    QFETCH(int, status);
    QFETCH(QString, label1);
    RecordingServer server;
    server.setAnswer({status, "application/json", status < 300 ? "" : R"({"code":"FAIL","message":"签名错误"})"});
    ProgramWithProbes program;
    program.probes.setKeyLoader([this] { return key_; });
    program.form.setAccessSettings(paySettings());
    program.enterEndpoint(server.url());

    program.probes.actions().at(entry)->trigger();

    const auto requests = server.requests();
    QCOMPARE(requests.size(), 1u);
    const auto &request = requests.front();
    const QByteArray signature = header(request, "Wechatpay-Signature");
    QCOMPARE(header(request, "Wechatpay-Serial"), key_.serial.toLatin1());
    const QByteArray signedText = paySigningText(header(request, "Wechatpay-Timestamp"),
                                                 header(request, "Wechatpay-Nonce"), QByteArray::fromStdString(request.body));
    // The signature probe is signed wrongly; the wrong-key probe rightly, its fault is inside.
    QCOMPARE(signature.startsWith(kPayProbeSignaturePrefix), entry == 0);
    QCOMPARE(verifyWithCertificate(key_.certificatePem, signedText, signature), entry == 1);
    const QString shown = program.form.findChild<QLabel *>(u"Label1"_s)->text();
    QVERIFY2(shown.contains(label1), qPrintable(shown));
    QCOMPARE(program.exchanges.window().model().journal().size(), 1);
    QCOMPARE(program.exchanges.window().model().journal().at(0).record.status(), status);
}

void TestPayProbeActions::postSealsTheBoxOnlyForPayments_data()
{
    QTest::addColumn<Platform>("platform");
    QTest::newRow("公众号: the box as typed") << Platform::OfficialAccount;
    QTest::newRow("微信支付: sealed and signed") << Platform::Pay;
}

void TestPayProbeActions::postSealsTheBoxOnlyForPayments()
{
    QFETCH(Platform, platform);
    RecordingServer server;
    ProgramWithProbes program;
    AccessSettings access = paySettings();
    access.platform = platform;
    program.form.setAccessSettings(access);
    program.enterEndpoint(server.url());
    const QString box = u"{\"out_trade_no\":\"A1\", \"trade_state\":\"SUCCESS\"}"_s;
    program.xmlBox()->replaceText(box);

    program.click("Command4");

    const auto requests = server.requests();
    QCOMPARE(requests.size(), 1u);
    const QByteArray body = QByteArray::fromStdString(requests.front().body);
    const bool pay = platform == Platform::Pay;
    QCOMPARE(body == box.toUtf8(), !pay);
    QCOMPARE(header(requests.front(), "Wechatpay-Serial").isEmpty(), !pay);
    if (pay) {
        const QByteArray signedText = paySigningText(header(requests.front(), "Wechatpay-Timestamp"),
                                                     header(requests.front(), "Wechatpay-Nonce"), body);
        QVERIFY(verifyWithCertificate(key_.certificatePem, signedText, header(requests.front(), "Wechatpay-Signature")));
    }
}

QTEST_MAIN(TestPayProbeActions)
#include "test_pay_probe_actions.moc"
