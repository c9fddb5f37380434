// The access settings' secrets in a real keyring: a gnome-keyring-daemon of
// this test's own, unlocked, on a D-Bus session bus of this test's own, with
// its home in a temporary folder. The user's own keyring and settings are
// never reached. Without a keyring, test_access_settings covers the file.
#include "access_settings_dialog.h"
#include "access_settings_store.h"
#include "keyring_secrets.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

AccessSettings safeSettings()
{
    return {u"令牌Tok"_s, kKey, u"wxb11529c136998cb6"_s, u"oUser"_s, MessageMode::Safe};
}

QByteArray fileText(const QString &file)
{
    QFile read(file);
    return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
}

bool holdsSecrets(const QString &file)
{
    const QSettings stored(file, QSettings::IniFormat);
    return stored.contains(u"access/token"_s) || stored.contains(u"access/aesKey"_s);
}

} // namespace

class TestAccessKeyring : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void savedIntoKeyringNotFile();
    void earlierFileMovesIntoKeyring();
    void postReadsKeyring();
    void lockedKeyringKeepsSecretsInFile();

private:
    QTemporaryDir home_;
    QProcess bus_;
    QProcess keyring_;
};

void TestAccessKeyring::initTestCase()
{
    const QString busProgram = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    const QString keyringProgram = QStandardPaths::findExecutable(u"gnome-keyring-daemon"_s);
    if (busProgram.isEmpty() || keyringProgram.isEmpty())
        QSKIP("dbus-daemon or gnome-keyring-daemon is not installed (scripts/setup.sh installs them)");
    QVERIFY(home_.isValid());
    // Everything the daemons and the program look at lives in the temporary home.
    for (const auto &[name, folder] : {std::pair{"HOME", u""_s}, {"XDG_CONFIG_HOME", u"config"_s},
                                       {"XDG_DATA_HOME", u"data"_s}, {"XDG_RUNTIME_DIR", u"run"_s}}) {
        const QString path = home_.filePath(folder);
        QVERIFY(QDir().mkpath(path));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        qputenv(name, QFile::encodeName(path));
    }
    qunsetenv("DISPLAY"); // no prompt to unlock: a locked keyring refuses at once
    qunsetenv("WAYLAND_DISPLAY");
    QCoreApplication::setOrganizationName(u"Veltrane"_s);
    QCoreApplication::setApplicationName(u"veltrane"_s);

    bus_.start(busProgram, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    QByteArray address;
    while (!address.contains('\n') && bus_.waitForReadyRead(30'000))
        address += bus_.readAllStandardOutput();
    QVERIFY2(address.contains('\n'), bus_.readAllStandardError().constData());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.trimmed());

    keyring_.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    keyring_.start(keyringProgram, {u"--foreground"_s, u"--unlock"_s, u"--components=secrets"_s});
    QVERIFY(keyring_.waitForStarted());
    keyring_.write("test-password"); // unlocks (and makes) the login keyring
    keyring_.closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(
        QDBusConnection::sessionBus().interface()->isServiceRegistered(u"org.freedesktop.secrets"_s), 30'000);
}

void TestAccessKeyring::cleanupTestCase()
{
    for (QProcess *daemon : {&keyring_, &bus_}) {
        daemon->terminate();
        daemon->waitForFinished();
    }
}

void TestAccessKeyring::savedIntoKeyringNotFile()
{
    AccessSettings settings = safeSettings();
    settings.apiV3Key = u"testMchAPIv3Key0testMchAPIv3Key0"_s; // a secret as the token is
    const AccessSave save = saveAccessSettings(settings);
    QVERIFY2(save.saved && save.message.isEmpty(), qPrintable(save.message));
    QVERIFY(!holdsSecrets(accessSettingsFile()));
    QVERIFY(!fileText(accessSettingsFile()).contains(kKey.toLatin1()));
    QVERIFY(!fileText(accessSettingsFile()).contains("testMchAPIv3Key0"));
    QCOMPARE(readKeyringSecret(u"access/aesKey"_s).secret, kKey);
    QCOMPARE(readKeyringSecret(u"access/apiV3Key"_s).secret, settings.apiV3Key);
    QVERIFY(loadAccessSettings() == settings);
    QCOMPARE(savedSecretsPlace(), SecretsPlace::Keyring);

    const AccessSettingsDialog dialog(safeSettings());
    QCOMPARE(dialog.findChild<QLabel *>(u"secretsPlace"_s)->text(), u"Token 和 EncodingAESKey 保存在系统钥匙环中"_s);
}

void TestAccessKeyring::earlierFileMovesIntoKeyring()
{
    // As an earlier version saved them: every setting in the owner-only file.
    const QString file = accessSettingsFile();
    QFile::remove(file);
    {
        QSettings earlier(file, QSettings::IniFormat);
        earlier.setValue("access/token", u"earlierToken"_s);
        earlier.setValue("access/aesKey", kKey);
        earlier.setValue("access/appId", u"wxEarlier"_s);
        earlier.setValue("access/mode", u"safe"_s);
    }
    QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const AccessSettings expected{u"earlierToken"_s, kKey, u"wxEarlier"_s, {}, MessageMode::Safe};

    QVERIFY(loadAccessSettings() == expected);
    QVERIFY(!holdsSecrets(file));
    QCOMPARE(readKeyringSecret(u"access/token"_s).secret, u"earlierToken"_s);
    // Moved once: the next run finds them in the keyring.
    QVERIFY(loadAccessSettings() == expected);
    QCOMPARE(savedSecretsPlace(), SecretsPlace::Keyring);
}

void TestAccessKeyring::postReadsKeyring()
{
    // A key that does not decode is named with where it came from: only the
    // keyring holds it.
    const AccessSettings saved{u"tok"_s, u"not-a-key"_s, {}, {}, MessageMode::Plain};
    QVERIFY(saveAccessSettings(saved).saved);
    QVERIFY(!holdsSecrets(accessSettingsFile()));
    QProcess post;
    post.start(QStringLiteral(VELTRANE_POST_PROGRAM), {u"--saved-settings"_s, u"http://127.0.0.1:0/"_s});
    QVERIFY(post.waitForFinished(60'000));
    const QString err = QString::fromUtf8(post.readAllStandardError());
    QVERIFY2(err.contains(u"EncodingAESKey") && err.contains(u"保存的接入设置"), qPrintable(err));
}

void TestAccessKeyring::lockedKeyringKeepsSecretsInFile()
{
    QVERIFY(saveAccessSettings(safeSettings()).saved);
    QCOMPARE(savedSecretsPlace(), SecretsPlace::Keyring);
    QDBusInterface service(u"org.freedesktop.secrets"_s, u"/org/freedesktop/secrets"_s,
                           u"org.freedesktop.Secret.Service"_s);
    const QDBusMessage locked = service.call(
        u"Lock"_s, QVariant::fromValue(QList<QDBusObjectPath>{
                       QDBusObjectPath(u"/org/freedesktop/secrets/collection/login"_s)}));
    QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));

    const AccessSettings changed{u"newToken"_s, kKey, u"wxNew"_s, {}, MessageMode::Compatible};
    const AccessSave save = saveAccessSettings(changed);
    QVERIFY(save.saved);
    QVERIFY2(save.message.contains(u"仅本人可读的设置文件"), qPrintable(save.message));
    QVERIFY(holdsSecrets(accessSettingsFile()));
    QCOMPARE(savedSecretsPlace(), SecretsPlace::File);
    // Still locked at the next run: they stay in the file, not lost.
    QVERIFY(loadAccessSettings() == changed);
    QVERIFY(holdsSecrets(accessSettingsFile()));
    const AccessSettingsDialog dialog(changed);
    QVERIFY(dialog.findChild<QLabel *>(u"secretsPlace"_s)->text().contains(u"设置文件"));
}

QTEST_MAIN(TestAccessKeyring)
#include "test_access_keyring.moc"
