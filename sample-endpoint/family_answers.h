#pragma once

#include "endpoint.h"

#include <cstdint>

// The families whose rules differ from the official account's the most.

// WeCom: every request signed by msg_signature alone, a URL check answered
// with the decrypted echostr, pushes always encrypted with the CorpID.
EndpointAnswer AnswerWeComRequest(const EndpointSettings &settings, const EndpointRequest &request, std::int64_t now);

// Third-party platform: no URL check; authorisation events always encrypted,
// signed twice (signature and msg_signature), answered "success".
EndpointAnswer AnswerOpenPlatformRequest(const EndpointSettings &settings, const EndpointRequest &request);
