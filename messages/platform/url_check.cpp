#include "platform/url_check.h"

#include "crypto/platform_signature.h"
#include "http/post_failure.h"
#include "http/response_text.h"
#include "crypto/secure_random.h"
#include "platform/signed_post.h"
#include "http/url_query.h"
#include "platform/verdict.h"

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype kShownCharacters = 80;

// A character as a message box can show it: line breaks and other controls spelled out.
QString spelled(QChar c)
{
    if (c == u'\r')
        return u"\\r"_s;
    if (c == u'\n')
        return u"\\n"_s;
    if (c == u'\\')
        return u"\\\\"_s;
    if (c.unicode() < 0x20 || c.unicode() == 0x7f)
        return u"\\x%1"_s.arg(c.unicode(), 2, 16, QChar(u'0'));
    return c;
}

// An answer as a line a message box can show, decoded as the result window decodes it.
QString shown(const QByteArray &bytes, const std::optional<QByteArray> &contentType)
{
    // Enough of the start for the characters shown, however many bytes each takes.
    const QString decoded = decodeResponseText(bytes.first(std::min(bytes.size(), 8 * kShownCharacters)), contentType);
    QString text;
    for (const QChar c : QStringView(decoded).first(std::min(decoded.size(), kShownCharacters)))
        text += spelled(c);
    if (decoded.size() > kShownCharacters || bytes.size() > 8 * kShownCharacters)
        text += u"…（共 %1 字节）"_s.arg(bytes.size());
    return text;
}

// Where the answer parts from the echostr, which is ASCII digits: so the
// bytes they share end on a character's boundary.
QString difference(const QByteArray &expected, const QByteArray &body, const std::optional<QByteArray> &contentType)
{
    qsizetype at = 0;
    while (at < expected.size() && at < body.size() && expected[at] == body[at])
        ++at;
    if (at == expected.size())
        return u"echostr 之后多出了 %1 字节：%2"_s.arg(body.size() - at).arg(shown(body.mid(at), contentType));
    if (at == body.size())
        return u"回复在第 %1 个字节处就结束了"_s.arg(at + 1);
    return u"从第 %1 个字节起不同：应为“%2”，收到“%3”"_s.arg(at + 1).arg(QString::fromLatin1(expected.mid(at, 1)),
                                                               spelled(decodeResponseText(body.mid(at, 4), contentType).front()));
}

// The platform follows no redirect: a 3xx is a wrong answer.
QString redirectExplanation(const ExchangeRecord &record)
{
    const std::optional<QByteArray> location = record.finalHop() ? answerHeader(*record.finalHop(), "Location")
                                                                 : std::nullopt;
    return u"验证未通过：接收端回复了 HTTP %1 重定向（Location：%2），平台不跟随重定向，只接受 200 和原样返回的 echostr。"
           "检查 URL 是否少了末尾的“/”、http 与 https 是否写对"_s
        .arg(record.status())
        .arg(location ? u"“%1”"_s.arg(QString::fromUtf8(*location)) : u"没有给出"_s);
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
    const long status = result.record.status();
    const std::optional<QByteArray> &contentType = result.record.contentType;
    if (status >= 300 && status < 400) {
        result.explanation = redirectExplanation(result.record);
        return result;
    }
    if (status != 0 && status != 200) {
        const QString answer = shown(*body, contentType);
        result.explanation = u"接收端回复了 HTTP %1，平台只接受 200。回复为：%2"_s.arg(status).arg(answer);
        // What the user can mend: the Token both sides sign with.
        if (status == 401 || status == 403 || refusesTheSignature(answer))
            result.explanation += u"\n接收端多半是签名校验没有通过：检查接入设置的 Token 与接收端配置的一致"_s;
        return result;
    }
    result.passed = *body == expected;
    result.explanation = result.passed
        ? u"验证通过：接收端原样返回了 echostr（%1）"_s.arg(result.echostr)
        : u"验证未通过：应原样返回 echostr“%1”，收到的是“%2”。\n%3"_s.arg(result.echostr, shown(*body, contentType),
                                                                             difference(expected, *body, contentType));
    return result;
}
