#include "access_settings_store.h"

#include "access_settings_check.h"
#include "saved_access_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

QString accessSettingsFile()
{
    // Where QSettings' native format keeps the application's settings, made
    // explicit so that the file's permissions can be set.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/'
        + QCoreApplication::organizationName() + u'/' + QCoreApplication::applicationName() + QStringLiteral(".conf");
}

AccessSettings loadAccessSettings(const QString &file)
{
    return readSavedAccessSettings(file);
}

std::optional<QString> saveAccessSettings(const AccessSettings &settings, const QString &file)
{
    const auto failed = [&file] { return QStringLiteral("接入设置无法保存到 %1").arg(QDir::toNativeSeparators(file)); };
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return failed();
    // Made owner-only before the secrets go in: QSettings writes a new file
    // and renames it over this one, keeping this one's permissions.
    {
        QFile made(file);
        if (!made.exists() && !made.open(QIODevice::WriteOnly))
            return failed();
    }
    if (!QFile::setPermissions(file, kOwnerOnly))
        return failed();

    QSettings stored(file, QSettings::IniFormat);
    stored.setValue("access/token", settings.token);
    stored.setValue("access/aesKey", settings.aesKey);
    stored.setValue("access/appId", settings.appId);
    stored.setValue("access/openId", settings.openId);
    stored.setValue("access/mode", messageModeName(settings.mode));
    stored.sync();
    if (stored.status() != QSettings::NoError || !QFile::setPermissions(file, kOwnerOnly))
        return failed();
    return std::nullopt;
}
