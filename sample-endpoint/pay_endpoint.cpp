#include "pay_endpoint.h"

#include "pay/pay_notification.h"
#include "pay/platform_key.h"
#include "pay/resource_cipher.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr char kJson[] = "application/json; charset=utf-8";
// The SDKs refuse a notification whose timestamp is this far from their clock.
constexpr std::int64_t kClockSkewSeconds = 300;

EndpointAnswer fail(int status, const QString &message)
{
    const QJsonObject body{{u"code"_s, u"FAIL"_s}, {u"message"_s, message}};
    return {status, kJson, QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString()};
}

} // namespace

EndpointAnswer AnswerPayNotification(const PayEndpointSettings &settings, const EndpointRequest &request,
                                     const HeaderLookup &header, std::int64_t now)
{
    if (request.path != kEndpointPath)
        return fail(404, u"本示例接收端只在 %1 上接收支付通知"_s.arg(QLatin1StringView(kEndpointPath)));
    if (request.method != "POST")
        return fail(405, u"支付通知用 POST 发送"_s);
    const auto timestamp = header("Wechatpay-Timestamp");
    const auto nonce = header("Wechatpay-Nonce");
    const auto serial = header("Wechatpay-Serial");
    const auto signature = header("Wechatpay-Signature");
    if (!timestamp || !nonce || !serial || !signature)
        return fail(401, u"缺少 Wechatpay-Timestamp、Wechatpay-Nonce、Wechatpay-Serial 或 Wechatpay-Signature 请求头"_s);
    const QString expectedSerial = certificateSerial(QByteArray::fromStdString(settings.certificatePem)).value_or(QString());
    if (QString::fromStdString(*serial).compare(expectedSerial, Qt::CaseInsensitive) != 0)
        return fail(401, u"Wechatpay-Serial %1 不是所配置平台证书的序列号 %2"_s.arg(QString::fromStdString(*serial), expectedSerial));
    const QByteArray body = QByteArray::fromStdString(request.body);
    if (!verifyWithCertificate(QByteArray::fromStdString(settings.certificatePem),
                               paySigningText(QByteArray::fromStdString(*timestamp), QByteArray::fromStdString(*nonce), body),
                               QByteArray::fromStdString(*signature)))
        return fail(401, u"签名验证失败：Wechatpay-Signature 与平台证书、时间戳、随机串和正文不符"_s);
    bool numeric = false;
    const qint64 sent = QString::fromStdString(*timestamp).toLongLong(&numeric);
    if (!numeric || std::llabs(now - sent) > kClockSkewSeconds)
        return fail(401, u"Wechatpay-Timestamp 与本机时间相差超过 5 分钟"_s);

    const QJsonObject resource = QJsonDocument::fromJson(body).object().value(u"resource"_s).toObject();
    if (resource.value(u"algorithm"_s).toString() != u"AEAD_AES_256_GCM")
        return fail(400, u"resource.algorithm 不是 AEAD_AES_256_GCM"_s);
    const std::optional<QByteArray> plain = openResource(
        QByteArray::fromStdString(settings.apiV3Key), resource.value(u"nonce"_s).toString().toUtf8(),
        resource.value(u"associated_data"_s).toString().toUtf8(), resource.value(u"ciphertext"_s).toString().toUtf8());
    if (!plain)
        return fail(400, u"解密失败：resource 的认证标签不符（APIv3 密钥不对，或密文被改动）"_s);
    return {200, kJson, plain->toStdString()};
}
