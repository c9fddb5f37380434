#pragma once

#include "pay/pay_notification.h"
#include "platform/push_post.h"

// Which notification a resource the user typed goes out as: a refund (it has
// refund_status) by its status, anything else as a payment that succeeded.
PaySample paySampleForResource(const QByteArray &resourceJson);

// A post of the window with 微信支付 chosen: the body is the plaintext
// resource, sealed under the order's APIv3 key byte for byte as typed and
// sent signed with the platform's key. Never throws: a failure (the key
// unreadable, libcrypto) is in the record, with nothing sent.
PushPostOutcome postPayResource(const PushPostOrder &order, const PayPlatformKey &key,
                                const HttpRequestFactory &createRequest = createHttpRequest);
