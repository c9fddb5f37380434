#pragma once

#include "access_settings.h"

#include <QString>

#include <optional>

// The access settings saved between runs, in the user's configuration folder
// (named after the organization and application main() sets), readable by
// the owner only: the token and key are secrets.
QString accessSettingsFile();

// What was saved; nothing saved (or no such file): no token.
AccessSettings loadAccessSettings(const QString &file = accessSettingsFile());

// Writes them; returns why they could not be written, in Chinese.
std::optional<QString> saveAccessSettings(const AccessSettings &settings, const QString &file = accessSettingsFile());
