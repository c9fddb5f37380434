#include "platform/saved_access_settings.h"

#include "platform/access_settings_check.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

QString formatName(BodyFormat format)
{
    return format == BodyFormat::Json ? QStringLiteral("json") : QStringLiteral("xml");
}

} // namespace

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
    settings.apiV3Key = stored.value("access/apiV3Key").toString();
    settings.appId = stored.value("access/appId").toString();
    settings.openId = stored.value("access/openId").toString();
    settings.caFile = stored.value("access/caFile").toString();
    settings.mode = messageModeFromName(stored.value("access/mode").toString()).value_or(MessageMode::Plain);
    settings.platform = platformFromName(stored.value("access/platform").toString()).value_or(Platform::OfficialAccount);
    settings.format = stored.value("access/format").toString() == formatName(BodyFormat::Json) ? BodyFormat::Json
                                                                                                : BodyFormat::Xml;
    settings.agentId = stored.value("access/agentId").toString();
    settings.mchId = stored.value("access/mchId").toString();
    return settings;
}

void writeSavedAccessFields(QSettings &stored, const AccessSettings &settings)
{
    stored.setValue("access/appId", settings.appId);
    stored.setValue("access/openId", settings.openId);
    stored.setValue("access/mode", messageModeName(settings.mode));
    stored.setValue("access/caFile", settings.caFile);
    stored.setValue("access/platform", platformName(settings.platform));
    stored.setValue("access/format", formatName(settings.format));
    stored.setValue("access/agentId", settings.agentId);
    stored.setValue("access/mchId", settings.mchId);
}
