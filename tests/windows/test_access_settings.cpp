#include "pay/platform_key.h"
#include "access_hint.h"
#include "access_settings_dialog.h"
#include "access_settings_store.h"
#include "form1.h"
#include "program_options.h"
#include "program_windows.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(AccessSettings)
Q_DECLARE_METATYPE(MessageMode)
Q_DECLARE_METATYPE(Platform)

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

AccessSettings safeSettings()
{
    return {u"AAAAA"_s, kKey, u"wxb11529c136998cb6"_s, u"oUser"_s, MessageMode::Safe};
}

mode_t permissionBits(const QString &file)
{
    struct stat status {};
    if (::stat(QFile::encodeName(file).constData(), &status) != 0)
        return ~mode_t(0);
    return status.st_mode & 07777;
}

void choosePlatform(AccessSettingsDialog &dialog, Platform platform)
{
    auto *choice = dialog.findChild<QComboBox *>(u"platform"_s);
    choice->setCurrentIndex(choice->findData(int(platform)));
}

AccessSettings weComSettings()
{
    AccessSettings settings{u"QDG6eK"_s, u"jWmYm7qr5nMoAUwZRjGtBxmz3KA1tkAj3ykkR6q2B2C"_s, u"wx5823bf96d3bd56c7"_s,
                            {}, MessageMode::Safe};
    settings.platform = Platform::WeCom;
    settings.agentId = u"218"_s;
    return settings;
}

AccessSettings paySettings()
{
    AccessSettings settings;
    settings.platform = Platform::Pay;
    settings.mchId = u"1900000001"_s;
    settings.appId = u"wxd678efh567hg6787"_s;
    settings.apiV3Key = u"testMchAPIv3Key0testMchAPIv3Key0"_s;
    return settings;
}

} // namespace

class TestAccessSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void savedFileIsWhereQSettingsLooks();
    void savedAndLoadedOwnerOnly_data();
    void savedAndLoadedOwnerOnly();
    void unwritablePlaceIsReported();
    void commandLine_data();
    void commandLine();
    void dialogRefusesWhatCannotBeUsed();
    void dialogReturnsTrimmedSettings();
    void dialogSavesOnlyWhatWasChanged_data();
    void dialogSavesOnlyWhatWasChanged();
    void keyProblemShownWhole_data();
    void keyProblemShownWhole();
    void hintFitsLabel1_data();
    void hintFitsLabel1();
    void familyRows_data();
    void familyRows();
    void familyProblems_data();
    void familyProblems();
    void switchingFamilyLosesNothing();

private:
    QTemporaryDir config_;
};

void TestAccessSettings::initTestCase()
{
    QVERIFY(config_.isValid());
    // Nothing in this test reaches the user's own configuration, nor any
    // keyring: with no session bus to be found, the secrets stay in the file.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(config_.path()));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    QCoreApplication::setOrganizationName(u"Veltrane"_s);
    QCoreApplication::setApplicationName(u"veltrane"_s);
}

void TestAccessSettings::savedFileIsWhereQSettingsLooks()
{
    QCOMPARE(accessSettingsFile(), config_.filePath(u"Veltrane/veltrane.conf"_s));
    QCOMPARE(QSettings().fileName(), accessSettingsFile());
    QVERIFY(loadAccessSettings() == AccessSettings{}); // nothing saved yet: no token
}

void TestAccessSettings::savedAndLoadedOwnerOnly_data()
{
    QTest::addColumn<AccessSettings>("settings");
    QTest::addColumn<int>("permissionsBefore"); // 0: no file yet
    QTest::newRow("safe mode, new file") << safeSettings() << 0;
    QTest::newRow("a file others could read") << AccessSettings{u"tok"_s, {}, {}, {}, MessageMode::Plain} << 0644;
    QTest::newRow("compat, non-ASCII and blanks") << AccessSettings{u"令牌 x"_s, kKey, u"wx=1"_s, u"o;U"_s,
                                                                    MessageMode::Compatible}
                                                  << 0600;
    AccessSettings miniJson = safeSettings();
    miniJson.platform = Platform::MiniProgram;
    miniJson.format = BodyFormat::Json;
    QTest::newRow("mini-program, JSON") << miniJson << 0;
    QTest::newRow("WeCom, its AgentID") << weComSettings() << 0600;
    QTest::newRow("payments: merchant and APIv3 key") << paySettings() << 0600;
}

