#pragma once

#include "endpoint.h"

#include <functional>
#include <optional>
#include <string>

// What the endpoint needs to take the payment platform's notifications.
struct PayEndpointSettings {
    std::string apiV3Key;       // 32 bytes
    std::string certificatePem; // the platform certificate its signatures verify with
};

// A request header field's value, by name in any case; nothing: not sent.
using HeaderLookup = std::function<std::optional<std::string>(const std::string &name)>;

// How a merchant's endpoint answers a payment notification, as the SDKs
// guide it: the Wechatpay-* signature verified with the platform
// certificate, the resource opened with the APIv3 key and its tag checked,
// then 200 with the resource's JSON (for the developer to read; the
// platform looks only at the status). Anything wrong: 4xx with
// {"code":"FAIL","message":…}.
EndpointAnswer AnswerPayNotification(const PayEndpointSettings &settings, const EndpointRequest &request,
                                     const HeaderLookup &header, std::int64_t now);
