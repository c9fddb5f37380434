#include "family_answers.h"

#include "endpoint_parts.h"
#include "passive_reply.h"
#include "push_message.h"
#include "sealed_envelope.h"
#include "xml/xml_fields.h"

using namespace Qt::Literals::StringLiterals;

EndpointAnswer AnswerWeComRequest(const EndpointSettings &settings, const EndpointRequest &request, std::int64_t now)
{
    // WeCom's SDK reads msg_signature only; a "signature" beside it is ignored, as there.
    if (!queryValue(request.query, "msg_signature"))
        return reasonAnswer(403, u"消息签名校验失败：查询参数中缺少 msg_signature（企业微信只用 msg_signature 签名，不用 signature）"_s);

    if (request.method != "POST") {
        const auto echostr = queryValue(request.query, "echostr");
        if (!echostr)
            return reasonAnswer(400, u"企业微信的 URL 校验应带加密的 echostr"_s);
        auto opened = openEnvelope(settings, request.query, QString::fromStdString(*echostr));
        if (auto *refusal = std::get_if<EndpointAnswer>(&opened))
            return *refusal;
        // The decrypted text exactly: no quotes, BOM or line break.
        return {200, kPlainText, std::get<QByteArray>(opened).toStdString()};
    }

    const auto fields = rootChildFields(QString::fromStdString(request.body));
    if (!fields.contains(u"Encrypt"_s))
        return reasonAnswer(400, u"企业微信的推送总是加密的，但正文中没有 Encrypt 字段"_s);
    auto opened = openEnvelope(settings, request.query, fields.value(u"Encrypt"_s));
    if (auto *refusal = std::get_if<EndpointAnswer>(&opened))
        return *refusal;
    const auto parsed = ParsePushMessage(std::get<QByteArray>(opened));
    if (const auto *rejection = std::get_if<PushRejection>(&parsed))
        return reasonAnswer(400, rejection->reason);
    const auto &message = std::get<PushMessage>(parsed);
    const QString reply = BuildTextReply(message, now, DescribePush(message));
    return {200, kXml, sealedXml(sealReply(settings, reply.toUtf8(), now)).toStdString()};
}
