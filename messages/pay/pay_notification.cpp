#include "pay/pay_notification.h"

#include "crypto/secure_random.h"
#include "pay/resource_cipher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QUuid>

using namespace Qt::Literals::StringLiterals;

namespace {

// Letters and digits from the generator, as the platform's nonces look.
QByteArray randomAlphanumeric(int count)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray text;
    while (text.size() < count) {
        for (const char byte : secureRandomBytes(count)) {
            const int value = static_cast<unsigned char>(byte);
            if (value < 248 && text.size() < count) // 248 = 4 × 62: no letter favoured
                text.append(kAlphabet[value % 62]);
        }
    }
    return text;
}

QJsonObject transactionResource(const AccessSettings &access, const QString &outTradeNo,
                                const QString &transactionId, const QString &time)
{
    return {
        {u"appid"_s, access.appId},
        {u"mchid"_s, access.mchId},
        {u"out_trade_no"_s, outTradeNo},
        {u"transaction_id"_s, transactionId},
        {u"trade_type"_s, u"JSAPI"_s},
        {u"trade_state"_s, u"SUCCESS"_s},
        {u"trade_state_desc"_s, u"支付成功"_s},
        {u"bank_type"_s, u"OTHERS"_s},
        {u"attach"_s, QString()},
        {u"success_time"_s, time},
        {u"payer"_s, QJsonObject{{u"openid"_s, u"oUpF8uMuAJO_M2pxb1Q9zNjWeS6o"_s}}},
        {u"amount"_s, QJsonObject{{u"total"_s, 100}, {u"payer_total"_s, 100}, {u"currency"_s, u"CNY"_s},
                                  {u"payer_currency"_s, u"CNY"_s}}},
    };
}

QJsonObject refundResource(const PaySample &sample, const AccessSettings &access, const QString &outTradeNo,
                           const QString &transactionId, const QString &time)
{
    const QString status = sample.eventType.section(u'.', 1); // SUCCESS, ABNORMAL, CLOSED
    QJsonObject refund{
        {u"mchid"_s, access.mchId},
        {u"out_trade_no"_s, outTradeNo},
        {u"transaction_id"_s, transactionId},
        {u"out_refund_no"_s, u"veltrane-refund-"_s + QString::fromLatin1(randomAlphanumeric(10))},
        {u"refund_id"_s, u"50000"_s + secureRandomDigits(24)},
        {u"refund_status"_s, status},
        {u"user_received_account"_s, u"支付用户零钱"_s},
        {u"amount"_s, QJsonObject{{u"total"_s, 100}, {u"refund"_s, 100}, {u"payer_total"_s, 100},
                                  {u"payer_refund"_s, 100}}},
    };
    if (status == u"SUCCESS")
        refund[u"success_time"_s] = time;
    return refund;
}

// The text as JSON where it reads as a JSON value, else the text itself.
QJsonValue valueOf(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(u"[%1]"_s.arg(text).toUtf8(), &error);
    if (error.error == QJsonParseError::NoError && document.array().size() == 1)
        return document.array().first();
    return text;
}

// The value for a field that holds `current`; nothing if the text cannot be one.
std::optional<QJsonValue> valueLike(const QJsonValue &current, const QString &text)
{
    switch (current.type()) {
    case QJsonValue::String:
        return QJsonValue(text);
    case QJsonValue::Double: {
        bool ok = false;
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return QJsonValue(whole);
        const double number = text.toDouble(&ok);
        return ok ? std::optional<QJsonValue>(number) : std::nullopt;
    }
    case QJsonValue::Bool:
        if (text == u"true" || text == u"false")
            return QJsonValue(text == u"true");
        return std::nullopt;
    default:
        return valueOf(text);
    }
}

bool setAt(QJsonObject &object, QStringList path, const QString &text, QString *problem)
{
    const QString key = path.takeFirst();
    if (path.isEmpty()) {
        const std::optional<QJsonValue> value = valueLike(object.value(key), text);
        if (!value) {
            *problem = u"字段 %1 原来是%2，\"%3\" 不是"_s.arg(key, object.value(key).isBool() ? u"true 或 false"_s : u"数字"_s, text);
            return false;
        }
        object[key] = *value;
        return true;
    }
    const QJsonValue inner = object.value(key);
    if (!inner.isUndefined() && !inner.isObject()) {
        *problem = u"字段 %1 不是对象，不能再往下设置"_s.arg(key);
        return false;
    }
    QJsonObject child = inner.toObject();
    if (!setAt(child, path, text, problem))
        return false;
    object[key] = child;
    return true;
}

} // namespace

const QList<PaySample> &paySamples()
{
    static const QList<PaySample> samples{
        {u"transaction.success"_s, u"TRANSACTION.SUCCESS"_s, u"transaction"_s, u"支付成功"_s},
        {u"refund.success"_s, u"REFUND.SUCCESS"_s, u"refund"_s, u"退款成功"_s},
        {u"refund.abnormal"_s, u"REFUND.ABNORMAL"_s, u"refund"_s, u"退款异常"_s},
        {u"refund.closed"_s, u"REFUND.CLOSED"_s, u"refund"_s, u"退款关闭"_s},
    };
    return samples;
}

QStringList paySampleNames()
{
    QStringList names;
    for (const PaySample &sample : paySamples())
        names.append(sample.name);
    return names;
}

