#pragma once

#include "http/exchange_record.h"
#include "http/http_request.h"
#include "pay/pay_notification.h"
#include "platform/verdict.h"

// One sending of a notification and what came of it.
struct PayPostOutcome {
    ExchangeRecord record; // failure included; plainMessage: the resource before it was sealed
    PayHeaders headers;    // as signed for this sending
    QList<VerdictLine> verdict;
};

// POSTs the notification as JSON with fresh Wechatpay-* headers signed by
// the key, and judges the answer. Never throws: a failure is in the record.
PayPostOutcome postPayNotification(const QString &url, const PayNotification &notification, const PayPlatformKey &key,
                                   const HttpRequestFactory &createRequest = createHttpRequest);

// POSTs a notification's body as it stands with these Wechatpay-* headers,
// recorded or signed afresh (a replay), and judges the answer as a
// notification's. Never throws: a failure is in the record.
PayPostOutcome postPayBody(const QString &url, const QByteArray &body, const PayHeaders &headers,
                           const HttpRequestFactory &createRequest = createHttpRequest);