void TestAccessSettings::savedAndLoadedOwnerOnly()
{
    QFETCH(AccessSettings, settings);
    QFETCH(int, permissionsBefore);
    const QString file = accessSettingsFile();
    QFile::remove(file);
    if (permissionsBefore) {
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("[access]\ntoken=old\n");
        old.close();
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(permissionsBefore)) == 0);
    }

    const AccessSave save = saveAccessSettings(settings);
    QVERIFY2(save.saved && save.message.isEmpty(), qPrintable(save.message));
    QCOMPARE(permissionBits(file), mode_t(0600));
    QVERIFY(loadAccessSettings() == settings);
}

void TestAccessSettings::unwritablePlaceIsReported()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(u"not-a-folder"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const AccessSave save = saveAccessSettings(safeSettings(), blocker.fileName() + u"/veltrane.conf"_s);
    QVERIFY(!save.saved);
    QVERIFY2(save.message.contains(u"无法保存"), qPrintable(save.message));
}

void TestAccessSettings::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<AccessSettings>("saved");
    QTest::addColumn<int>("exitStatus"); // -1: the program runs
    QTest::addColumn<AccessSettings>("effective");
    QTest::addColumn<QString>("printed"); // a part of what is printed

    const AccessSettings saved = safeSettings();
    AccessSettings tokenOnly;
    tokenOnly.token = u"cli"_s;
    AccessSettings plainOverSaved = saved;
    plainOverSaved.mode = MessageMode::Plain;
    plainOverSaved.openId = u"o2"_s;
    AccessSettings handEdited = saved;
    handEdited.aesKey = u"short"_s;

    QTest::newRow("none: the saved ones") << QStringList{u"veltrane"_s} << saved << -1 << saved << QString();
    QTest::newRow("token over nothing saved") << QStringList{u"veltrane"_s, u"--token"_s, u"cli"_s} << AccessSettings{}
                                              << -1 << tokenOnly << QString();
    QTest::newRow("mode and openid win, the rest kept")
        << QStringList{u"veltrane"_s, u"--mode=plain"_s, u"--openid"_s, u"o2"_s} << saved << -1 << plainOverSaved
        << QString();
    QTest::newRow("an empty token turns signing off") << QStringList{u"veltrane"_s, u"--token="_s, u"--mode=plain"_s}
                                                      << saved << -1 << [&] {
                                                             AccessSettings off = saved;
                                                             off.token.clear();
                                                             off.mode = MessageMode::Plain;
                                                             return off;
                                                         }() << QString();
    QTest::newRow("a bad saved key alone still starts") << QStringList{u"veltrane"_s} << handEdited << -1
                                                        << handEdited << QString();
    AccessSettings plainBadKey = handEdited;
    plainBadKey.mode = MessageMode::Plain;
    AccessSettings plainBadKeyToken = plainBadKey;
    plainBadKeyToken.token = u"cli"_s;
    QTest::newRow("a bad key saved beside plain mode is no bar to a token")
        << QStringList{u"veltrane"_s, u"--token"_s, u"cli"_s} << plainBadKey << -1 << plainBadKeyToken << QString();
    QTest::newRow("--help") << QStringList{u"veltrane"_s, u"--help"_s} << saved << 0 << AccessSettings{}
                            << u"--aes-key"_s;
    QTest::newRow("unknown option") << QStringList{u"veltrane"_s, u"--tokn"_s, u"x"_s} << saved << 2
                                    << AccessSettings{} << u"未知的选项"_s;
    QTest::newRow("bad mode") << QStringList{u"veltrane"_s, u"--mode"_s, u"secure"_s} << saved << 2
                              << AccessSettings{} << u"--mode must be plain, compat or safe"_s;
    QTest::newRow("short key") << QStringList{u"veltrane"_s, u"--aes-key"_s, u"abc"_s} << saved << 2
                               << AccessSettings{} << u"43 个字符"_s;
    QTest::newRow("option without its value") << QStringList{u"veltrane"_s, u"--token"_s} << saved << 2
                                              << AccessSettings{} << u"token"_s;
    QTest::newRow("stray argument") << QStringList{u"veltrane"_s, u"http://x/"_s} << saved << 2 << AccessSettings{}
                                    << u"多余的参数"_s;
}

