#include "platform/forged_requests.h"

#include "crypto/secure_random.h"
#include "http/post_failure.h"
#include "http/url_query.h"
#include "http/xml_post.h"
#include "platform/signed_post.h"

#include <QDateTime>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 kDaySeconds = 24 * 60 * 60;

// The URL without the query parameters of that name.
QString withoutParameter(const QString &url, QStringView name)
{
    const qsizetype question = url.indexOf(u'?');
    if (question < 0)
        return url;
    const qsizetype hash = url.indexOf(u'#', question);
    const QString fragment = hash < 0 ? QString() : url.mid(hash);
    QStringList kept;
    for (const QString &pair : url.mid(question + 1, hash < 0 ? -1 : hash - question - 1).split(u'&')) {
        if (pair.section(u'=', 0, 0) != name)
            kept.append(pair);
    }
    return url.left(question) + (kept.isEmpty() ? QString() : u'?' + kept.join(u'&')) + fragment;
}

QString parameter(const QString &url, QStringView name)
{
    const qsizetype question = url.indexOf(u'?');
    if (question < 0)
        return {};
    for (const QString &pair : url.mid(question + 1).section(u'#', 0, 0).split(u'&')) {
        if (pair.section(u'=', 0, 0) == name)
            return pair.section(u'=', 1);
    }
    return {};
}

// A signature of the right shape that is not the right one: its first hex digit changed.
QString wrongSignature(const QString &signature)
{
    QString wrong = signature.isEmpty() ? u"0"_s.repeated(40) : signature;
    wrong[0] = wrong[0] == u'0' ? u'1' : u'0';
    return wrong;
}

// One base64 character of the Encrypt element changed, in the middle of the
// message so that it stays base64 of the same length.
QString withEncryptChanged(const QString &body)
{
    const qsizetype open = body.indexOf(u"<Encrypt><![CDATA["_s);
    if (open < 0)
        return body;
    const qsizetype start = open + qsizetype(sizeof("<Encrypt><![CDATA[") - 1);
    const qsizetype end = body.indexOf(u"]]>"_s, start);
    if (end <= start)
        return body;
    QString changed = body;
    const qsizetype at = start + (end - start) / 2;
    changed[at] = changed[at] == u'A' ? u'B' : u'A';
    return changed;
}

ForgedJudgement judged(VerdictLine::Outcome outcome, const QString &text)
{
    return {outcome, text};
}

} // namespace

QList<ForgedProbe> forgedProbes(const AccessSettings &access)
{
    if (!access.signs())
        return {};
    QList<ForgedProbe> probes{{u"no-signature"_s, u"不带签名"_s}};
    // WeCom sends no signature to get wrong. Where msg_signature comes beside
    // it, an endpoint may check that alone: it is made from the same Token and
    // also covers Encrypt, so a forger still cannot pass.
    if (access.platform != Platform::WeCom)
        probes.append({u"wrong-signature"_s, u"signature 错误"_s, access.encrypts()});
    probes.append({u"day-old-timestamp"_s, u"timestamp 是一天前的"_s, true});
    if (access.encrypts()) {
        probes.append({u"wrong-msg-signature"_s, u"msg_signature 错误"_s});
        probes.append({u"changed-encrypt"_s, u"Encrypt 改了一个字节"_s});
        probes.append({u"other-appid"_s, u"消息是为另一个 AppID 加密的"_s});
    }
    return probes;
}

std::optional<QString> uncoveredBody(const AccessSettings &access)
{
    if (!access.signs() || access.encrypts())
        return std::nullopt;
    return u"明文模式下签名只覆盖 Token、timestamp 和 nonce，不覆盖正文的任何字节：改过的正文接收端无从拒绝，"
           "所以没有这项探测；要让正文受签名保护，改用安全模式"_s;
}

