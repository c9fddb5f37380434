#include "access_hint.h"

#include "platform/access_settings_check.h"

QString accessHint(const AccessSettings &settings, const QString &unsignedHint)
{
    if (!settings.signs())
        return unsignedHint;
    return QStringLiteral("已签名 · %1 · 右键打开接入设置").arg(messageModeLabel(settings.mode));
}