void TestAccessSettings::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(AccessSettings, saved);
    QFETCH(int, exitStatus);
    QFETCH(AccessSettings, effective);
    QFETCH(QString, printed);
    const ProgramOptions options = parseProgramOptions(arguments, saved);
    QCOMPARE(options.exitStatus.value_or(-1), exitStatus);
    if (exitStatus < 0) {
        QVERIFY(options.overrides.over(saved) == effective);
        return;
    }
    const QString output = exitStatus == 0 ? options.toStdout : options.toStderr;
    QVERIFY2(output.contains(printed), qPrintable(output));
    if (exitStatus == 2) // said in both languages
        QVERIFY2(output.count(u"veltrane: "_s) >= 2, qPrintable(output));
}

void TestAccessSettings::dialogRefusesWhatCannotBeUsed()
{
    AccessSettingsDialog dialog(AccessSettings{});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    auto *key = dialog.findChild<QLineEdit *>(u"aesKey"_s);
    auto *keyProblem = dialog.findChild<QLabel *>(u"aesKeyProblem"_s);
    auto *modeProblem = dialog.findChild<QLabel *>(u"modeProblem"_s);
    QVERIFY(ok->isEnabled());
    QVERIFY(!keyProblem->isVisible());

    // Plain mode does not use the key: what is wrong with it is a note (the
    // modes that use it refuse it: keyProblemShownWhole).
    QTest::keyClicks(key, kKey.left(40));
    QVERIFY(ok->isEnabled());
    QVERIFY(keyProblem->isVisible());
    QVERIFY2(keyProblem->text().contains(u"43"), qPrintable(keyProblem->text()));

    QTest::keyClicks(key, kKey.mid(40));
    QVERIFY(!keyProblem->isVisible());
    QVERIFY(ok->isEnabled());

    const auto radios = dialog.findChildren<QRadioButton *>();
    QCOMPARE(radios.size(), 3);
    radios.at(2)->click(); // 安全模式, without token or AppID
    QCOMPARE(radios.at(2)->text(), u"安全模式"_s);
    QVERIFY(!ok->isEnabled());
    QVERIFY(modeProblem->isVisible());
    QVERIFY2(modeProblem->text().contains(u"Token"), qPrintable(modeProblem->text()));
    QTest::keyClicks(dialog.findChild<QLineEdit *>(u"token"_s), "AAAAA");
    QVERIFY2(modeProblem->text().contains(u"AppID"), qPrintable(modeProblem->text()));
    QTest::keyClicks(dialog.findChild<QLineEdit *>(u"appId"_s), "wx1");
    QVERIFY(!modeProblem->isVisible());
    QVERIFY(ok->isEnabled());
    ok->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestAccessSettings::dialogReturnsTrimmedSettings()
{
    AccessSettingsDialog dialog(safeSettings());
    QVERIFY(dialog.settings() == safeSettings()); // shown as given
    dialog.findChild<QLineEdit *>(u"aesKey"_s)->setText(u"  "_s + kKey + u"\t"_s); // pasted with blanks
    dialog.findChild<QLineEdit *>(u"openId"_s)->clear();
    QVERIFY(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->isEnabled());
    AccessSettings expected = safeSettings();
    expected.openId.clear();
    QVERIFY(dialog.settings() == expected);
}

void TestAccessSettings::dialogSavesOnlyWhatWasChanged_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("field"); // the one the user changes; none: OK as opened
    QTest::addColumn<QString>("value");
    QTest::addColumn<AccessSettings>("savedAfter");
    QTest::addColumn<AccessSettings>("runAfter");
    QTest::addColumn<QStringList>("marked"); // the rows marked as the command line's

    const QString otherKey = u"ZYXWVUTSRQPONMLKJIHGFEDCBA9876543210zyxwvut"_s;
    const QStringList commandLine{u"veltrane"_s, u"--token"_s, u"clitoken"_s, u"--aes-key"_s, otherKey,
                                  u"--appid"_s, u"wxcli"_s, u"--mode"_s, u"compat"_s};
    const QStringList allMarked{u"Token"_s, u"EncodingAESKey"_s, u"AppID"_s, u"消息加解密方式"_s};
    const AccessSettings saved = safeSettings();
    const AccessSettings commandLineRun{u"clitoken"_s, otherKey, u"wxcli"_s, saved.openId, MessageMode::Compatible};
    const auto with = [](AccessSettings settings, auto member, const QString &value) {
        settings.*member = value;
        return settings;
    };

    QTest::newRow("OK unchanged keeps what was saved") << commandLine << QString() << QString() << saved
                                                       << commandLineRun << allMarked;
    QTest::newRow("a changed token is saved, the command line's others not")
        << commandLine << u"token"_s << u"newtoken"_s << with(saved, &AccessSettings::token, u"newtoken"_s)
        << with(commandLineRun, &AccessSettings::token, u"newtoken"_s) << allMarked;
    QTest::newRow("a saved field changed beside the command line's")
        << commandLine << u"openId"_s << u"oOther"_s << with(saved, &AccessSettings::openId, u"oOther"_s)
        << with(commandLineRun, &AccessSettings::openId, u"oOther"_s) << allMarked;
    QTest::newRow("no command line: the change saved") << QStringList{u"veltrane"_s} << u"appId"_s << u"wxnew"_s
                                                       << with(saved, &AccessSettings::appId, u"wxnew"_s)
                                                       << with(saved, &AccessSettings::appId, u"wxnew"_s)
                                                       << QStringList{};
    // No command-line option of the window gives these: saved as the dialog has them.
    QTest::newRow("an AgentID typed for later") << commandLine << u"agentId"_s << u"1000002"_s
                                                << with(saved, &AccessSettings::agentId, u"1000002"_s)
                                                << with(commandLineRun, &AccessSettings::agentId, u"1000002"_s)
                                                << allMarked;
    AccessSettings miniSaved = saved;
    miniSaved.platform = Platform::MiniProgram;
    AccessSettings miniRun = commandLineRun;
    miniRun.platform = Platform::MiniProgram;
    QTest::newRow("another family chosen") << commandLine << u"platform"_s << u"小程序"_s << miniSaved << miniRun
                                           << allMarked;
}

