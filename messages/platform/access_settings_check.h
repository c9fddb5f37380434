#pragma once

#include "platform/access_settings.h"

#include <QString>

#include <optional>

// The names a command line gives the message modes: plain, compat, safe.
QString messageModeName(MessageMode mode);
std::optional<MessageMode> messageModeFromName(const QString &name);
// As the platform's developer page names them: 明文模式, 兼容模式, 安全模式.
QString messageModeLabel(MessageMode mode);

// Why a setting cannot be used, for the dialog (Chinese) and the command
// line (both).
struct AccessSettingsProblem {
    enum Field { Token, AesKey, AppId };
    Field field;
    QString chinese;
    QString english;
};

// The EncodingAESKey must be 43 characters that decode, with "=" appended,
// from base64 to the 32 bytes of an AES-256 key. An empty key is no problem
// here: whether one is needed depends on the mode.
std::optional<AccessSettingsProblem> aesKeyProblem(const QString &key);

// The first reason these settings cannot sign and encrypt a post: a bad key,
// or compatible and safe modes without the token, key and AppID they need.
std::optional<AccessSettingsProblem> accessSettingsProblem(const AccessSettings &settings);
