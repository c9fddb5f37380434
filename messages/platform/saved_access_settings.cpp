#include "platform/saved_access_settings.h"

#include "platform/access_settings_check.h"

#include <QSettings>
#include <QStandardPaths>

QString windowAccessSettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Veltrane/veltrane.conf");
}

AccessSettings readSavedAccessSettings(const QString &file)
{
    const QSettings stored(file, QSettings::IniFormat);
    AccessSettings settings;
    settings.token = stored.value("access/token").toString();
    settings.aesKey = stored.value("access/aesKey").toString();
    settings.appId = stored.value("access/appId").toString();
    settings.openId = stored.value("access/openId").toString();
    settings.caFile = stored.value("access/caFile").toString();
    settings.mode = messageModeFromName(stored.value("access/mode").toString()).value_or(MessageMode::Plain);
    return settings;
}