void TestAccessSettings::dialogSavesOnlyWhatWasChanged()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(AccessSettings, savedAfter);
    QFETCH(AccessSettings, runAfter);
    QFETCH(QStringList, marked);
    QVERIFY(saveAccessSettings(safeSettings()).saved);
    const ProgramOptions options = parseProgramOptions(arguments, loadAccessSettings());
    QVERIFY(!options.exitStatus);
    ProgramWindows windows(loadAccessSettings(), options.overrides);
    Form1 &form = windows.mainWindow();

    form.findChild<QAction *>(u"editAccessSettings"_s)->trigger();
    auto *dialog = form.findChild<AccessSettingsDialog *>();
    QVERIFY(dialog);
    QStringList markedRows;
    for (const QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->text().endsWith(u"（命令行）:"))
            markedRows.append(label->text().chopped(6));
    }
    markedRows.sort();
    marked.sort();
    QCOMPARE(markedRows, marked);
    QCOMPARE(dialog->findChild<QLabel *>(u"origins"_s)->isHidden(), marked.isEmpty());
    QCOMPARE(dialog->findChild<QLabel *>(u"secretsPlace"_s)->text(),
             u"Token 和 EncodingAESKey 保存在仅本人可读的设置文件中（没有可用的钥匙环）"_s);
    if (auto *choice = dialog->findChild<QComboBox *>(field); choice && !field.isEmpty())
        choice->setCurrentIndex(choice->findText(value));
    else if (!field.isEmpty())
        dialog->findChild<QLineEdit *>(field)->setText(value);
    dialog->accept();

    QVERIFY(loadAccessSettings() == savedAfter);
    QVERIFY(form.accessSettings() == runAfter);
}

