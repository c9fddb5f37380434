#include "access_settings_store.h"

#include "access_secrets.h"
#include "platform/saved_access_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

SecretsPlace &lastPlace()
{
    static SecretsPlace place = SecretsPlace::NotSaved;
    return place;
}

// The file as the owner alone may read it, with the secrets in it or not.
bool writeFile(const AccessSettings &settings, const QString &file, bool withSecrets)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    // Made owner-only before anything goes in: QSettings writes a new file
    // and renames it over this one, keeping this one's permissions.
    {
        QFile made(file);
        if (!made.exists() && !made.open(QIODevice::WriteOnly))
            return false;
    }
    if (!QFile::setPermissions(file, kOwnerOnly))
        return false;

    QSettings stored(file, QSettings::IniFormat);
    for (const AccessSecret &secret : accessSecrets()) {
        if (withSecrets)
            stored.setValue(secret.name, settings.*secret.field);
        else
            stored.remove(secret.name);
    }
    writeSavedAccessFields(stored, settings);
    stored.sync();
    return stored.status() == QSettings::NoError && QFile::setPermissions(file, kOwnerOnly);
}

bool fileHoldsSecrets(const QString &file)
{
    const QSettings stored(file, QSettings::IniFormat);
    for (const AccessSecret &secret : accessSecrets()) {
        if (stored.contains(secret.name))
            return true;
    }
    return false;
}

} // namespace

QString accessSettingsFile()
{
    // Where QSettings' native format keeps the application's settings, made
    // explicit so that the file's permissions can be set.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/'
        + QCoreApplication::organizationName() + u'/' + QCoreApplication::applicationName() + QStringLiteral(".conf");
}

SecretsPlace savedSecretsPlace()
{
    return lastPlace();
}

AccessSettings loadAccessSettings(const QString &file)
{
    // Nothing saved yet: nothing in the keyring either, and no start waits
    // for the secret service (or loads libsecret) to learn so.
    if (!QFileInfo::exists(file)) {
        lastPlace() = SecretsPlace::NotSaved;
        return {};
    }
    AccessSettings settings = readSavedAccessSettings(file);
    if (fileHoldsSecrets(file)) {
        // Left by an earlier version, or by a run the keyring did not answer:
        // into the keyring, and out of the file once it holds them.
        const bool moved = !writeAccessSecrets(settings) && writeFile(settings, file, false);
        lastPlace() = moved ? SecretsPlace::Keyring : SecretsPlace::File;
        return settings;
    }
    const bool answered = readAccessSecrets(settings);
    lastPlace() = answered ? SecretsPlace::Keyring : SecretsPlace::File;
    return settings;
}

AccessSave saveAccessSettings(const AccessSettings &settings, const QString &file)
{
    const QString failed = QStringLiteral("接入设置无法保存到 %1").arg(QDir::toNativeSeparators(file));
    const auto refused = writeAccessSecrets(settings);
    if (!refused) {
        if (!writeFile(settings, file, false))
            return {false, failed};
        lastPlace() = SecretsPlace::Keyring;
        return {true, {}};
    }
    // The secrets go where they can be kept; a keyring that held them until
    // now and refused them is worth a word.
    if (!writeFile(settings, file, true))
        return {false, failed};
    const bool wasKeyring = lastPlace() == SecretsPlace::Keyring;
    lastPlace() = SecretsPlace::File;
    if (!wasKeyring)
        return {true, {}};
    return {true, QStringLiteral("钥匙环没有保存 Token 和 EncodingAESKey（%1），它们已改存在仅本人可读的设置文件 %2 中")
                      .arg(*refused, QDir::toNativeSeparators(file))};
}
