#include "har/replay_post.h"

#include "crypto/message_crypto.h"
#include "history/kept_exchange.h"
#include "http/post_failure.h"
#include "pay/pay_post.h"
#include "pay/platform_key.h"
#include "platform/family_rules.h"
#include "platform/json_fields.h"
#include "platform/verdict.h"
#include "xml/xml_fields.h"

#include <QStringList>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

// The query of a URL as typed, without "?" and fragment; nothing: it has none.
std::optional<QString> rawQuery(const QString &url)
{
    const QString beforeFragment = url.left(url.indexOf(u'#'));
    const qsizetype question = beforeFragment.indexOf(u'?');
    if (question < 0)
        return std::nullopt;
    return beforeFragment.mid(question + 1);
}

bool isUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// The recorded push's Encrypt, XML or JSON; empty: it has none.
QString encryptOf(const QString &body, const AccessSettings &access)
{
    const auto fields = isJsonMessage(access, body) || looksLikeJson(body) ? jsonObjectFields(body) : rootChildFields(body);
    return fields.value(u"Encrypt"_s);
}

// The push before encryption, for signing afresh: the body, or its Encrypt decrypted.
std::variant<QString, QString> plainPushOf(const ReplaySource &source, const AccessSettings &access)
{
    const QString body = QString::fromUtf8(source.body);
    const QString encrypt = encryptOf(body, access);
    if (encrypt.isEmpty())
        return std::variant<QString, QString>(std::in_place_index<0>, body);
    const std::optional<QByteArray> key = decodeAesKey(access.aesKey);
    if (!key)
        return std::variant<QString, QString>(
            std::in_place_index<1>,
            u"记录的推送是加密的，重新签名要先解密它：请在接入设置中填写当时加密用的 EncodingAESKey（43 个字符）"_s);
    const auto decrypted = decryptMessage(*key, encrypt);
    if (const auto *failure = std::get_if<DecryptFailure>(&decrypted))
        return std::variant<QString, QString>(
            std::in_place_index<1>,
            u"无法用当前的 EncodingAESKey 解开记录里的 Encrypt（%1）：请在接入设置中换成当时加密用的 EncodingAESKey"_s.arg(
                describeDecryptFailure(*failure)));
    return std::variant<QString, QString>(std::in_place_index<0>, QString::fromUtf8(std::get<DecryptedMessage>(decrypted).message));
}

// The Wechatpay-* headers among a request's, in order.
template <typename Text>
QList<std::pair<QString, QString>> payHeadersAmong(const QList<std::pair<Text, Text>> &headers)
{
    QList<std::pair<QString, QString>> found;
    for (const auto &[name, value] : headers) {
        if (QString(name).startsWith(u"Wechatpay-"_s, Qt::CaseInsensitive))
            found.append({QString(name), QString(value)});
    }
    return found;
}

bool isPayReplay(const ReplaySource &source, const AccessSettings &access)
{
    return !source.payHeaders.isEmpty() || access.platform == Platform::Pay;
}

// 微信支付: the recorded body with the recorded or fresh Wechatpay-* headers.
PushPostOutcome replayPayNotification(const ReplaySource &source, ReplayMode mode, const QString &url,
                                      const HttpRequestFactory &createRequest)
{
    PayHeaders headers = source.payHeaders;
    if (mode == ReplayMode::Resigned) {
        PayNotification notification;
        notification.body = source.body;
        headers = freshPayHeaders(notification, payPlatformKey(payPlatformKeyFile())); // PostFailure: nothing sent
    }
    PayPostOutcome posted = postPayBody(url, source.body, headers, createRequest);
    PushPostOutcome outcome;
    outcome.record = std::move(posted.record);
    outcome.record.plainMessage = source.plainMessage;
    outcome.verdict = std::move(posted.verdict);
    outcome.shownText = outcome.record.answerText;
    return outcome;
}

} // namespace

ReplaySource replaySourceOf(const HarPostEntry &entry)
{
    ReplaySource source{entry.url, entry.body, std::nullopt, entry.started, std::nullopt};
    source.payHeaders = payHeadersAmong(entry.headers);
    return source;
}

ReplaySource replaySourceOf(const ExchangeRecord &record)
{
    ReplaySource source{record.url, {}, record.plainMessage, record.started, std::nullopt};
    if (record.hops.isEmpty())
        source.problem = u"这次交互没有发出请求（%1），没有可重发的内容"_s.arg(
            record.failure ? record.failure->description : u"未发送"_s);
    else
        source.body = record.hops.constFirst().requestBody;
    if (!record.hops.isEmpty())
        source.payHeaders = payHeadersAmong(headFields(record.hops.constFirst().requestHead));
    return source;
}

