#include "platform/access_settings_check.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(AccessSettings)

class TestAccessSettingsCheck : public QObject {
    Q_OBJECT
private slots:
    void aesKey_data();
    void aesKey();
    void modeNeeds_data();
    void modeNeeds();
    void modeNames();
};

namespace {

// The platform's documented example key.
const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

} // namespace

void TestAccessSettingsCheck::aesKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("problem"); // empty: accepted; else a word the Chinese message holds
    QTest::newRow("the platform's example") << kKey << QString();
    QTest::newRow("with + and /") << u"+/cdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s << QString();
    QTest::newRow("with Z") << u"Zbcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s << QString();
    // 43 characters leave 2 bits over; the platform's keys set them freely.
    QTest::newRow("bits over in the last character") << u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFH"_s << QString();
    QTest::newRow("empty: no key") << QString() << QString();
    QTest::newRow("42 characters") << kKey.left(42) << u"43"_s;
    QTest::newRow("44 characters") << kKey + u'A' << u"43"_s;
    QTest::newRow("with its = already") << kKey + u'=' << u"43"_s;
    QTest::newRow("= inside") << u"abcdefghijklmnopqrstuvwxyz0123456789ABCDE=G"_s << u"字母"_s;
    QTest::newRow("URL alphabet") << u"abcdefghijklmnopqrstuvwxyz0123456789ABCDE-_"_s << u"字母"_s;
    QTest::newRow("a space inside") << u"abcdefghijklmnopqrstuvwxyz0123456789ABC EFG"_s << u"字母"_s;
    QTest::newRow("non-ASCII") << u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEF密"_s << u"字母"_s;
}

void TestAccessSettingsCheck::aesKey()
{
    QFETCH(QString, key);
    QFETCH(QString, problem);
    const auto found = aesKeyProblem(key);
    if (problem.isEmpty()) {
        QVERIFY2(!found, found ? qPrintable(found->chinese) : "");
        return;
    }
    QVERIFY(found);
    QCOMPARE(found->field, AccessSettingsProblem::AesKey);
    QVERIFY2(found->chinese.contains(problem), qPrintable(found->chinese));
    QVERIFY(!found->english.isEmpty());
}

void TestAccessSettingsCheck::modeNeeds_data()
{
    QTest::addColumn<AccessSettings>("settings");
    QTest::addColumn<int>("field"); // -1: usable
    const auto settings = [](QString token, QString key, QString appId, MessageMode mode) {
        return AccessSettings{token, key, appId, QString(), mode};
    };
    const auto compat = MessageMode::Compatible;
    const auto safe = MessageMode::Safe;
    QTest::newRow("nothing set") << AccessSettings{} << -1;
    QTest::newRow("plain, token only") << settings(u"t"_s, {}, {}, MessageMode::Plain) << -1;
    QTest::newRow("plain, bad key kept") << settings(u"t"_s, u"short"_s, {}, MessageMode::Plain)
                                         << int(AccessSettingsProblem::AesKey);
    QTest::newRow("compat, all three") << settings(u"t"_s, kKey, u"wx1"_s, compat) << -1;
    QTest::newRow("safe, all three") << settings(u"t"_s, kKey, u"wx1"_s, safe) << -1;
    QTest::newRow("safe, no token") << settings({}, kKey, u"wx1"_s, safe) << int(AccessSettingsProblem::Token);
    QTest::newRow("safe, no key") << settings(u"t"_s, {}, u"wx1"_s, safe) << int(AccessSettingsProblem::AesKey);
    QTest::newRow("compat, no AppID") << settings(u"t"_s, kKey, {}, compat) << int(AccessSettingsProblem::AppId);
    QTest::newRow("safe, bad key") << settings(u"t"_s, kKey.left(40), u"wx1"_s, safe)
                                   << int(AccessSettingsProblem::AesKey);
    // WeCom and the third-party platform encrypt whatever the mode says.
    const auto family = [](AccessSettings access, Platform platform) {
        access.platform = platform;
        return access;
    };
    QTest::newRow("WeCom, plain, no key") << family(settings(u"t"_s, {}, u"ww1"_s, MessageMode::Plain), Platform::WeCom)
                                          << int(AccessSettingsProblem::AesKey);
    QTest::newRow("third-party platform, no AppID")
        << family(settings(u"t"_s, kKey, {}, MessageMode::Plain), Platform::OpenPlatform) << int(AccessSettingsProblem::AppId);
    QTest::newRow("mini-program, plain, token only")
        << family(settings(u"t"_s, {}, {}, MessageMode::Plain), Platform::MiniProgram) << -1;
}

void TestAccessSettingsCheck::modeNeeds()
{
    QFETCH(AccessSettings, settings);
    QFETCH(int, field);
    const auto found = accessSettingsProblem(settings);
    if (field < 0) {
        QVERIFY2(!found, found ? qPrintable(found->chinese) : "");
        return;
    }
    QVERIFY(found);
    QCOMPARE(int(found->field), field);
}

void TestAccessSettingsCheck::modeNames()
{
    for (MessageMode mode : {MessageMode::Plain, MessageMode::Compatible, MessageMode::Safe})
        QCOMPARE(messageModeFromName(messageModeName(mode)), mode);
    QCOMPARE(messageModeFromName(u"Safe"_s), std::nullopt);
}

QTEST_GUILESS_MAIN(TestAccessSettingsCheck)
#include "test_access_settings_check.moc"