ForgedPost forgePost(const ForgedProbe &probe, const QString &url, const QString &push, const AccessSettings &access)
{
    SigningInputs inputs = freshSigningInputs();
    AccessSettings signing = access;
    if (probe.name == u"day-old-timestamp")
        inputs.timestamp = QString::number(QDateTime::currentSecsSinceEpoch() - kDaySeconds);
    else if (probe.name == u"other-appid")
        signing.appId = access.appId + u"0"_s; // a receive id that differs by a character
    const SignedPost post = signPost(url, push, signing, inputs);
    ForgedPost forged{post.url, post.body};

    if (probe.name == u"no-signature") {
        forged.url = withoutParameter(withoutParameter(forged.url, u"signature"), u"msg_signature");
    } else if (probe.name == u"wrong-signature") {
        forged.url = withQueryParameters(forged.url, {{u"signature"_s, wrongSignature(parameter(forged.url, u"signature"))}});
    } else if (probe.name == u"wrong-msg-signature") {
        forged.url = withQueryParameters(forged.url,
                                         {{u"msg_signature"_s, wrongSignature(parameter(forged.url, u"msg_signature"))}});
    } else if (probe.name == u"changed-encrypt") {
        // msg_signature stays that of the message as it was: a forger cannot sign anew.
        forged.body = withEncryptChanged(forged.body);
    }
    return forged;
}

ForgedJudgement judgeForgedAnswer(const ForgedProbe &probe, const ExchangeRecord &record)
{
    if (record.failure)
        return judged(VerdictLine::Warn, u"没有得到答复（错误 %1）：%2，无法判断是否拒绝"_s.arg(record.failure->number)
                                             .arg(record.failure->description));
    const long status = record.status();
    const QString answer = record.answerText.left(4096).simplified();
    const QString quoted = answer.isEmpty() ? u"空白"_s : u"“%1”"_s.arg(answer.left(60));
    if (status != 200)
        return judged(VerdictLine::Pass, u"已拒绝：HTTP 状态 %1，答复 %2"_s.arg(status).arg(quoted));
    // A passive reply first: an encrypted one names its MsgSignature, which is no refusal.
    if (answer.startsWith(u"<xml"_s)) {
        if (probe.acceptanceWarns && probe.name == u"wrong-signature")
            return judged(VerdictLine::Warn, u"接收端没有校验 signature，只校验了 msg_signature（答复了被动回复）："
                                             "msg_signature 由同一个 Token 算出，还覆盖 Encrypt，伪造者仍过不了；"
                                             "两者都校验更稳妥"_s);
        if (probe.acceptanceWarns)
            return judged(VerdictLine::Warn, u"接收端接受了一天前的 timestamp（答复了被动回复）：平台的规则不要求拒绝，"
                                             "但拒绝过旧的 timestamp 能防重放"_s);
        return judged(VerdictLine::Fail, u"接收端接受了伪造的请求：它答复了被动回复，说明处理了这个推送。"
                                         "先校验签名（安全模式下还有 msg_signature、解密与 AppID），不通过就答复 403"_s);
    }
    if (refusesTheSignature(answer) || answer.contains(u"invalid"_s, Qt::CaseInsensitive)
        || answer.contains(u"error"_s, Qt::CaseInsensitive) || answer.contains(u"拒绝"_s) || answer.contains(u"失败"_s))
        return judged(VerdictLine::Pass, u"已拒绝：HTTP 200，答复 %1 说明拒绝了"_s.arg(quoted));
    if (answer.isEmpty() || answer.compare(u"success"_s, Qt::CaseInsensitive) == 0)
        return judged(VerdictLine::Warn, u"HTTP 200，答复 %1：与接受无法区分。拒绝伪造的请求时答复错误状态（如 403），"
                                         "才看得出接收端校验了"_s.arg(quoted));
    return judged(VerdictLine::Warn, u"HTTP 200，答复 %1：既不像拒绝，也不是被动回复，无法判断"_s.arg(quoted));
}

ForgedOutcome sendForged(const ForgedProbe &probe, const QString &url, const QString &push, const AccessSettings &access,
                         const HttpRequestFactory &createRequest)
{
    ForgedOutcome outcome;
    outcome.post = forgePost(probe, url, push, access);
    try {
        outcome.record.answerText = XmlPost(outcome.post.url, outcome.post.body, createRequest, &outcome.record);
    } catch (const PostFailure &failure) {
        if (!outcome.record.failure || outcome.record.failure->number != failure.number())
            noteFailure(outcome.record, failure);
    }
    outcome.judgement = judgeForgedAnswer(probe, outcome.record);
    return outcome;
}
