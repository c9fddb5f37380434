#pragma once

#include "http/curl_exchange.h"
#include "http/http_request.h"
#include "platform/push_post.h"

#include <QList>
#include <QString>

#include <chrono>
#include <functional>

// How the platform delivers one push: it drops a connection that has not
// answered within the cut and sends the same message again, up to `tries`
// times in all. Tests shorten the cut.
struct DeliveryRules {
    std::chrono::milliseconds cut{5000};
    int tries = 3;
};

// How one try ended, as the platform takes it.
enum class TryEnd {
    NoReply,          // 200 with an empty body or "success": delivered, no reply
    Reply,            // 200 with a passive reply the platform takes: delivered
    Unusable,         // 200 with anything else: delivered, the user sees 该公众号暂时无法提供服务
    TimedOut,         // not answered within the cut: tried again
    ErrorStatus,      // an answer that is not 200: tried again
    ConnectionFailed, // no connection or no whole answer: tried again
    NotSent,          // nothing could go out (the settings cannot sign, the URL is bad, cancelled)
};

struct DeliveryTry {
    TryEnd end = TryEnd::NotSent;
    PushPostOutcome outcome;
};

struct PushDelivery {
    QList<DeliveryTry> tries;
    // Whether the platform would stop trying: it got a 200.
    bool delivered() const;
};

TryEnd tryEndOf(const PushPostOutcome &outcome);
// Whether the platform sends the message again after a try that ended so.
bool triesAgainAfter(TryEnd end);

// Posts the order as the platform delivers it. Each try goes through
// `postOnce`, which signs afresh (new timestamp and nonce, encrypted anew):
// the order's body, MsgId and CreateTime included, stays the same.
PushDelivery deliverPush(const PushPostOrder &order, const DeliveryRules &rules,
                         const std::function<PushPostOutcome(const PushPostOrder &)> &postOnce);

// Request objects over the network whose exchanges are given up at the cut.
HttpRequestFactory deliveryRequests(const DeliveryRules &rules, ExchangeSettings settings = {});
// The settings with the cut as their deadline: for a front end that makes its own request objects.
ExchangeSettings deliverySettings(const DeliveryRules &rules, ExchangeSettings settings);

// What one try got, in Chinese, as the user reads it.
QString deliveryTryText(const DeliveryTry &attempt, const DeliveryRules &rules);

// In Chinese, a line per try and a closing line: how many tries the message
// took and what the user saw.
QString deliverySummary(const PushDelivery &delivery, const DeliveryRules &rules);
