#include "endpoint.h"

#include "passive_reply.h"
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

EndpointAnswer answerPush(const std::string &body, std::int64_t now)
{
    const auto parsed = ParsePushMessage(QByteArray::fromStdString(body));
    if (const auto *rejection = std::get_if<PushRejection>(&parsed))
        return reason(400, rejection->reason);
    const auto &message = std::get<PushMessage>(parsed);
    return {200, kXml, BuildTextReply(message, now, DescribePush(message)).toStdString()};
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
    if (!isGet)
        return answerPush(request.body, now);
    if (const auto echo = queryValue(request.query, "echostr"))
        return {200, kPlainText, *echo};
    return reason(200, u"这是 Veltrane 的示例接收端：请用 POST 发送推送消息的 XML"_s);
}
