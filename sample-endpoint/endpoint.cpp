#include "endpoint.h"

#include "crypto/message_crypto.h"
#include "passive_reply.h"
#include "crypto/platform_signature.h"
#include "crypto/secure_random.h"
#include "xml/xml_fields.h"
#include "push_message.h"
#include "signature.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <string_view>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr char kPlainText[] = "text/plain; charset=utf-8";
constexpr char kXml[] = "text/xml; charset=utf-8";

// Simplified, so that a path or element name that was sent cannot break the line.
EndpointAnswer reason(int status, const QString &line)
{
    return {status, kPlainText, (line.simplified() + u'\n').toStdString()};
}

QByteArray decoded(QByteArray part)
{
    part.replace('+', ' ');
    return QByteArray::fromPercentEncoding(part);
}

// Read from the URL only: a form-coded body must not stand in for the query.
std::optional<std::string> queryValue(const std::string &query, std::string_view key)
{
    const QList<QByteArray> pairs = QByteArray::fromStdString(query).split('&');
    for (const QByteArray &pair : pairs) {
        const qsizetype equals = pair.indexOf('=');
        if (decoded(pair.left(equals)).toStdString() == key)
            return equals < 0 ? std::string() : decoded(pair.mid(equals + 1)).toStdString();
    }
    return std::nullopt;
}

std::optional<EndpointAnswer> signatureRefusal(const std::string &token, const std::string &query)
{
    const auto signature = queryValue(query, "signature");
    const auto timestamp = queryValue(query, "timestamp");
    const auto nonce = queryValue(query, "nonce");
    if (!signature || !timestamp || !nonce)
        return reason(403, u"签名校验失败：查询参数中缺少 signature、timestamp 或 nonce"_s);
    if (!SignatureMatches(token, *timestamp, *nonce, *signature))
        return reason(403, u"签名校验失败：signature 与 token、timestamp、nonce 算出的不一致"_s);
    return std::nullopt;
}

EndpointAnswer answerPush(const QByteArray &body, std::int64_t now)
{
    const auto parsed = ParsePushMessage(body);
    if (const auto *rejection = std::get_if<PushRejection>(&parsed))
        return reason(400, rejection->reason);
    const auto &message = std::get<PushMessage>(parsed);
    return {200, kXml, BuildTextReply(message, now, DescribePush(message)).toStdString()};
}

// A push in compatible or safe mode: the Encrypt element checked against
// msg_signature, opened, its AppID compared; the reply goes back encrypted
// with a signature of its own, as the SDKs send it.
EndpointAnswer answerEncryptedPush(const EndpointSettings &settings, const EndpointRequest &request, std::int64_t now)
{
    const QByteArray key = QByteArray::fromStdString(*settings.aesKey);
    const QString token = QString::fromStdString(settings.token.value_or(std::string()));
    const auto msgSignature = queryValue(request.query, "msg_signature");
    const auto timestamp = queryValue(request.query, "timestamp").value_or(std::string());
    const auto nonce = queryValue(request.query, "nonce").value_or(std::string());
    const auto fields = rootChildFields(QString::fromStdString(request.body));
    if (!fields.contains(u"Encrypt"_s))
        return reason(400, u"查询参数 encrypt_type=aes，但正文中没有 Encrypt 字段"_s);
    const QString encrypt = fields.value(u"Encrypt"_s);
    if (!msgSignature)
        return reason(403, u"消息签名校验失败：查询参数中缺少 msg_signature"_s);
    const QString expected = platformSignature(
        {token, QString::fromStdString(timestamp), QString::fromStdString(nonce), encrypt});
    if (!signaturesEqual(expected, QString::fromStdString(*msgSignature)))
        return reason(403, u"消息签名校验失败：msg_signature 与 token、timestamp、nonce、Encrypt 算出的不一致"_s);

    const auto opened = decryptMessage(key, encrypt);
    if (const auto *failure = std::get_if<DecryptFailure>(&opened))
        return reason(400, u"无法解密 Encrypt：%1"_s.arg(describeDecryptFailure(*failure)));
    const auto &message = std::get<DecryptedMessage>(opened);
    if (message.appId.toStdString() != settings.appId)
        return reason(400, u"解密出的 AppID 为 %1，本接收端的是 %2"_s.arg(QString::fromUtf8(message.appId),
                                                                     QString::fromStdString(settings.appId)));
    EndpointAnswer answer = answerPush(message.message, now);
    if (answer.status != 200)
        return answer;

    const QString replyTimestamp = QString::number(now);
    const QString replyNonce = secureRandomDigits(10);
    const QString replyEncrypt = encryptMessage(key, secureRandomBytes(16), QByteArray::fromStdString(answer.body),
                                                QByteArray::fromStdString(settings.appId));
    const QString wrapped = u"<xml><Encrypt>%1</Encrypt><MsgSignature>%2</MsgSignature>"
                            "<TimeStamp>%3</TimeStamp><Nonce>%4</Nonce></xml>"_s
        .arg(CData(replyEncrypt), CData(platformSignature({token, replyTimestamp, replyNonce, replyEncrypt})),
             replyTimestamp, CData(replyNonce));
    answer.body = wrapped.toStdString();
    return answer;
}

// A push in safe mode: an Encrypt element and none of the plain fields.
bool onlyEncrypted(const std::string &body)
{
    const auto fields = rootChildFields(QString::fromStdString(body));
    return fields.contains(u"Encrypt"_s) && !fields.contains(u"FromUserName"_s);
}

} // namespace

EndpointAnswer AnswerRequest(const EndpointSettings &settings, const EndpointRequest &request, std::int64_t now)
{
    if (request.path != kEndpointPath)
        return reason(404, u"未找到 %1：本示例接收端只在 %2 上接收推送"_s.arg(QString::fromStdString(request.path),
                                                                          QLatin1StringView(kEndpointPath)));
    const bool isGet = request.method == "GET" || request.method == "HEAD";
    if (!isGet && request.method != "POST")
        return reason(405, u"不支持 %1 请求：推送消息用 POST 发送，地址校验用 GET"_s.arg(QString::fromStdString(request.method)));
    if (settings.token) {
        if (auto refusal = signatureRefusal(*settings.token, request.query))
            return *refusal;
    }
    if (!isGet) {
        const auto encryptType = queryValue(request.query, "encrypt_type");
        if (settings.aesKey && encryptType && *encryptType != "raw")
            return answerEncryptedPush(settings, request, now);
        if (!settings.aesKey && onlyEncrypted(request.body))
            return reason(400, u"推送是加密的（安全模式，正文只有 Encrypt），但本接收端启动时没有给 --aes-key，"
                               "没有 EncodingAESKey 解开它：用 --aes-key 给出与发送方相同的 EncodingAESKey 重新启动"_s);
        return answerPush(QByteArray::fromStdString(request.body), now);
    }
    if (const auto echo = queryValue(request.query, "echostr"))
        return {200, kPlainText, *echo};
    return reason(200, u"这是 Veltrane 的示例接收端：请用 POST 发送推送消息的 XML"_s);
}
