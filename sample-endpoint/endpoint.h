#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct EndpointSettings {
    // Without a token no request's signature is checked.
    std::optional<std::string> token;
    // With the key (32 bytes, from an EncodingAESKey) a push whose query says
    // encrypt_type=aes is opened and answered encrypted, as the SDKs do.
    std::optional<std::string> aesKey;
    std::string appId;
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

// How a developer's endpoint answers the platform: the echo of a GET's
// echostr, a passive text reply to a POSTed push (encrypted when the push
// was), or a one-line reason.
EndpointAnswer AnswerRequest(const EndpointSettings &settings, const EndpointRequest &request, std::int64_t now);
