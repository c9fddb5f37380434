#include "window_delivery.h"

using namespace Qt::Literals::StringLiterals;

namespace {

VerdictLine::Outcome lineFor(TryEnd end)
{
    if (end == TryEnd::NoReply || end == TryEnd::Reply)
        return VerdictLine::Pass;
    return triesAgainAfter(end) ? VerdictLine::Warn : VerdictLine::Fail;
}

} // namespace

PushPostOutcome deliverFromWindow(const PushPostOrder &order, const DeliveryRules &rules, const ExchangeSettings &settings,
                                  const PostRequestFactory &createRequest,
                                  const std::function<void(const PushPostOutcome &)> &earlierTry)
{
    const ExchangeSettings cut = deliverySettings(rules, settings);
    int tried = 0;
    std::optional<PushPostOutcome> held; // a try is told once the next one starts: the last one is returned instead
    const PushDelivery delivery = deliverPush(order, rules, [&](const PushPostOrder &again) {
        if (held)
            earlierTry(*std::exchange(held, std::nullopt));
        const PushPostOutcome outcome = postPush(again, [&] { return createRequest(cut); });
        const DeliveryTry attempt{tryEndOf(outcome), outcome};
        held = outcome;
        held->verdict.prepend({lineFor(attempt.end),
                               u"平台投递第 %1 次：%2"_s.arg(++tried).arg(deliveryTryText(attempt, rules))});
        return outcome;
    });
    PushPostOutcome last = held.value_or(PushPostOutcome{});
    last.shownText = deliverySummary(delivery, rules) + u'\n' + last.shownText;
    return last;
}
