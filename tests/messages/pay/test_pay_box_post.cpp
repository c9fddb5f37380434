#include "har/replay_post.h"
#include "pay/pay_box_post.h"
#include "pay/pay_notification.h"
#include "pay/platform_key.h"
#include "pay/resource_cipher.h"
#include "recording_server.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kApiV3Key = u"testMchAPIv3Key0testMchAPIv3Key0"_s;

QByteArray header(const RecordingServer::Request &request, const char *name)
{
    const auto found = request.headers.find(name);
    return found == request.headers.end() ? QByteArray() : QByteArray::fromStdString(found->second);
}

} // namespace

class TestPayBoxPost : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void boxSealedAsTyped_data();
    void boxSealedAsTyped();
    void replayedWithTheRecordedOrFreshSignature();

private:
    QTemporaryDir folder_;
    PayPlatformKey key_;
};

void TestPayBoxPost::initTestCase()
{
    QVERIFY(folder_.isValid());
    key_ = payPlatformKey(folder_.filePath(u"key.pem"_s));
}

void TestPayBoxPost::boxSealedAsTyped_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("apiV3Key");
    QTest::addColumn<QString>("eventType"); // empty: nothing may be sent
    // Spacing and order kept: the endpoint decrypts exactly what was typed.
    QTest::newRow("payment") << u"{ \"out_trade_no\": \"A1\",\"trade_state\":\"SUCCESS\" }"_s << kApiV3Key
                             << u"TRANSACTION.SUCCESS"_s;
    QTest::newRow("refund") << u"{\"out_refund_no\":\"R1\",\"refund_status\":\"SUCCESS\"}"_s << kApiV3Key
                            << u"REFUND.SUCCESS"_s;
    QTest::newRow("refund closed") << u"{\"refund_status\":\"CLOSED\",\"备注\":\"中文\"}"_s << kApiV3Key
                                   << u"REFUND.CLOSED"_s;
    QTest::newRow("refund abnormal") << u"{\"refund_status\":\"ABNORMAL\"}"_s << kApiV3Key << u"REFUND.ABNORMAL"_s;
    QTest::newRow("not JSON: sent as typed") << u"not json"_s << kApiV3Key << u"TRANSACTION.SUCCESS"_s;
    QTest::newRow("key too short") << u"{}"_s << u"short"_s << QString();
}

void TestPayBoxPost::boxSealedAsTyped()
{
    QFETCH(QString, box);
    QFETCH(QString, apiV3Key);
    QFETCH(QString, eventType);
    RecordingServer server;
    server.setAnswer({200, "application/json", ""});
    AccessSettings access;
    access.platform = Platform::Pay;
    access.apiV3Key = apiV3Key;

    const PushPostOutcome outcome = postPayResource({server.url(), box, access}, key_);

    const auto requests = server.requests();
    QCOMPARE(requests.size(), eventType.isEmpty() ? 0u : 1u);
    QCOMPARE(outcome.record.failure.has_value(), eventType.isEmpty());
    QCOMPARE(outcome.verdict.first().outcome, eventType.isEmpty() ? VerdictLine::Fail : VerdictLine::Pass);
    if (eventType.isEmpty())
        return;
    const auto &request = requests.front();
    const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
    QCOMPARE(body.value(u"event_type"_s).toString(), eventType);
    const QJsonObject resource = body.value(u"resource"_s).toObject();
    const std::optional<QByteArray> opened
        = openResource(apiV3Key.toUtf8(), resource.value(u"nonce"_s).toString().toUtf8(),
                       resource.value(u"associated_data"_s).toString().toUtf8(),
                       resource.value(u"ciphertext"_s).toString().toUtf8());
    QCOMPARE(opened, std::optional<QByteArray>(box.toUtf8()));
    const QByteArray signedText = paySigningText(header(request, "Wechatpay-Timestamp"),
                                                 header(request, "Wechatpay-Nonce"), QByteArray::fromStdString(request.body));
    QVERIFY(verifyWithCertificate(key_.certificatePem, signedText, header(request, "Wechatpay-Signature")));
}

// A notification from 交互记录 or a HAR goes again as the payment platform
// sends it: the same body as JSON, with the recorded Wechatpay-* headers
// (原样重发), or with a fresh signature by the platform's key, whatever the
// family the window is on and without a Token.
void TestPayBoxPost::replayedWithTheRecordedOrFreshSignature()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder_.path())); // the platform's key: this test's own
    const PayPlatformKey key = payPlatformKey(payPlatformKeyFile());
    RecordingServer server;
    server.setAnswer({200, "application/json", ""});
    AccessSettings pay;
    pay.platform = Platform::Pay;
    pay.apiV3Key = kApiV3Key;
    const PushPostOutcome first = postPayResource({server.url(), u"{\"trade_state\":\"SUCCESS\"}"_s, pay}, key);
    QVERIFY(!first.record.failure);

    const ReplaySource source = replaySourceOf(first.record);
    QCOMPARE(source.payHeaders.size(), 5);
    for (const ReplayMode mode : {ReplayMode::AsRecorded, ReplayMode::Resigned}) {
        const PushPostOutcome again = replayPost(source, mode, AccessSettings{}, server.url(u"/again"_s));
        QCOMPARE(again.verdict.first().outcome, VerdictLine::Pass);
    }
    qunsetenv("XDG_CONFIG_HOME");

    const auto requests = server.requests();
    QCOMPARE(requests.size(), 3u);
    for (const auto &request : requests) {
        QCOMPARE(request.body, requests.front().body);
        QCOMPARE(header(request, "Content-Type"), QByteArray("application/json"));
        QVERIFY(verifyWithCertificate(key.certificatePem,
                                      paySigningText(header(request, "Wechatpay-Timestamp"),
                                                     header(request, "Wechatpay-Nonce"),
                                                     QByteArray::fromStdString(request.body)),
                                      header(request, "Wechatpay-Signature")));
    }
    QCOMPARE(requests[1].target, std::string("/again"));
    QCOMPARE(header(requests[1], "Wechatpay-Signature"), header(requests[0], "Wechatpay-Signature"));
    QVERIFY(header(requests[2], "Wechatpay-Nonce") != header(requests[0], "Wechatpay-Nonce"));
}

QTEST_MAIN(TestPayBoxPost)
#include "test_pay_box_post.moc"
