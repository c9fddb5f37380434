#pragma once

#include "platform/access_settings.h"

#include <QString>

// Label1's one line: with a token, that posts are signed, in which mode, and
// where the settings are; without one, the window's own hint as it was.
QString accessHint(const AccessSettings &settings, const QString &unsignedHint);
