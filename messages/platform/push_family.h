#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The platform's push families. Each checks URLs, signs, encrypts and
// judges replies by rules of its own; the crypto is shared.
enum class Platform {
    OfficialAccount, // 公众号
    MiniProgram,     // 小程序 message push
    WeCom,           // 企业微信 callbacks
    OpenPlatform,    // 第三方平台 authorisation events
    Pay,             // 微信支付 API v3 notifications
};

// What a mini-program push's body is written in.
enum class BodyFormat { Xml, Json };

// The command-line name: oa, miniprogram, wecom, open, pay.
QString platformName(Platform platform);
std::optional<Platform> platformFromName(QStringView name);

// For a window, in Chinese: 公众号, 小程序, 企业微信, 第三方平台, 微信支付.
QString platformCaption(Platform platform);
