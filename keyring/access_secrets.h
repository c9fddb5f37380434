#pragma once

#include "platform/access_settings.h"

#include <QString>

#include <optional>
#include <span>

// The access settings that are secrets, kept in the keyring under the names
// they have in the settings file. A secret added later is one more row.
struct AccessSecret {
    const char *name;
    QString AccessSettings::*field;
};
std::span<const AccessSecret> accessSecrets();

// Fills in the secrets the keyring holds (those it lacks: empty). False: no
// keyring answered, and nothing was filled in.
bool readAccessSecrets(AccessSettings &settings);

// Nothing: the keyring confirmed every one. Otherwise why not.
std::optional<QString> writeAccessSecrets(const AccessSettings &settings);
