#pragma once

#include "platform/access_settings.h"

#include <QString>

// Where the push families part ways, for signing, the URL check and the verdict.

// WeCom and the third-party platform encrypt every push, whatever the mode.
bool alwaysEncrypted(Platform platform);

// Whether the endpoint's passive reply must be encrypted: safe mode, or a
// family that always encrypts.
bool repliesMustBeEncrypted(const AccessSettings &access);

// What the family calls the receive id the envelope carries: AppID, CorpID,
// 第三方平台 AppID.
QString receiveIdName(Platform platform);

// Whether the pushes are JSON: a mini-program set to JSON.
bool pushesJson(const AccessSettings &access);

// Whether a body typed or answered is JSON rather than XML: its first
// character other than whitespace is "{".
bool looksLikeJson(const QString &text);

// Whether a push or an answer is read and written as JSON: only a
// mini-program's, and only when it looks like JSON, so that what the user
// typed decides and the official account's bodies stay XML whatever they hold.
bool isJsonMessage(const AccessSettings &access, const QString &text);
