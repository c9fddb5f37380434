#include "endpoint.h"

#include "endpoint_parts.h"
#include "family_answers.h"
#include "passive_reply.h"
#include "push_message.h"
#include "sealed_envelope.h"
#include "xml/xml_fields.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

using namespace Qt::Literals::StringLiterals;

namespace {

// A mini-program's push is JSON when it opens with "{"; the official
// account's is always XML.
BodyFormat formatOf(const EndpointSettings &settings, const std::string &body)
{
    if (settings.platform != Platform::MiniProgram)
        return BodyFormat::Xml;
    return QByteArray::fromStdString(body).trimmed().startsWith('{') ? BodyFormat::Json : BodyFormat::Xml;
}

QString formatName(BodyFormat format)
{
    return format == BodyFormat::Json ? u"JSON"_s : u"XML"_s;
}

QMap<QString, QString> bodyFields(const std::string &body, BodyFormat format)
{
    if (format == BodyFormat::Xml)
        return rootChildFields(QString::fromStdString(body));
    QMap<QString, QString> fields;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    for (auto it = object.begin(); it != object.end(); ++it)
        fields.insert(it.key(), it.value().toString());
    return fields;
}

EndpointAnswer answerPush(const QByteArray &body, BodyFormat format, std::int64_t now)
{
    const auto parsed = format == BodyFormat::Json ? ParseJsonPushMessage(body) : ParsePushMessage(body);
    if (const auto *rejection = std::get_if<PushRejection>(&parsed))
        return reasonAnswer(400, rejection->reason);
    const auto &message = std::get<PushMessage>(parsed);
    if (format == BodyFormat::Json)
        return {200, kJson, BuildJsonTextReply(message, now, DescribePush(message)).toStdString()};
    return {200, kXml, BuildTextReply(message, now, DescribePush(message)).toStdString()};
}

// A push in compatible or safe mode: the Encrypt field checked against
// msg_signature, opened, its AppID compared; the reply goes back encrypted
// with a signature of its own, in the push's format, as the SDKs send it.
EndpointAnswer answerEncryptedPush(const EndpointSettings &settings, const EndpointRequest &request,
                                   BodyFormat format, std::int64_t now)
{
    const auto fields = bodyFields(request.body, format);
    if (!fields.contains(u"Encrypt"_s))
        return reasonAnswer(400, u"查询参数 encrypt_type=aes，但正文中没有 Encrypt 字段"_s);
    auto opened = openEnvelope(settings, request.query, fields.value(u"Encrypt"_s));
    if (auto *refusal = std::get_if<EndpointAnswer>(&opened))
        return *refusal;
    EndpointAnswer answer = answerPush(std::get<QByteArray>(opened), format, now);
    if (answer.status != 200)
        return answer;
    const SealedReply sealed = sealReply(settings, QByteArray::fromStdString(answer.body), now);
    answer.body = (format == BodyFormat::Json ? sealedJson(sealed) : sealedXml(sealed)).toStdString();
    return answer;
}

// A push in safe mode: an Encrypt field and none of the plain fields.
bool onlyEncrypted(const std::string &body, BodyFormat format)
{
    const auto fields = bodyFields(body, format);
    return fields.contains(u"Encrypt"_s) && !fields.contains(u"FromUserName"_s);
}

// The official account's rules, which the mini-program's follow in either format.
EndpointAnswer answerAccountRequest(const EndpointSettings &settings, const EndpointRequest &request,
                                    std::int64_t now)
{
    if (settings.token) {
        if (auto refusal = signatureRefusal(*settings.token, request.query))
            return *refusal;
    }
    if (request.method != "POST") {
        if (const auto echo = queryValue(request.query, "echostr"))
            return {200, kPlainText, *echo};
        return reasonAnswer(200, u"这是 Veltrane 的示例接收端：请用 POST 发送推送消息"_s);
    }
    const BodyFormat format = formatOf(settings, request.body);
    if (settings.format && *settings.format != format)
        return reasonAnswer(400, u"本接收端的数据格式为 %1，收到的推送是 %2：两边的数据格式要一致"_s
                                     .arg(formatName(*settings.format), formatName(format)));
    const auto encryptType = queryValue(request.query, "encrypt_type");
    if (settings.aesKey && encryptType && *encryptType != "raw")
        return answerEncryptedPush(settings, request, format, now);
    if (!settings.aesKey && onlyEncrypted(request.body, format))
        return reasonAnswer(400, u"推送是加密的（安全模式，正文只有 Encrypt），但本接收端启动时没有给 --aes-key，"
                                 "没有 EncodingAESKey 解开它：用 --aes-key 给出与发送方相同的 EncodingAESKey 重新启动"_s);
    return answerPush(QByteArray::fromStdString(request.body), format, now);
}

} // namespace

EndpointAnswer AnswerRequest(const EndpointSettings &settings, const EndpointRequest &request, std::int64_t now)
{
    if (request.path != kEndpointPath)
        return reasonAnswer(404, u"未找到 %1：本示例接收端只在 %2 上接收推送"_s.arg(QString::fromStdString(request.path),
                                                                                QLatin1StringView(kEndpointPath)));
    const bool isGet = request.method == "GET" || request.method == "HEAD";
    if (!isGet && request.method != "POST")
        return reasonAnswer(405, u"不支持 %1 请求：推送消息用 POST 发送，地址校验用 GET"_s.arg(QString::fromStdString(request.method)));
    switch (settings.platform) {
    case Platform::OfficialAccount:
    case Platform::MiniProgram:
        return answerAccountRequest(settings, request, now);
    case Platform::WeCom:
        return AnswerWeComRequest(settings, request, now);
    case Platform::OpenPlatform:
        return AnswerOpenPlatformRequest(settings, request);
    case Platform::Pay:
        break;
    }
    return reasonAnswer(501, u"示例接收端还不能扮演微信支付的通知接收端"_s);
}
