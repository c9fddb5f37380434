#pragma once

#include "platform/access_settings.h"

#include <QString>

#include <optional>

// The access settings saved between runs, in the user's configuration folder
// (named after the organization and application main() sets), readable by
// the owner only. The token and keys (the secrets: Token, EncodingAESKey,
// APIv3 key) are kept in the desktop's keyring where one answers, and in
// that file where none does.
QString accessSettingsFile();

enum class SecretsPlace {
    NotSaved, // nothing saved yet: saving tries the keyring, then the file
    File,     // the owner-only settings file
    Keyring,  // the desktop's secret service
};

// Where the last load or save in this run kept the secrets (before any: not saved).
SecretsPlace savedSecretsPlace();

// What was saved; nothing saved (or no such file): no token. Secrets an
// earlier version left in the file move into the keyring, and leave the file
// only once the keyring confirmed them.
AccessSettings loadAccessSettings(const QString &file = accessSettingsFile());

struct AccessSave {
    bool saved = false; // false: nothing was saved, and the message says why
    QString message;    // what the user should know, in Chinese; empty: nothing
};

// Writes them: the secrets into the keyring, or into the file when the
// keyring does not take them (the message then says so).
AccessSave saveAccessSettings(const AccessSettings &settings, const QString &file = accessSettingsFile());