std::optional<PaySample> findPaySample(const QString &name)
{
    for (const PaySample &sample : paySamples()) {
        if (sample.name == name)
            return sample;
    }
    return std::nullopt;
}

QString payTime(const QDateTime &time)
{
    return time.toOffsetFromUtc(8 * 3600).toString(u"yyyy-MM-ddTHH:mm:ss"_s) + u"+08:00"_s;
}

QJsonObject paySampleResource(const PaySample &sample, const AccessSettings &access, const QDateTime &now)
{
    const QString outTradeNo = u"veltrane-"_s + QString::fromLatin1(randomAlphanumeric(16));
    const QString transactionId = u"42000"_s + secureRandomDigits(23);
    if (sample.originalType == u"transaction")
        return transactionResource(access, outTradeNo, transactionId, payTime(now));
    return refundResource(sample, access, outTradeNo, transactionId, payTime(now));
}

std::optional<QString> setResourceField(QJsonObject &resource, const QString &assignment)
{
    const qsizetype equals = assignment.indexOf(u'=');
    const QStringList path = assignment.left(equals).split(u'.');
    if (equals <= 0 || path.contains(QString()))
        return u"--set 应写成 字段路径=值，例如 amount.total=1，不是 \"%1\""_s.arg(assignment);
    QString problem;
    if (!setAt(resource, path, assignment.mid(equals + 1), &problem))
        return u"--set %1：%2"_s.arg(assignment, problem);
    return std::nullopt;
}

std::optional<QString> apiV3KeyProblem(const QString &key)
{
    if (key.isEmpty())
        return u"没有 APIv3 密钥：通知的 resource 用它加密，填商户平台“API 安全”里设置的那个"_s;
    // The merchant platform takes 32 letters and digits, used as the AES-256 key byte for byte.
    if (key.size() != kApiV3KeySize)
        return u"APIv3 密钥应为 32 个字母或数字，现在是 %1 个字符"_s.arg(key.size());
    const auto letterOrDigit = [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
    };
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (!letterOrDigit(key[i]))
            return u"APIv3 密钥只能含英文字母和数字，第 %1 个字符 \"%2\" 不是"_s.arg(i + 1).arg(key[i]);
    }
    return std::nullopt;
}

PayNotification makePayNotification(const PaySample &sample, const QJsonObject &resource, QByteArrayView apiV3Key,
                                    const QDateTime &now, PayNotificationKind kind)
{
    return makePayNotificationFromText(sample, QJsonDocument(resource).toJson(QJsonDocument::Compact), apiV3Key, now, kind);
}

PayNotification makePayNotificationFromText(const PaySample &sample, const QByteArray &resourceJson, QByteArrayView apiV3Key,
                                    const QDateTime &now, PayNotificationKind kind)
{
    PayNotification notification{sample, QUuid::createUuid().toString(QUuid::WithoutBraces), resourceJson, {}, kind};
    const QByteArray nonce = randomAlphanumeric(12);
    const QByteArray associatedData = sample.originalType.toUtf8();
    // The wrong-key probe: a key the merchant cannot hold, so a decryption
    // that "succeeds" was never checked.
    const QByteArray key = kind == PayNotificationKind::WrongKeyProbe ? randomAlphanumeric(kApiV3KeySize)
                                                                      : apiV3Key.toByteArray();
    const QJsonObject body{
        {u"id"_s, notification.id},
        {u"create_time"_s, payTime(now)},
        {u"resource_type"_s, u"encrypt-resource"_s},
        {u"event_type"_s, sample.eventType},
        {u"summary"_s, sample.summary},
        {u"resource"_s, QJsonObject{
             {u"original_type"_s, sample.originalType},
             {u"algorithm"_s, u"AEAD_AES_256_GCM"_s},
             {u"ciphertext"_s, QString::fromLatin1(sealResource(key, nonce, associatedData, notification.resourceJson))},
             {u"associated_data"_s, QString::fromUtf8(associatedData)},
             {u"nonce"_s, QString::fromLatin1(nonce)},
         }},
    };
    notification.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return notification;
}

QByteArray paySigningText(const QByteArray &timestamp, const QByteArray &nonce, const QByteArray &body)
{
    return timestamp + '\n' + nonce + '\n' + body + '\n';
}

PayHeaders signPayNotification(const PayNotification &notification, const PayPlatformKey &key, qint64 timestamp,
                               const QByteArray &nonce)
{
    const QByteArray time = QByteArray::number(timestamp);
    QByteArray signature;
    if (notification.kind == PayNotificationKind::SignatureProbe) {
        // As the platform probes: the prefix, then bytes no key signed.
        signature = kPayProbeSignaturePrefix + secureRandomBytes(256).toBase64();
    } else {
        signature = signWithPlatformKey(key, paySigningText(time, nonce, notification.body));
    }
    return {
        {u"Wechatpay-Timestamp"_s, QString::fromLatin1(time)},
        {u"Wechatpay-Nonce"_s, QString::fromLatin1(nonce)},
        {u"Wechatpay-Serial"_s, key.serial},
        {u"Wechatpay-Signature-Type"_s, u"WECHATPAY2-SHA256-RSA2048"_s},
        {u"Wechatpay-Signature"_s, QString::fromLatin1(signature)},
    };
}

PayHeaders freshPayHeaders(const PayNotification &notification, const PayPlatformKey &key)
{
    return signPayNotification(notification, key, QDateTime::currentSecsSinceEpoch(), randomAlphanumeric(32));
}
