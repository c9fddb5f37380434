#include "platform/url_check.h"

#include "crypto/message_crypto.h"
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

constexpr double kWeComWaitMs = 1000;

// What the family's check sends, or why it sends nothing.
struct CheckQuery {
    QList<std::pair<QString, QString>> query;
    QString echostr;         // as sent
    QString expectedAnswer;  // as it must come back
    QString refusal;         // not empty: nothing goes out
};

CheckQuery checkQueryFor(const AccessSettings &access)
{
    CheckQuery check;
    const SigningInputs inputs = freshSigningInputs();
    const QString plain = secureRandomDigits(19);
    check.expectedAnswer = plain;
    if (access.platform != Platform::WeCom) {
        check.echostr = plain;
        check.query = {
            {u"signature"_s, platformSignature({access.token, inputs.timestamp, inputs.nonce})},
            {u"timestamp"_s, inputs.timestamp},
            {u"nonce"_s, inputs.nonce},
            {u"echostr"_s, plain},
        };
        return check;
    }
    // WeCom encrypts the echostr for the CorpID and signs only that.
    const auto key = decodeAesKey(access.aesKey);
    if (!key) {
        check.refusal = u"企业微信的 URL 验证需要有效的 EncodingAESKey：echostr 是加密后发送的"_s;
        return check;
    }
    check.echostr = encryptMessage(*key, inputs.random16, plain.toLatin1(), access.appId.toUtf8());
    check.query = {
        {u"msg_signature"_s, platformSignature({access.token, inputs.timestamp, inputs.nonce, check.echostr})},
        {u"timestamp"_s, inputs.timestamp},
        {u"nonce"_s, inputs.nonce},
        {u"echostr"_s, check.echostr},
    };
    return check;
}

// What in an answer keeps it from being the echostr, where it is easy to miss.
QStringList oddities(const QByteArray &answer, const QByteArray &sentEchostr)
{
    QStringList found;
    if (answer.startsWith("\xEF\xBB\xBF"))
        found << u"开头有 BOM（EF BB BF）"_s;
    if (answer.contains('"') || answer.contains('\''))
        found << u"带了引号（多半是按 JSON 或字符串输出的）"_s;
    if (answer.contains('\n') || answer.contains('\r'))
        found << u"带了换行"_s;
    if (!sentEchostr.isEmpty() && answer.trimmed() == sentEchostr)
        found << u"答复的是加密的 echostr 本身，应先用 EncodingAESKey 解密再答复明文"_s;
    return found;
}

} // namespace

std::optional<QString> urlCheckAbsence(Platform platform)
{
    switch (platform) {
    case Platform::OpenPlatform:
        return u"第三方平台没有 URL 验证：平台直接向授权事件接收 URL 推送，接收端解密后答复 success 即可。"
               "改为发送样例 component_verify_ticket 试一试"_s;
    case Platform::Pay:
        return u"微信支付没有 URL 验证：平台直接向回调地址发送通知"_s;
    default:
        return std::nullopt;
    }
}

EchoJudgement judgeWeComEcho(const QByteArray &answer, const QByteArray &plainEchostr, const QByteArray &sentEchostr,
                             double elapsedMs)
{
    if (answer != plainEchostr) {
        const QStringList odd = oddities(answer, sentEchostr);
        return {false, u"验证未通过：应答复解密后的 echostr“%1”，不带引号、BOM 或换行，收到的是“%2”。\n%3"_s.arg(
                           QString::fromLatin1(plainEchostr), shown(answer, std::nullopt),
                           odd.isEmpty() ? difference(plainEchostr, answer, std::nullopt) : odd.join(u"；"_s))};
    }
    if (elapsedMs > kWeComWaitMs)
        return {false, u"验证未通过：答复正确，但用了 %1 毫秒，企业微信只等 1 秒"_s.arg(qRound64(elapsedMs))};
    return {true, u"验证通过：接收端在 1 秒内答复了解密后的 echostr（%1）"_s.arg(QString::fromLatin1(plainEchostr))};
}

UrlCheckResult checkUrl(const QString &url, const AccessSettings &access, const HttpRequestFactory &createRequest)
{
    UrlCheckResult result;
    if (const std::optional<QString> absence = urlCheckAbsence(access.platform)) {
        result.explanation = *absence;
        return result;
    }
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
        const CheckQuery check = checkQueryFor(access);
        if (!check.refusal.isEmpty()) {
            result.explanation = check.refusal;
            return result;
        }
        result.echostr = check.echostr;
        result.expectedAnswer = check.expectedAnswer;
        sentUrl = withQueryParameters(url, check.query);
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
    const QByteArray expected = result.expectedAnswer.toLatin1();
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
    if (access.platform == Platform::WeCom) {
        const EchoJudgement judged = judgeWeComEcho(*body, expected, result.echostr.toLatin1(), result.record.elapsedMs);
        result.passed = judged.passed;
        result.explanation = judged.explanation;
        return result;
    }
    result.passed = *body == expected;
    result.explanation = result.passed
        ? u"验证通过：接收端原样返回了 echostr（%1）"_s.arg(result.echostr)
        : u"验证未通过：应原样返回 echostr“%1”，收到的是“%2”。\n%3"_s.arg(result.echostr, shown(*body, contentType),
                                                                             difference(expected, *body, contentType));
    return result;
}