void TestAccessSettings::keyProblemShownWhole_data()
{
    QTest::addColumn<MessageMode>("mode");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("okTaken");
    QTest::newRow("safe mode, a short key") << MessageMode::Safe << kKey.left(40) << false;
    QTest::newRow("compat mode, a bad character") << MessageMode::Compatible << kKey.left(42) + u'!' << false;
    QTest::newRow("plain mode, a short key: a note") << MessageMode::Plain << kKey.left(40) << true;
}

void TestAccessSettings::keyProblemShownWhole()
{
    QFETCH(MessageMode, mode);
    QFETCH(QString, key);
    QFETCH(bool, okTaken);
    AccessSettings settings = safeSettings();
    settings.mode = mode;
    AccessSettingsDialog dialog(settings);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *keyProblem = dialog.findChild<QLabel *>(u"aesKeyProblem"_s);
    auto *field = dialog.findChild<QLineEdit *>(u"aesKey"_s);
    field->clear();
    QTest::keyClicks(field, key);
    QVERIFY(keyProblem->isVisible());
    QVERIFY2(keyProblem->text().startsWith(u"EncodingAESKey"), qPrintable(keyProblem->text()));
    // Every line of the message has its height, within the dialog.
    QTRY_VERIFY2(keyProblem->height() >= keyProblem->heightForWidth(keyProblem->width()),
                 qPrintable(u"%1 px for %2"_s.arg(keyProblem->height()).arg(keyProblem->heightForWidth(keyProblem->width()))));
    QVERIFY(dialog.rect().contains(keyProblem->geometry()));
    QCOMPARE(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->isEnabled(), okTaken);
    dialog.accept();
    QCOMPARE(dialog.result(), okTaken ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(field->text(), key); // nothing typed lost
}

void TestAccessSettings::hintFitsLabel1_data()
{
    QTest::addColumn<AccessSettings>("settings");
    QTest::addColumn<QString>("saying");
    QTest::newRow("no token") << AccessSettings{} << u"先点地址框"_s;
    for (MessageMode mode : {MessageMode::Plain, MessageMode::Compatible, MessageMode::Safe}) {
        AccessSettings settings = safeSettings();
        settings.mode = mode;
        const QString name = mode == MessageMode::Plain ? u"明文模式"_s
            : mode == MessageMode::Compatible          ? u"兼容模式"_s
                                                       : u"安全模式"_s;
        QTest::newRow(qPrintable(name)) << settings << name;
    }
}

void TestAccessSettings::hintFitsLabel1()
{
    QFETCH(AccessSettings, settings);
    QFETCH(QString, saying);
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    form.setAccessSettings(settings);
    const auto *label = form.findChild<QLabel *>(u"Label1"_s);
    QVERIFY2(label->text().contains(saying), qPrintable(label->text()));
    QCOMPARE(label->width(), 441);
    const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
    QVERIFY2(needed <= label->width(), qPrintable(u"%1 px: %2"_s.arg(needed).arg(label->text())));
    // Back to no token: the window's own line again.
    form.setAccessSettings(AccessSettings{});
    QCOMPARE(label->text(), u"先点地址框填入接口地址，载入XML样例，再点PostXML发送"_s);
}

void TestAccessSettings::familyRows_data()
{
    QTest::addColumn<Platform>("platform");
    QTest::addColumn<QStringList>("rows"); // the fields shown
    QTest::addColumn<QString>("receiveId"); // what the AppID row is called
    QTest::addColumn<int>("modes");         // 0: no mode row, 1: to choose, 2: fixed to 安全模式
    const QStringList signing{u"token"_s, u"aesKey"_s, u"appId"_s};
    QTest::newRow("公众号") << Platform::OfficialAccount << signing + QStringList{u"openId"_s} << u"AppID:"_s << 1;
    QTest::newRow("小程序") << Platform::MiniProgram << signing + QStringList{u"openId"_s, u"format"_s} << u"AppID:"_s
                         << 1;
    QTest::newRow("企业微信") << Platform::WeCom << signing + QStringList{u"agentId"_s} << u"CorpID:"_s << 2;
    QTest::newRow("第三方平台") << Platform::OpenPlatform << signing << u"第三方平台 AppID:"_s << 2;
    QTest::newRow("微信支付") << Platform::Pay << QStringList{u"mchId"_s, u"appId"_s, u"apiV3Key"_s, u"payCertificate"_s}
                          << u"AppID:"_s
                          << 0;
}

void TestAccessSettings::familyRows()
{
    QFETCH(Platform, platform);
    QFETCH(QStringList, rows);
    QFETCH(QString, receiveId);
    QFETCH(int, modes);
    AccessSettingsDialog dialog(safeSettings());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    choosePlatform(dialog, platform);
    auto *form = dialog.findChild<QFormLayout *>();
    for (const QString &field : {u"token"_s, u"aesKey"_s, u"mchId"_s, u"appId"_s, u"agentId"_s, u"apiV3Key"_s,
                                 u"openId"_s, u"format"_s, u"payCertificate"_s}) {
        auto *widget = dialog.findChild<QWidget *>(field);
        QVERIFY2(widget->isVisible() == rows.contains(field), qPrintable(field));
        QVERIFY2(form->labelForField(widget)->isVisible() == rows.contains(field), qPrintable(field));
    }
    QCOMPARE(qobject_cast<QLabel *>(form->labelForField(dialog.findChild<QLineEdit *>(u"appId"_s)))->text(),
             receiveId);
    // The platform's key is read or made only when its serial is to be shown, off the dialog's thread.
    const QLineEdit *serialBox = dialog.findChild<QLineEdit *>(u"paySerial"_s);
    if (platform == Platform::Pay)
        QTRY_VERIFY(!serialBox->text().isEmpty());
    const QString serial = serialBox->text();
    QCOMPARE(!serial.isEmpty(), platform == Platform::Pay);
    if (platform == Platform::Pay) {
        QCOMPARE(serial, payPlatformKey(payPlatformKeyFile()).serial);
        // Shown whole, not scrolled: it is read off and compared.
        QTRY_VERIFY(serialBox->width() >= serialBox->fontMetrics().horizontalAdvance(serial)
                                              + serialBox->fontMetrics().averageCharWidth());
    }
    const auto radios = dialog.findChildren<QRadioButton *>();
    for (const QRadioButton *radio : radios) {
        QCOMPARE(radio->isVisible(), modes != 0);
        QCOMPARE(radio->isEnabled(), modes != 2);
    }
    if (modes == 2) {
        QVERIFY(radios.at(2)->isChecked()); // 安全模式
        QVERIFY(dialog.settings().mode == MessageMode::Safe);
        QVERIFY(dialog.findChild<QLabel *>(u"modeHint"_s)->text().contains(u"总是加密"));
    }
    QCOMPARE(dialog.findChild<QLabel *>(u"secretsPlace"_s)->text().startsWith(u"APIv3 密钥"),
             platform == Platform::Pay);
    // Every text shown fits its control, whole, inside the dialog.
    QTRY_VERIFY(dialog.height() >= dialog.layout()->totalMinimumSize().height());
    for (QWidget *shown : dialog.findChildren<QWidget *>()) {
        if (!shown->isVisible() || !(qobject_cast<QLabel *>(shown) || qobject_cast<QComboBox *>(shown)
                                     || qobject_cast<QRadioButton *>(shown) || qobject_cast<QPushButton *>(shown)))
            continue;
        const auto *label = qobject_cast<QLabel *>(shown);
        const QString name = shown->objectName() + u' ' + (label ? label->text() : QString());
        if (label && label->wordWrap())
            QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(name));
        else
            QVERIFY2(shown->width() >= shown->minimumSizeHint().width(), qPrintable(name));
        QVERIFY2(dialog.rect().contains(QRect(shown->mapTo(&dialog, QPoint()), shown->size())), qPrintable(name));
    }
}

