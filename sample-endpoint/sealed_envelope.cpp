#include "sealed_envelope.h"

#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "crypto/secure_random.h"
#include "endpoint_parts.h"
#include "passive_reply.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

QString receiveIdName(Platform platform)
{
    switch (platform) {
    case Platform::WeCom:
        return u"CorpID"_s;
    case Platform::OpenPlatform:
        return u"第三方平台的 AppID"_s;
    default:
        return u"AppID"_s;
    }
}

QString tokenOf(const EndpointSettings &settings)
{
    return QString::fromStdString(settings.token.value_or(std::string()));
}

} // namespace

std::variant<QByteArray, EndpointAnswer> openEnvelope(const EndpointSettings &settings, const std::string &query,
                                                      const QString &encrypt)
{
    if (!settings.aesKey)
        return reasonAnswer(400, u"消息是加密的，但本接收端启动时没有给 --aes-key：用与发送方相同的 EncodingAESKey 重新启动"_s);
    const auto msgSignature = queryValue(query, "msg_signature");
    const auto timestamp = queryValue(query, "timestamp");
    const auto nonce = queryValue(query, "nonce");
    if (!msgSignature)
        return reasonAnswer(403, u"消息签名校验失败：查询参数中缺少 msg_signature"_s);
    if (!timestamp || !nonce)
        return reasonAnswer(403, u"消息签名校验失败：查询参数中缺少 timestamp 或 nonce"_s);
    const QString expected = platformSignature(
        {tokenOf(settings), QString::fromStdString(*timestamp), QString::fromStdString(*nonce), encrypt});
    if (!signaturesEqual(expected, QString::fromStdString(*msgSignature)))
        return reasonAnswer(403, u"消息签名校验失败：msg_signature 与 token、timestamp、nonce、Encrypt 算出的不一致"_s);

    const auto opened = decryptMessage(QByteArray::fromStdString(*settings.aesKey), encrypt);
    if (const auto *failure = std::get_if<DecryptFailure>(&opened))
        return reasonAnswer(400, u"无法解密 Encrypt：%1"_s.arg(describeDecryptFailure(*failure)));
    const auto &message = std::get<DecryptedMessage>(opened);
    if (message.appId.toStdString() != settings.appId)
        return reasonAnswer(400, u"解密出的 %1 为 %2，本接收端的是 %3"_s.arg(receiveIdName(settings.platform),
                                                                        QString::fromUtf8(message.appId),
                                                                        QString::fromStdString(settings.appId)));
    return message.message;
}

SealedReply sealReply(const EndpointSettings &settings, const QByteArray &plaintext, std::int64_t now)
{
    SealedReply reply;
    reply.timestamp = QString::number(now);
    reply.nonce = secureRandomDigits(10);
    reply.encrypt = encryptMessage(QByteArray::fromStdString(settings.aesKey.value_or(std::string())),
                                   secureRandomBytes(16), plaintext, QByteArray::fromStdString(settings.appId));
    reply.msgSignature = platformSignature({tokenOf(settings), reply.timestamp, reply.nonce, reply.encrypt});
    return reply;
}

QString sealedXml(const SealedReply &reply)
{
    return u"<xml><Encrypt>%1</Encrypt><MsgSignature>%2</MsgSignature>"
           "<TimeStamp>%3</TimeStamp><Nonce>%4</Nonce></xml>"_s
        .arg(CData(reply.encrypt), CData(reply.msgSignature), reply.timestamp, CData(reply.nonce));
}

QString sealedJson(const SealedReply &reply)
{
    const QJsonObject object{
        {u"Encrypt"_s, reply.encrypt},
        {u"MsgSignature"_s, reply.msgSignature},
        {u"TimeStamp"_s, reply.timestamp.toLongLong()},
        {u"Nonce"_s, reply.nonce},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
