#include "platform/conformance.h"

#include "platform/family_rules.h"
#include "platform/forged_requests.h"
#include "platform/more_samples.h"
#include "platform/samples.h"
#include "platform/url_check.h"

#include <QElapsedTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kUrlGroup = u"地址校验"_s;
const QString kSampleGroup = u"样例推送"_s;
const QString kRetryGroup = u"重试投递"_s;
const QString kForgedGroup = u"伪造请求"_s;

QString modeCaption(const AccessSettings &access)
{
    if (alwaysEncrypted(access.platform))
        return u"安全模式"_s; // whatever mode was given: these families always encrypt
    switch (access.mode) {
    case MessageMode::Plain:
        return u"明文模式"_s;
    case MessageMode::Compatible:
        return u"兼容模式"_s;
    case MessageMode::Safe:
        break;
    }
    return u"安全模式"_s;
}

double secondsOf(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// The worst line of a verdict and, where it is not a pass, what it says.
std::pair<VerdictLine::Outcome, QString> worstOf(const QList<VerdictLine> &lines)
{
    std::pair<VerdictLine::Outcome, QString> worst{VerdictLine::Pass, QString()};
    for (const VerdictLine &line : lines) {
        if (line.outcome > worst.first)
            worst = {line.outcome, line.text};
    }
    return worst;
}

ConformanceCheck sampleCheck(const PushSample &sample, const QString &url, const AccessSettings &access,
                             const HttpRequestFactory &createRequest, bool *unreached = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    const PushPostOutcome outcome = postPush({url, buildPushSample(sample, access), access}, createRequest);
    const auto [worst, why] = worstOf(outcome.verdict);
    if (unreached)
        *unreached = outcome.record.failure && outcome.record.status() == 0;
    return {kSampleGroup, u"%1（%2）"_s.arg(sample.caption, sample.name), worst,
            u"%1推送 %2"_s.arg(modeCaption(access), sample.name), answerGist(outcome.record), why, secondsOf(timer)};
}

// The platform sends a message again when a try fails: the same MsgId and
// CreateTime, signed anew. A sound endpoint answers the second as the first.
ConformanceCheck retryCheck(const QString &url, const AccessSettings &access, const HttpRequestFactory &createRequest)
{
    QElapsedTimer timer;
    timer.start();
    const QList<PushSample> &samples = pushSamples(access.platform);
    const PushSample *withMsgId = nullptr;
    for (const PushSample &sample : samples) {
        if (sample.hasMsgId && !withMsgId)
            withMsgId = &sample;
    }
    const PushSample &sample = withMsgId ? *withMsgId : samples.constFirst();
    const PushPostOrder order{url, buildPushSample(sample, access), access};
    const PushPostOutcome first = postPush(order, createRequest);
    const PushPostOutcome again = postPush(order, createRequest);
    const auto [worst, why] = worstOf(again.verdict);
    ConformanceCheck check{kRetryGroup, u"同一条消息发两次（%1）"_s.arg(sample.name), worst,
                           u"%1推送 %2 两次，MsgId 与 CreateTime 相同，各自重新签名"_s.arg(modeCaption(access), sample.name),
                           u"第 1 次：%1；第 2 次：%2"_s.arg(answerGist(first.record), answerGist(again.record)), QString(),
                           secondsOf(timer)};
    if (worst != VerdictLine::Pass)
        check.fix = u"平台在答复超时或出错后会再发同一条消息：重发的也要照常答复（按 MsgId 去重，别当作错误）。%1"_s.arg(why);
    return check;
}

ConformanceCheck forgedCheck(const ForgedProbe &probe, const QString &url, const AccessSettings &access,
                             const HttpRequestFactory &createRequest)
{
    QElapsedTimer timer;
    timer.start();
    const QString push = access.platform == Platform::OfficialAccount
        ? BuildTextSample()
        : buildPushSample(pushSamples(access.platform).constFirst(), access);
    const ForgedOutcome outcome = sendForged(probe, url, push, access, createRequest);
    return {kForgedGroup, u"%1（%2）"_s.arg(probe.caption, probe.name), outcome.judgement.outcome,
            u"%1推送，%2"_s.arg(modeCaption(access), probe.caption), answerGist(outcome.record),
            outcome.judgement.outcome == VerdictLine::Pass ? QString() : outcome.judgement.text, secondsOf(timer)};
}

} // namespace

QStringList conformanceGroups()
{
    return {kUrlGroup, kSampleGroup, kRetryGroup, kForgedGroup};
}

QString answerGist(const ExchangeRecord &record)
{
    if (record.failure)
        return u"失败（错误 %1）：%2"_s.arg(record.failure->number).arg(record.failure->description.simplified());
    const QString text = record.decryptedText.value_or(record.answerText).simplified();
    constexpr qsizetype kQuoted = 60;
    const QString quoted = text.isEmpty() ? u"空白"_s
                                          : u"“%1%2”"_s.arg(text.left(kQuoted), text.size() > kQuoted ? u"…"_s : QString());
    return u"HTTP %1，%2%3"_s.arg(record.status()).arg(record.decryptedText ? u"解密后 "_s : QString(), quoted);
}

ConformanceRun runConformance(const QString &url, const AccessSettings &access, const HttpRequestFactory &createRequest)
{
    ConformanceRun run;
    QElapsedTimer timer;
    timer.start();
    // The third-party platform checks no URL: its run starts with the samples.
    if (!urlCheckAbsence(access.platform)) {
        const UrlCheckResult urlCheck = checkUrl(url, access, createRequest);
        const QString sent = access.platform == Platform::WeCom
                                 ? u"GET，带 msg_signature、timestamp、nonce 和加密的 echostr“%1”"_s.arg(urlCheck.echostr)
                                 : u"GET，带 signature、timestamp、nonce 和 echostr“%1”"_s.arg(urlCheck.echostr);
        run.checks.append({kUrlGroup, u"地址校验（echostr）"_s, urlCheck.passed ? VerdictLine::Pass : VerdictLine::Fail, sent,
                           answerGist(urlCheck.record), urlCheck.passed ? QString() : urlCheck.explanation.simplified(),
                           secondsOf(timer)});
        // No connection, no answer: nothing further can reach it either.
        if (urlCheck.record.failure && urlCheck.record.status() == 0) {
            run.unreachable = true;
            return run;
        }
    }
    for (const PushSample &sample : pushSamples(access.platform)) {
        bool unreached = false;
        run.checks.append(sampleCheck(sample, url, access, createRequest, &unreached));
        // Without a URL check the first push is the first contact.
        if (unreached && run.checks.size() == 1) {
            run.unreachable = true;
            return run;
        }
    }
    run.checks.append(retryCheck(url, access, createRequest));
    for (const ForgedProbe &probe : forgedProbes(access))
        run.checks.append(forgedCheck(probe, url, access, createRequest));
    if (const std::optional<QString> uncovered = uncoveredBody(access))
        run.checks.append({kForgedGroup, u"改过的正文（changed-body）"_s, VerdictLine::Warn, u"（不探测）"_s, u"—"_s,
                           *uncovered, 0, true});
    return run;
}