void TestAccessSettings::familyProblems_data()
{
    QTest::addColumn<AccessSettings>("settings");
    QTest::addColumn<QString>("problem"); // empty: OK is taken

    QTest::newRow("企业微信, complete") << weComSettings() << QString();
    AccessSettings weComPlain = weComSettings();
    weComPlain.mode = MessageMode::Plain; // saved before: the family still encrypts
    weComPlain.appId.clear();
    QTest::newRow("企业微信 in plain mode still needs its CorpID") << weComPlain << u"企业微信总是加密，需要 CorpID"_s;
    AccessSettings weComNoToken = weComSettings();
    weComNoToken.token.clear();
    QTest::newRow("企业微信 without a token") << weComNoToken << u"企业微信总是加密，需要 Token"_s;
    AccessSettings weComNoAgent = weComSettings();
    weComNoAgent.agentId.clear();
    QTest::newRow("企业微信 without an AgentID") << weComNoAgent << u"企业微信需要 AgentID"_s;
    AccessSettings weComBadAgent = weComSettings();
    weComBadAgent.agentId = u"10o2"_s;
    QTest::newRow("企业微信, a letter in the AgentID") << weComBadAgent << u"AgentID 只能是数字"_s;
    AccessSettings open = weComSettings();
    open.platform = Platform::OpenPlatform;
    open.aesKey.clear();
    QTest::newRow("第三方平台 without its key") << open << u"第三方平台总是加密，需要 EncodingAESKey"_s;
    AccessSettings mini = safeSettings();
    mini.platform = Platform::MiniProgram;
    mini.appId.clear();
    QTest::newRow("小程序 in safe mode: as the official account") << mini << u"安全模式需要 AppID"_s;
    QTest::newRow("微信支付, complete") << paySettings() << QString();
    AccessSettings pay = paySettings();
    pay.apiV3Key.chop(1);
    QTest::newRow("微信支付, a key one short") << pay << u"APIv3 密钥应为 32 个字母或数字，现在是 31 个字符"_s;
    pay.apiV3Key += u"-"_s;
    QTest::newRow("微信支付, a dash in the key") << pay << u"APIv3 密钥只能含英文字母和数字"_s;
    pay = paySettings();
    pay.mchId = u"19000 01"_s;
    QTest::newRow("微信支付, a blank in the merchant id") << pay << u"商户号只能是数字"_s;
}

