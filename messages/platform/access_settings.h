#pragma once

#include "platform/push_family.h"

#include <QString>

// How the platform's messages are sent to the endpoint.
enum class MessageMode {
    Plain,      // 明文模式: the body as typed
    Compatible, // 兼容模式: the body as typed, with its Encrypt element added
    Safe,       // 安全模式: only ToUserName and Encrypt
};

// The endpoint's access settings as the platform's developer page holds
// them. With no token a post is the plain post: URL and body as typed.
struct AccessSettings {
    QString token;
    QString aesKey; // EncodingAESKey: 43 characters of base64
    QString appId;  // the receive id: AppID; WeCom's CorpID (or a suite's SuiteID); the third-party platform's AppID
    QString openId; // empty: the body's FromUserName
    MessageMode mode = MessageMode::Plain;
    // PEM certificates trusted for an https endpoint (a local one's own);
    // empty: the system's, or CURL_CA_BUNDLE / SSL_CERT_FILE as curl reads them.
    QString caFile = {}; // "= {}": brace lists that stop at the mode need not name it
    Platform platform = Platform::OfficialAccount;
    BodyFormat format = BodyFormat::Xml; // mini-program pushes only
    QString agentId = {};                // WeCom: the application's AgentID
    QString mchId = {};                  // payments: 商户号
    QString apiV3Key = {};               // payments: the 32-character APIv3 key

    bool operator==(const AccessSettings &) const = default;

    bool signs() const { return !token.isEmpty(); }
    // WeCom and the third-party platform always encrypt: their mode is not asked.
    bool encrypts() const
    {
        return signs()
            && (mode != MessageMode::Plain || platform == Platform::WeCom || platform == Platform::OpenPlatform);
    }
};
