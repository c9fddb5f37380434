#include "url_check.h"

#include "platform_signature.h"
#include "post_failure.h"
#include "secure_random.h"
#include "signed_post.h"
#include "url_query.h"

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype kShownBytes = 80;

// Bytes as a line a message box can show: controls and non-ASCII escaped.
QString escaped(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes.first(std::min(bytes.size(), kShownBytes))) {
        const auto value = static_cast<unsigned char>(byte);
        if (byte == '\r')
            text += u"\\r"_s;
        else if (byte == '\n')
            text += u"\\n"_s;
        else if (byte == '\\')
            text += u"\\\\"_s;
        else if (value < 0x20 || value >= 0x7f)
            text += u"\\x%1"_s.arg(value, 2, 16, QChar(u'0'));
        else
            text += QChar(value);
    }
    if (bytes.size() > kShownBytes)
        text += u"…（共 %1 字节）"_s.arg(bytes.size());
    return text;
}

// The Location field of an answer's head, as it came; empty when there is none.
QByteArray locationOf(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        if (line.toLower().startsWith("location:"))
            return line.mid(9).trimmed();
    }
    return {};
}

QString difference(const QByteArray &expected, const QByteArray &body)
{
    qsizetype at = 0;
    while (at < expected.size() && at < body.size() && expected[at] == body[at])
        ++at;
    if (at == expected.size())
        return u"echostr 之后多出了 %1 字节：%2"_s.arg(body.size() - at).arg(escaped(body.mid(at)));
    if (at == body.size())
        return u"回复在第 %1 个字节处就结束了"_s.arg(at + 1);
    return u"从第 %1 个字节起不同：应为“%2”，收到“%3”"_s.arg(at + 1).arg(escaped(expected.mid(at, 1)),
                                                               escaped(body.mid(at, 1)));
}

} // namespace

UrlCheckResult checkUrl(const QString &url, const AccessSettings &access, const HttpRequestFactory &createRequest)
{
    UrlCheckResult result;
    if (!access.signs()) {
        result.explanation = u"验证 URL 需要先在接入设置中填写 Token"_s;
        return result;
    }
    // A failure, of the signing or of the exchange: noted, and told.
    const auto failed = [&result](const PostFailure &failure) {
        noteFailure(result.record, failure);
        result.explanation = u"验证请求未能完成：%1"_s.arg(failure.description());
    };
    QString sentUrl;
    try {
        const SigningInputs inputs = freshSigningInputs();
        result.echostr = secureRandomDigits(19);
        sentUrl = withQueryParameters(url, {
            {u"signature"_s, platformSignature({access.token, inputs.timestamp, inputs.nonce})},
            {u"timestamp"_s, inputs.timestamp},
            {u"nonce"_s, inputs.nonce},
            {u"echostr"_s, result.echostr},
        });
    } catch (const PostFailure &failure) {
        // libcrypto failed: nothing goes out.
        result.record.method = u"GET"_s;
        result.record.url = url;
        failed(failure);
        return result;
    }

    const std::unique_ptr<HttpRequest> request = createRequest();
    std::optional<QByteArray> body;
    try {
        request->Open(u"GET"_s, sentUrl, false);
        request->send(QString());
        if (request->readyState() == HttpRequest::Done)
            body = request->ResponseText().toUtf8();
    } catch (const PostFailure &failure) {
        result.record = request->record();
        failed(failure);
    }
    if (!result.record.failure)
        result.record = request->record();
    if (result.record.method.isEmpty())
        result.record.method = u"GET"_s;
    if (result.record.url.isEmpty())
        result.record.url = sentUrl;
    if (result.record.failure)
        return result;
    if (!body) {
        result.explanation = u"没有收到完整的回复"_s;
        return result;
    }

    // The bytes as they came where the request object kept them; its text otherwise.
    if (const ExchangeHop *hop = result.record.finalHop())
        body = hop->answerBody;
    const QByteArray expected = result.echostr.toLatin1();
    // The platform follows no redirect: the first answer is the one it takes.
    const ExchangeHop *first = result.record.hops.isEmpty() ? nullptr : &result.record.hops.constFirst();
    const long status = first ? first->status : 0;
    if (status / 100 == 3) {
        const QByteArray location = locationOf(first->answerHead);
        result.explanation = u"接收端回复了 HTTP %1 重定向%2，平台不跟随重定向，只接受 200：请填写直接回复的地址"_s.arg(status).arg(
            location.isEmpty() ? QString() : u"（Location：%1）"_s.arg(escaped(location)));
        return result;
    }
    if (status != 0 && status != 200) {
        result.explanation = u"接收端回复了 HTTP %1，平台只接受 200。回复为：%2"_s.arg(status).arg(escaped(*body));
        return result;
    }
    result.passed = *body == expected;
    result.explanation = result.passed
        ? u"验证通过：接收端原样返回了 echostr（%1）"_s.arg(result.echostr)
        : u"验证未通过：应原样返回 echostr“%1”，收到的是“%2”。\n%3"_s.arg(result.echostr, escaped(*body),
                                                                             difference(expected, *body));
    return result;
}
