#include "family_answers.h"

#include "endpoint_parts.h"
#include "sealed_envelope.h"
#include "signature.h"
#include "xml/xml_fields.h"

using namespace Qt::Literals::StringLiterals;

EndpointAnswer AnswerOpenPlatformRequest(const EndpointSettings &settings, const EndpointRequest &request)
{
    if (request.method != "POST")
        return reasonAnswer(405, u"第三方平台没有 URL 校验：授权事件用 POST 推送"_s);
    if (auto refusal = signatureRefusal(settings.token.value_or(std::string()), request.query))
        return *refusal;
    if (queryValue(request.query, "encrypt_type") != "aes")
        return reasonAnswer(400, u"第三方平台的推送总是加密的：查询参数应有 encrypt_type=aes"_s);

    const auto fields = rootChildFields(QString::fromStdString(request.body));
    for (const QString &name : {u"AppId"_s, u"Encrypt"_s}) {
        if (!fields.contains(name))
            return reasonAnswer(400, u"第三方平台的推送应有 AppId 和 Encrypt，正文中没有 %1"_s.arg(name));
    }
    auto opened = openEnvelope(settings, request.query, fields.value(u"Encrypt"_s));
    if (auto *refusal = std::get_if<EndpointAnswer>(&opened))
        return *refusal;
    const auto event = rootChildFields(QString::fromUtf8(std::get<QByteArray>(opened)));
    if (event.value(u"InfoType"_s).isEmpty())
        return reasonAnswer(400, u"解密出的授权事件没有 InfoType 字段"_s);
    // The platform reads nothing but this word.
    return {200, kPlainText, "success"};
}
