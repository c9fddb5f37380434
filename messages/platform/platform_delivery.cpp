#include "platform/platform_delivery.h"

#include "http/network_http_request.h"
#include "http/post_failure.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

QString seconds(std::chrono::milliseconds time)
{
    return QString::number(double(time.count()) / 1000.0, 'g', 4);
}

} // namespace

QString deliveryTryText(const DeliveryTry &attempt, const DeliveryRules &rules)
{
    const ExchangeRecord &record = attempt.outcome.record;
    const QString ms = record.elapsedMs < 0 ? QString() : u"（%1 毫秒）"_s.arg(qRound64(record.elapsedMs));
    switch (attempt.end) {
    case TryEnd::NoReply:
        return u"HTTP 200，不回复（%1）%2"_s.arg(record.answerText.isEmpty() ? u"空白"_s : u"success"_s, ms);
    case TryEnd::Reply:
        return u"HTTP 200，被动回复%1"_s.arg(ms);
    case TryEnd::Unusable:
        return u"HTTP 200，但答复既非空白、success，也不是有效的被动回复：用户看到“该公众号暂时无法提供服务，请稍后再试”%1"_s.arg(ms);
    case TryEnd::TimedOut:
        return u"%1 秒内没有答复完，平台断开连接"_s.arg(seconds(rules.cut));
    case TryEnd::ErrorStatus:
        return u"HTTP 状态 %1，不是 200%2"_s.arg(record.status()).arg(ms);
    case TryEnd::ConnectionFailed:
    case TryEnd::NotSent:
        break;
    }
    return record.failure ? u"失败（错误 %1）：%2"_s.arg(record.failure->number).arg(record.failure->description)
                          : u"没有发出"_s;
}

bool PushDelivery::delivered() const
{
    return !tries.isEmpty() && !triesAgainAfter(tries.constLast().end) && tries.constLast().end != TryEnd::NotSent;
}

TryEnd tryEndOf(const PushPostOutcome &outcome)
{
    const ExchangeRecord &record = outcome.record;
    if (record.cancelled)
        return TryEnd::NotSent;
    if (record.failure) {
        switch (record.failure->number) {
        case PostFailure::TimedOut:
        case PostFailure::DeadlinePassed:
            return TryEnd::TimedOut;
        case PostFailure::BadAccessSettings:
        case PostFailure::Crypto:
        case PostFailure::InvalidUrl:
        case PostFailure::UnsupportedScheme:
        case PostFailure::InvalidCall:
        case PostFailure::Cancelled:
            return TryEnd::NotSent;
        default:
            return TryEnd::ConnectionFailed;
        }
    }
    if (record.status() != 200)
        return TryEnd::ErrorStatus;
    // Judged on the text the platform reads: the decrypted one where the answer was encrypted.
    const QString text = record.decryptedText.value_or(record.answerText);
    if (!verdictPassed(outcome.verdict))
        return TryEnd::Unusable;
    if (text.isEmpty() || text.trimmed().compare(u"success", Qt::CaseInsensitive) == 0)
        return TryEnd::NoReply;
    return TryEnd::Reply;
}

bool triesAgainAfter(TryEnd end)
{
    return end == TryEnd::TimedOut || end == TryEnd::ErrorStatus || end == TryEnd::ConnectionFailed;
}

PushDelivery deliverPush(const PushPostOrder &order, const DeliveryRules &rules,
                         const std::function<PushPostOutcome(const PushPostOrder &)> &postOnce)
{
    PushDelivery delivery;
    for (int i = 0; i < std::max(rules.tries, 1); ++i) {
        DeliveryTry attempt;
        attempt.outcome = postOnce(order);
        attempt.end = tryEndOf(attempt.outcome);
        delivery.tries.append(attempt);
        if (!triesAgainAfter(attempt.end))
            break;
    }
    return delivery;
}

ExchangeSettings deliverySettings(const DeliveryRules &rules, ExchangeSettings settings)
{
    // Connecting counts against the cut as much as answering does.
    settings.deadline = settings.deadline ? std::min(*settings.deadline, rules.cut) : rules.cut;
    settings.stallTimeout = std::min(settings.stallTimeout, rules.cut);
    return settings;
}

HttpRequestFactory deliveryRequests(const DeliveryRules &rules, ExchangeSettings settings)
{
    return [settings = deliverySettings(rules, std::move(settings))] { return std::make_unique<NetworkHttpRequest>(settings); };
}

QString deliverySummary(const PushDelivery &delivery, const DeliveryRules &rules)
{
    QString text;
    for (qsizetype i = 0; i < delivery.tries.size(); ++i)
        text += u"第 %1 次：%2\n"_s.arg(i + 1).arg(deliveryTryText(delivery.tries[i], rules));
    const qsizetype count = delivery.tries.size();
    if (delivery.delivered()) {
        text += u"共 %1 次，消息已送达"_s.arg(count);
        if (delivery.tries.constLast().end == TryEnd::Unusable)
            text += u"，但用户看到“该公众号暂时无法提供服务，请稍后再试”：只回空白、success 或有效的被动回复"_s;
        else if (count > 1)
            text += u"：接收端收到同一条消息 %1 次，须按 MsgId（事件按 FromUserName 加 CreateTime）去重"_s.arg(count);
    } else if (!delivery.tries.isEmpty() && delivery.tries.constLast().end == TryEnd::NotSent) {
        text += u"消息没有发出"_s;
    } else {
        text += u"共 %1 次，平台放弃投递：用户看到“该公众号暂时无法提供服务，请稍后再试”；须在 %2 秒内答复 200"_s
                    .arg(count)
                    .arg(seconds(rules.cut));
    }
    return text + u'\n';
}
