#include "pay_endpoint.h"

#include "pay/pay_notification.h"
#include "pay/platform_key.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace {

const QByteArray kKey = "testMchAPIv3Key0testMchAPIv3Key0";
constexpr qint64 kNow = 1'700'000'000;

} // namespace

class TestPayEndpoint : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    PayPlatformKey key_;
    PayPlatformKey otherKey_;

private slots:
    void initTestCase()
    {
        key_ = payPlatformKey(folder_.filePath(QStringLiteral("key.pem")));
        otherKey_ = payPlatformKey(folder_.filePath(QStringLiteral("other.pem")));
    }

    // Each way a notification can be wrong meets its own refusal; a sound
    // one is opened and its resource given back.
    void answers_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("sound") << "" << 200 << "\"out_trade_no\":\"A123\"";
        QTest::newRow("signature probe") << "probe" << 401 << "签名验证失败";
        QTest::newRow("wrong-key probe") << "probe-key" << 400 << "解密失败";
        QTest::newRow("signed by another key") << "other key" << 401 << "签名验证失败";
        QTest::newRow("another serial") << "serial" << 401 << "序列号";
        QTest::newRow("body changed after signing") << "body" << 401 << "签名验证失败";
        QTest::newRow("six minutes old") << "old" << 401 << "5 分钟";
        QTest::newRow("no signature header") << "no signature" << 401 << "缺少";
        QTest::newRow("GET") << "get" << 405 << "POST";
    }
    void answers()
    {
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(QString, says);
        const PayNotificationKind kind = fault == u"probe" ? PayNotificationKind::SignatureProbe
                                       : fault == u"probe-key" ? PayNotificationKind::WrongKeyProbe
                                                               : PayNotificationKind::Normal;
        const QJsonObject resource{{QStringLiteral("out_trade_no"), QStringLiteral("A123")}};
        PayNotification notification = makePayNotification(*findPaySample(QStringLiteral("transaction.success")),
                                                           resource, kKey, QDateTime::currentDateTimeUtc(), kind);
        const qint64 sentAt = fault == u"old" ? kNow - 360 : kNow;
        PayHeaders headers = signPayNotification(notification, fault == u"other key" ? otherKey_ : key_, sentAt, "NONCE");
        std::map<std::string, std::string> fields;
        for (const auto &[name, value] : headers)
            fields[name.toStdString()] = value.toStdString();
        if (fault == u"other key") // under the serial the endpoint expects
            fields["Wechatpay-Serial"] = key_.serial.toStdString();
        if (fault == u"serial")
            fields["Wechatpay-Serial"] = otherKey_.serial.toStdString();
        if (fault == u"no signature")
            fields.erase("Wechatpay-Signature");
        if (fault == u"body")
            notification.body.replace("TRANSACTION.SUCCESS", "TRANSACTION.SUCCESs");
        const EndpointRequest request{fault == u"get" ? "GET" : "POST", kEndpointPath, {}, notification.body.toStdString()};
        const HeaderLookup header = [&](const std::string &name) -> std::optional<std::string> {
            const auto found = fields.find(name);
            return found == fields.end() ? std::nullopt : std::optional(found->second);
        };
        const PayEndpointSettings settings{kKey.toStdString(), key_.certificatePem.toStdString()};
        const EndpointAnswer answer = AnswerPayNotification(settings, request, header, kNow);
        QCOMPARE(answer.status, status);
        const QString body = QString::fromStdString(answer.body);
        QVERIFY2(body.contains(says), qPrintable(body));
        if (status != 200)
            QCOMPARE(QJsonDocument::fromJson(answer.body.c_str()).object().value(QStringLiteral("code")).toString(),
                     QStringLiteral("FAIL"));
    }
};

QTEST_GUILESS_MAIN(TestPayEndpoint)
#include "test_pay_endpoint.moc"
