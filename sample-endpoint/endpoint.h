#pragma once

#include "platform/push_family.h"

#include <cstdint>
#include <optional>
#include <string>

struct EndpointSettings {
    // Without a token no request's signature is checked.
    std::optional<std::string> token;
    // With the key (32 bytes, from an EncodingAESKey) a push whose query says
    // encrypt_type=aes is opened and answered encrypted, as the SDKs do.
    std::optional<std::string> aesKey;
    // The receive id the envelope carries: the AppID, a WeCom CorpID, or a
    // third-party platform's own AppID.
    std::string appId;
    Platform platform = Platform::OfficialAccount;
    // A mini-program's data format: the other one is refused. None: either.
    std::optional<BodyFormat> format = {}; // "= {}": brace lists that stop at the platform need not name it
};

struct EndpointRequest {
    std::string method;
    std::string path;
    std::string query; // as sent, after the "?"
    std::string body;
};

struct EndpointAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
};

inline constexpr char kEndpointPath[] = "/api/";

// How a developer's endpoint of the settings' family answers the platform:
// the echo of a GET's echostr (decrypted for WeCom), a passive text reply to
// a POSTed push in the push's own format (encrypted when the push was),
// "success" to a third-party platform's event, or a one-line reason.
EndpointAnswer AnswerRequest(const EndpointSettings &settings, const EndpointRequest &request, std::int64_t now);