ReplaySource replaySourceOf(const KeptExchange &entry)
{
    ReplaySource source = replaySourceOf(entry.record);
    const qsizetype whole = entry.whole.request.value(0, source.body.size());
    if (!source.problem && whole > source.body.size())
        source.problem = u"这次交互的请求体只保留了开头的 %1 字节（原有 %2 字节），无法重发"_s.arg(source.body.size()).arg(whole);
    return source;
}

QString replayUrl(const QString &recorded, const QString &given)
{
    if (given.isEmpty())
        return recorded;
    if (rawQuery(given))
        return given;
    const std::optional<QString> query = rawQuery(recorded);
    if (!query)
        return given;
    const qsizetype hash = given.indexOf(u'#');
    return hash < 0 ? given + u'?' + *query : given.left(hash) + u'?' + *query + given.mid(hash);
}

QString withoutSigningParameters(const QString &url)
{
    static const QStringList signing{u"signature"_s, u"timestamp"_s, u"nonce"_s,
                                     u"openid"_s,    u"encrypt_type"_s, u"msg_signature"_s};
    const std::optional<QString> query = rawQuery(url);
    if (!query)
        return url;
    QStringList kept;
    for (const QString &pair : query->split(u'&')) {
        const QString name = QUrl::fromPercentEncoding(pair.left(pair.indexOf(u'=')).toUtf8());
        if (!pair.isEmpty() && !signing.contains(name))
            kept.append(pair);
    }
    const qsizetype question = url.indexOf(u'?');
    const qsizetype hash = url.indexOf(u'#');
    const QString fragment = hash < 0 ? QString() : url.mid(hash);
    return url.left(question) + (kept.isEmpty() ? QString() : u'?' + kept.join(u'&')) + fragment;
}

std::variant<ReplayPlan, QString> planReplay(const ReplaySource &source, ReplayMode mode, const AccessSettings &access,
                                             const QString &givenUrl)
{
    if (source.problem)
        return *source.problem;
    // The post goes as text; a body that is not UTF-8 would not go as recorded.
    if (!isUtf8(source.body))
        return u"记录的请求体不是 UTF-8 文本（%1 字节），推送只能以 UTF-8 发送，无法重发"_s.arg(source.body.size());
    const QString url = replayUrl(source.url, givenUrl);
    if (mode == ReplayMode::AsRecorded) {
        ReplayPlan plan{PushPostOrder{url, QString::fromUtf8(source.body), access}, source.plainMessage};
        plan.order.signs = false;
        // An encrypted push is judged by what it carries, where the current key opens it.
        if (!plan.plainMessage && access.encrypts())
            if (const auto plain = plainPushOf(source, access); plain.index() == 0)
                plan.plainMessage = std::get<0>(plain);
        return plan;
    }
    if (isPayReplay(source, access)) // signed afresh with the payment platform's key, not the Token
        return ReplayPlan{PushPostOrder{url, QString::fromUtf8(source.body), access}, source.plainMessage};
    if (!access.signs())
        return u"重新签名需要 Token：请在接入设置中填写 Token 后再发送"_s;
    const auto plain = plainPushOf(source, access);
    if (plain.index() == 1)
        return std::get<1>(plain);
    return ReplayPlan{PushPostOrder{withoutSigningParameters(url), std::get<0>(plain), access}, std::get<0>(plain)};
}

PushPostOutcome replayPost(const ReplaySource &source, ReplayMode mode, const AccessSettings &access,
                           const QString &givenUrl, const HttpRequestFactory &createRequest)
{
    const auto notSent = [&](const PostFailure &failure) {
        PushPostOutcome outcome;
        outcome.record.method = u"POST"_s;
        outcome.record.url = replayUrl(source.url, givenUrl);
        noteFailure(outcome.record, failure);
        outcome.verdict = judgeExchange(outcome.record, QString(), access);
        return outcome;
    };
    std::variant<ReplayPlan, QString> planned;
    try {
        planned = planReplay(source, mode, access, givenUrl);
    } catch (const PostFailure &failure) {
        return notSent(failure); // libcrypto could not decrypt
    }
    if (const auto *problem = std::get_if<QString>(&planned))
        return notSent(PostFailure(PostFailure::BadAccessSettings, *problem));
    const ReplayPlan &plan = std::get<ReplayPlan>(planned);
    if (isPayReplay(source, access)) {
        try {
            return replayPayNotification(source, mode, plan.order.url, createRequest);
        } catch (const PostFailure &failure) {
            return notSent(failure); // the platform's key could be neither read nor made
        }
    }
    PushPostOutcome outcome = postPush(plan.order, createRequest);
    if (mode == ReplayMode::AsRecorded && plan.plainMessage) {
        outcome.record.plainMessage = plan.plainMessage;
        outcome.verdict = judgeExchange(outcome.record, *plan.plainMessage, access);
    }
    return outcome;
}
