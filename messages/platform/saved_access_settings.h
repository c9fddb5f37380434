#pragma once

#include "platform/access_settings.h"

#include <QString>

// The access settings the window saves between runs, read by any front end:
// an INI file in the user's configuration folder, owner-only.

// Where the window saves them: <config>/Veltrane/veltrane.conf, after the
// organization and application names its main() sets.
QString windowAccessSettingsFile();

// The settings saved in that file; none saved (or no such file): no token.
AccessSettings readSavedAccessSettings(const QString &file);
