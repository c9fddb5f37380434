#include "pay/pay_notification.h"
#include "pay/pay_retry.h"
#include "pay/pay_verdict.h"
#include "pay/platform_key.h"
#include "pay/resource_cipher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

const QByteArray kKey = "testMchAPIv3Key0testMchAPIv3Key0";

QString header(const PayHeaders &headers, const QString &name)
{
    for (const auto &[field, value] : headers) {
        if (field == name)
            return value;
    }
    return {};
}

QJsonObject json(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

ExchangeRecord answered(long status, const QByteArray &body = {}, double elapsedMs = 20)
{
    ExchangeRecord record;
    ExchangeHop hop;
    hop.status = status;
    hop.answerBody = body;
    record.hops.append(hop);
    record.elapsedMs = elapsedMs;
    return record;
}

} // namespace

class TestPayNotification : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    PayPlatformKey key_;

private slots:
    void initTestCase()
    {
        QVERIFY(folder_.isValid());
        key_ = payPlatformKey(folder_.filePath(QStringLiteral("key.pem")));
    }

    // Each sample's body is what the platform sends, and its resource opens
    // with the merchant's key into the fields the sample promises.
    void samplesSealTheirResource_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("statusField");
        QTest::addColumn<QString>("status");
        QTest::newRow("transaction.success") << "transaction.success" << "trade_state" << "SUCCESS";
        QTest::newRow("refund.success") << "refund.success" << "refund_status" << "SUCCESS";
        QTest::newRow("refund.abnormal") << "refund.abnormal" << "refund_status" << "ABNORMAL";
        QTest::newRow("refund.closed") << "refund.closed" << "refund_status" << "CLOSED";
    }
    void samplesSealTheirResource()
    {
        QFETCH(QString, name);
        QFETCH(QString, statusField);
        QFETCH(QString, status);
        const std::optional<PaySample> sample = findPaySample(name);
        QVERIFY(sample);
        AccessSettings access;
        access.mchId = QStringLiteral("1900000001");
        access.appId = QStringLiteral("wx0000000000000001");
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QJsonObject resource = paySampleResource(*sample, access, now);
        const PayNotification first = makePayNotification(*sample, resource, kKey, now);
        const PayNotification second = makePayNotification(*sample, paySampleResource(*sample, access, now), kKey, now);
        QVERIFY(first.id != second.id);
        QVERIFY(json(first.resourceJson)[u"out_trade_no"] != json(second.resourceJson)[u"out_trade_no"]);

        const QJsonObject body = json(first.body);
        QCOMPARE(body[u"event_type"].toString(), sample->eventType);
        QCOMPARE(body[u"resource_type"].toString(), QStringLiteral("encrypt-resource"));
        QVERIFY(body[u"create_time"].toString().endsWith(u"+08:00"));
        const QJsonObject sealed = body[u"resource"].toObject();
        QCOMPARE(sealed[u"algorithm"].toString(), QStringLiteral("AEAD_AES_256_GCM"));
        QCOMPARE(sealed[u"nonce"].toString().size(), 12);
        const std::optional<QByteArray> opened = openResource(kKey, sealed[u"nonce"].toString().toLatin1(),
                                                              sealed[u"associated_data"].toString().toLatin1(),
                                                              sealed[u"ciphertext"].toString().toLatin1());
        QVERIFY(opened);
        const QJsonObject plain = json(*opened);
        QCOMPARE(plain[statusField].toString(), status);
        QCOMPARE(plain[u"mchid"].toString(), access.mchId);
    }

    // The signature verifies with the exported certificate over exactly
    // timestamp, nonce and body; a byte changed in any of them fails.
    void signatureCoversTimestampNonceAndBody_data()
    {
        QTest::addColumn<int>("part"); // 0: none, 1: timestamp, 2: nonce, 3: body
        QTest::addColumn<bool>("verifies");
        QTest::newRow("as sent") << 0 << true;
        QTest::newRow("timestamp changed") << 1 << false;
        QTest::newRow("nonce changed") << 2 << false;
        QTest::newRow("body changed") << 3 << false;
    }
    void signatureCoversTimestampNonceAndBody()
    {
        QFETCH(int, part);
        QFETCH(bool, verifies);
        const PaySample sample = *findPaySample(QStringLiteral("refund.success"));
        const PayNotification notification = makePayNotification(sample, {}, kKey, QDateTime::currentDateTimeUtc());
        const PayHeaders headers = signPayNotification(notification, key_, 1700000000, "5K8264ILTKCH16CQ2502SI8ZNMTM67VS");
        QCOMPARE(header(headers, QStringLiteral("Wechatpay-Serial")), key_.serial);
        QCOMPARE(header(headers, QStringLiteral("Wechatpay-Signature-Type")), QStringLiteral("WECHATPAY2-SHA256-RSA2048"));
        QByteArray parts[] = {header(headers, QStringLiteral("Wechatpay-Timestamp")).toLatin1(),
                              header(headers, QStringLiteral("Wechatpay-Nonce")).toLatin1(), notification.body};
        if (part > 0)
            parts[part - 1][0] = char(parts[part - 1][0] ^ 1);
        // Written out here, not taken from the code under test: the endpoint's SDK builds it so.
        QCOMPARE(verifyWithCertificate(key_.certificatePem, parts[0] + '\n' + parts[1] + '\n' + parts[2] + '\n',
                                       header(headers, QStringLiteral("Wechatpay-Signature")).toLatin1()),
                 verifies);
    }

    void probesAreWrongWhereTheyShouldBe()
    {
        const PaySample sample = *findPaySample(QStringLiteral("transaction.success"));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const PayNotification signatureProbe =
            makePayNotification(sample, {}, kKey, now, PayNotificationKind::SignatureProbe);
        const PayHeaders probeHeaders = signPayNotification(signatureProbe, key_, 1700000000, "N");
        const QString signature = header(probeHeaders, QStringLiteral("Wechatpay-Signature"));
        QVERIFY(signature.startsWith(QLatin1StringView(kPayProbeSignaturePrefix)));
        QVERIFY(!verifyWithCertificate(key_.certificatePem, paySigningText("1700000000", "N", signatureProbe.body),
                                       signature.toLatin1()));

        const PayNotification keyProbe = makePayNotification(sample, {}, kKey, now, PayNotificationKind::WrongKeyProbe);
        const PayHeaders keyHeaders = signPayNotification(keyProbe, key_, 1700000000, "N");
        QVERIFY(verifyWithCertificate(key_.certificatePem, paySigningText("1700000000", "N", keyProbe.body),
                                      header(keyHeaders, QStringLiteral("Wechatpay-Signature")).toLatin1()));
        const QJsonObject sealed = json(keyProbe.body)[u"resource"].toObject();
        QVERIFY(!openResource(kKey, sealed[u"nonce"].toString().toLatin1(), "transaction",
                              sealed[u"ciphertext"].toString().toLatin1()));
    }

    void payTimeIsChinaTime_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("written");
        QTest::newRow("UTC midnight") << QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC) << "2026-01-01T08:00:00+08:00";
        QTest::newRow("from New York") << QDateTime(QDate(2026, 1, 1), QTime(20, 30, 5), Qt::OffsetFromUTC, -5 * 3600)
                                       << "2026-01-02T09:30:05+08:00";
    }
    void payTimeIsChinaTime()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, written);
        QCOMPARE(payTime(time), written);
    }

    void setChangesOneField_data()
    {
        QTest::addColumn<QString>("assignment");
        QTest::addColumn<QByteArray>("resource"); // after; empty: refused
        const QByteArray before = R"({"amount":{"total":100},"out_trade_no":"A1","paid":true})";
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("a number stays a number") << "amount.total=1" << QByteArray(R"({"amount":{"total":1},"out_trade_no":"A1","paid":true})") << before;
        QTest::newRow("text stays text") << "out_trade_no=123" << QByteArray(R"({"amount":{"total":100},"out_trade_no":"123","paid":true})") << before;
        QTest::newRow("a new field reads as JSON") << "amount.refund=5" << QByteArray(R"({"amount":{"refund":5,"total":100},"out_trade_no":"A1","paid":true})") << before;
        QTest::newRow("a new object on the way") << "payer.openid=o1" << QByteArray(R"({"amount":{"total":100},"out_trade_no":"A1","paid":true,"payer":{"openid":"o1"}})") << before;
        QTest::newRow("a number refused as text") << "amount.total=abc" << QByteArray() << before;
        QTest::newRow("a flag refused as text") << "paid=yes" << QByteArray() << before;
        QTest::newRow("below a text field") << "out_trade_no.x=1" << QByteArray() << before;
        QTest::newRow("no equals sign") << "amount.total" << QByteArray() << before;
        QTest::newRow("an empty step") << "amount..total=1" << QByteArray() << before;
    }
    void setChangesOneField()
    {
        QFETCH(QString, assignment);
        QFETCH(QByteArray, resource);
        QFETCH(QByteArray, before);
        QJsonObject object = json(before);
        const std::optional<QString> problem = setResourceField(object, assignment);
        QCOMPARE(problem.has_value(), resource.isEmpty());
        QCOMPARE(QJsonDocument(object).toJson(QJsonDocument::Compact), resource.isEmpty() ? before : resource);
    }

    void verdict_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<double>("elapsedMs");
        QTest::addColumn<QList<int>>("outcomes");
        QTest::addColumn<QString>("says");
        const int normal = int(PayNotificationKind::Normal);
        const int signature = int(PayNotificationKind::SignatureProbe);
        const int wrongKey = int(PayNotificationKind::WrongKeyProbe);
        const QByteArray fail = R"({"code":"FAIL","message":"签名错误"})";
        using V = VerdictLine;
        QTest::newRow("200") << normal << 200 << QByteArray() << 20.0 << QList<int>{V::Pass} << "接收成功";
        QTest::newRow("204") << normal << 204 << QByteArray() << 20.0 << QList<int>{V::Pass} << "接收成功";
        QTest::newRow("201") << normal << 201 << QByteArray() << 20.0 << QList<int>{V::Fail} << "200 或 204";
        QTest::newRow("302") << normal << 302 << QByteArray() << 20.0 << QList<int>{V::Fail} << "200 或 204";
        QTest::newRow("500 with FAIL") << normal << 500 << fail << 20.0 << QList<int>{V::Fail, V::Pass} << "重发";
        QTest::newRow("400 with text") << normal << 400 << QByteArray("bad") << 20.0 << QList<int>{V::Fail, V::Warn} << "FAIL";
        QTest::newRow("late 200") << normal << 200 << QByteArray() << 5001.0 << QList<int>{V::Fail, V::Pass} << "超过 5 秒";
        QTest::newRow("on time 200") << normal << 200 << QByteArray() << 5000.0 << QList<int>{V::Pass} << "接收成功";
        QTest::newRow("probe taken") << signature << 200 << QByteArray() << 20.0 << QList<int>{V::Fail} << "接收端没有验证签名";
        QTest::newRow("probe refused") << signature << 401 << fail << 20.0 << QList<int>{V::Pass, V::Pass} << "拒绝";
        QTest::newRow("key probe taken") << wrongKey << 204 << QByteArray() << 20.0 << QList<int>{V::Fail} << "接收端没有校验解密结果";
        QTest::newRow("key probe refused") << wrongKey << 500 << QByteArray() << 20.0 << QList<int>{V::Pass, V::Warn} << "拒绝";
        QTest::newRow("probe redirected") << signature << 302 << QByteArray() << 20.0 << QList<int>{V::Fail} << "4xx 或 5xx";
    }
    void verdict()
    {
        QFETCH(int, kind);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(double, elapsedMs);
        QFETCH(QList<int>, outcomes);
        QFETCH(QString, says);
        const QList<VerdictLine> lines = judgePayAnswer(answered(status, body, elapsedMs), PayNotificationKind(kind));
        QList<int> found;
        QString text;
        for (const VerdictLine &line : lines) {
            found.append(line.outcome);
            text += line.text + u'\n';
        }
        QCOMPARE(found, outcomes);
        QVERIFY2(text.contains(says), qPrintable(text));
    }

    // The day's schedule, scaled, without waiting: the waits are recorded.
    void retriesFollowTheSchedule_data()
    {
        QTest::addColumn<int>("takenAt"); // the sending the endpoint takes; 0: none
        QTest::addColumn<int>("givenUpAfter"); // the wait that is given up; 0: none
        QTest::addColumn<int>("sendings");
        QTest::newRow("never taken") << 0 << 0 << 16;
        QTest::newRow("taken at once") << 1 << 0 << 1;
        QTest::newRow("taken at the fourth") << 4 << 0 << 4;
        QTest::newRow("given up at the third wait") << 0 << 3 << 3;
    }
    void retriesFollowTheSchedule()
    {
        QFETCH(int, takenAt);
        QFETCH(int, givenUpAfter);
        QFETCH(int, sendings);
        QList<std::chrono::milliseconds> waited;
        PayRetryPlan plan;
        plan.timeScale = 1000;
        plan.send = [&](int attempt) { return attempt == takenAt; };
        plan.wait = [&](std::chrono::milliseconds delay) {
            waited.append(delay);
            return int(waited.size()) != givenUpAfter;
        };
        QCOMPARE(runPayRetries(plan), sendings);
        const QList<std::chrono::milliseconds> day{15ms, 15ms, 30ms, 180ms, 600ms, 1200ms, 1800ms, 1800ms,
                                                   1800ms, 3600ms, 10800ms, 10800ms, 10800ms, 21600ms, 21600ms};
        QCOMPARE(waited, day.first(givenUpAfter ? givenUpAfter : sendings - 1));
    }
};

QTEST_GUILESS_MAIN(TestPayNotification)
#include "test_pay_notification.moc"
