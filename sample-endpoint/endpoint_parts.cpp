#include "endpoint_parts.h"

#include "signature.h"

#include <QByteArray>
#include <QList>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray decoded(QByteArray part)
{
    part.replace('+', ' ');
    return QByteArray::fromPercentEncoding(part);
}

} // namespace

EndpointAnswer reasonAnswer(int status, const QString &line)
{
    return {status, kPlainText, (line.simplified() + u'\n').toStdString()};
}

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
        return reasonAnswer(403, u"签名校验失败：查询参数中缺少 signature、timestamp 或 nonce"_s);
    if (!SignatureMatches(token, *timestamp, *nonce, *signature))
        return reasonAnswer(403, u"签名校验失败：signature 与 token、timestamp、nonce 算出的不一致"_s);
    return std::nullopt;
}
