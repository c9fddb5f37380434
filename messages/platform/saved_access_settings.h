#pragma once

#include "platform/access_settings.h"

#include <QString>

class QSettings;

// The access settings the window saves between runs, read by any front end:
// an INI file in the user's configuration folder, owner-only.

// Where the window saves them: <config>/Veltrane/veltrane.conf, after the
// organization and application names its main() sets.
QString windowAccessSettingsFile();

// The settings saved in that file; none saved (or no such file): no token.
// A family or format this build does not know reads as the official
// account's, in XML.
AccessSettings readSavedAccessSettings(const QString &file);

// Writes the settings that are no secret, under the names read above; the
// token and the keys are the caller's to keep (the keyring, or the file).
void writeSavedAccessFields(QSettings &stored, const AccessSettings &settings);