void TestAccessSettings::familyProblems()
{
    QFETCH(AccessSettings, settings);
    QFETCH(QString, problem);
    AccessSettingsDialog dialog(settings);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *shown = dialog.findChild<QLabel *>(u"modeProblem"_s);
    QCOMPARE(shown->isVisible(), !problem.isEmpty());
    QVERIFY2(shown->text().startsWith(problem), qPrintable(shown->text()));
    QCOMPARE(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->isEnabled(), problem.isEmpty());
    dialog.accept();
    QCOMPARE(dialog.result(), problem.isEmpty() ? int(QDialog::Accepted) : int(QDialog::Rejected));
}

void TestAccessSettings::switchingFamilyLosesNothing()
{
    AccessSettings typed = safeSettings();
    typed.mode = MessageMode::Compatible;
    typed.agentId = u"1000002"_s;
    typed.mchId = u"1900000001"_s;
    typed.apiV3Key = u"testMchAPIv3Key0testMchAPIv3Key0"_s;
    typed.format = BodyFormat::Json;
    AccessSettingsDialog dialog(typed);
    for (Platform platform : {Platform::WeCom, Platform::Pay, Platform::OpenPlatform, Platform::MiniProgram,
                              Platform::OfficialAccount}) {
        choosePlatform(dialog, platform);
        AccessSettings expected = typed;
        expected.platform = platform;
        // The always-encrypted families post in safe mode; the choice comes back after them.
        if (platform == Platform::WeCom || platform == Platform::OpenPlatform)
            expected.mode = MessageMode::Safe;
        QVERIFY2(dialog.settings() == expected, qPrintable(platformName(platform)));
    }
}

QTEST_MAIN(TestAccessSettings)
#include "test_access_settings.moc"
