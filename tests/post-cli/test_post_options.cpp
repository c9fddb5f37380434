#include "body_file.h"
#include "post_options.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestPostOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); } // never the user's samples
    void refusesWhatCannotRun_data();
    void refusesWhatCannotRun();
    void readsWhatCanRun();
    void fillsInAccessFromOutside_data();
    void fillsInAccessFromOutside();
    void acceptsOnlyBytesThatSurviveTheWire_data();
    void acceptsOnlyBytesThatSurviveTheWire();
    void findsUserSamples_data();
    void findsUserSamples();
};

void TestPostOptions::refusesWhatCannotRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason"); // a part of the one-line reason

    const QString url = u"http://127.0.0.1:1/api/"_s;
    QTest::newRow("no URL") << QStringList{u"--json"_s} << u"没有给出接收端地址"_s;
    QTest::newRow("two URLs") << QStringList{url, url} << u"只能给出一个地址"_s;
    QTest::newRow("unknown option") << QStringList{url, u"--bogus"_s} << u"未知的选项 --bogus"_s;
    QTest::newRow("value missing") << QStringList{url, u"--token"_s} << u"--token 缺少值"_s;
    QTest::newRow("switch with value") << QStringList{url, u"--json=1"_s} << u"--json 不带值"_s;
    QTest::newRow("option twice") << QStringList{url, u"-v"_s, u"-v"_s} << u"-v 给了两次"_s;
    QTest::newRow("unknown sample") << QStringList{url, u"--sample"_s, u"nope"_s} << u"没有名为 \"nope\" 的样例"_s;
    QTest::newRow("sample and body") << QStringList{url, u"--sample=text"_s, u"--body=-"_s} << u"只能选一个"_s;
    QTest::newRow("repeat 0") << QStringList{url, u"--repeat"_s, u"0"_s} << u"--repeat 须是 1 到 10000"_s;
    QTest::newRow("repeat over the bound") << QStringList{url, u"--repeat"_s, u"10001"_s} << u"--repeat 须是"_s;
    QTest::newRow("repeat not a number") << QStringList{url, u"--repeat"_s, u"5x"_s} << u"--repeat 须是"_s;
    QTest::newRow("concurrency over the bound")
        << QStringList{url, u"--repeat=2"_s, u"--concurrency=65"_s} << u"--concurrency 须是 1 到 64"_s;
    QTest::newRow("concurrency alone") << QStringList{url, u"--concurrency=2"_s} << u"需要同时给出 --repeat"_s;
    QTest::newRow("timeout 0") << QStringList{url, u"--timeout=0"_s} << u"--timeout 须是"_s;
    QTest::newRow("timeout nan") << QStringList{url, u"--timeout=nan"_s} << u"--timeout 须是"_s;
    QTest::newRow("timeout over a day") << QStringList{url, u"--timeout=86401"_s} << u"--timeout 须是"_s;
    QTest::newRow("mode unknown") << QStringList{url, u"--token=T"_s, u"--mode=aes"_s} << u"plain、compat 或 safe"_s;
    QTest::newRow("safe without token") << QStringList{url, u"--mode=safe"_s} << u"需要同时给出 --token"_s;
    QTest::newRow("key without token") << QStringList{url, u"--aes-key=abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s}
                                       << u"--aes-key 需要同时给出 --token"_s;
    QTest::newRow("safe without key") << QStringList{url, u"--token=T"_s, u"--mode=safe"_s} << u"需要 --aes-key"_s;
    QTest::newRow("key that does not decode")
        << QStringList{url, u"--token=T"_s, u"--mode=safe"_s, u"--aes-key=short"_s} << u"--aes-key 须是 43 个字符"_s;
    QTest::newRow("empty token") << QStringList{url, u"--token="_s} << u"--token 为空"_s;
    QTest::newRow("check without token") << QStringList{url, u"--check-url"_s} << u"--check-url 需要 --token"_s;
    QTest::newRow("check with repeat")
        << QStringList{url, u"--check-url"_s, u"--token=T"_s, u"--repeat=2"_s} << u"不能与 --repeat 同用"_s;
    QTest::newRow("max-time 0") << QStringList{url, u"--max-time=0"_s} << u"--max-time 须是"_s;
    QTest::newRow("cacert missing") << QStringList{url, u"--cacert=/nonexistent/ca.pem"_s} << u"不存在或不可读"_s;
    QTest::newRow("samples-dir missing") << QStringList{url, u"--samples-dir=/nonexistent"_s} << u"不存在"_s;
    QTest::newRow("cacert a folder") << QStringList{url, u"--cacert=/"_s} << u"不存在或不可读"_s;
    // Options that do not fit the family chosen.
    const QStringList weCom{url, u"--platform=wecom"_s, u"--token=T"_s, u"--aes-key=abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s};
    QTest::newRow("payments not here") << QStringList{url, u"--platform=pay"_s} << u"只能是 oa、miniprogram、wecom 或 open"_s;
    QTest::newRow("format for the official account") << QStringList{url, u"--format=json"_s}
                                                     << u"--format 只用于 --platform miniprogram"_s;
    QTest::newRow("format unknown") << QStringList{url, u"--platform=miniprogram"_s, u"--format=yaml"_s}
                                    << u"只能是 xml 或 json"_s;
    QTest::newRow("corpid for the mini-program") << QStringList{url, u"--platform=miniprogram"_s, u"--corpid=ww1"_s}
                                                 << u"--corpid 只用于 --platform wecom"_s;
    QTest::newRow("agentid not a number") << weCom + QStringList{u"--corpid=ww1"_s, u"--agentid=1a"_s} << u"--agentid 须是数字"_s;
    QTest::newRow("WeCom without CorpID") << weCom << u"需要 --token、--aes-key 和 --corpid"_s;
    QTest::newRow("WeCom with an AppID") << weCom + QStringList{u"--appid=wx1"_s} << u"用 --corpid"_s;
    QTest::newRow("WeCom in plain mode") << weCom + QStringList{u"--corpid=ww1"_s, u"--mode=plain"_s}
                                         << u"--mode 只能是 safe 或不给"_s;
    QTest::newRow("WeCom, the official account's sample") << weCom + QStringList{u"--corpid=ww1"_s, u"--sample=subscribe"_s}
                                                           << u"企业微信没有名为 \"subscribe\" 的样例"_s;
    QTest::newRow("third-party platform has no URL check")
        << QStringList{url, u"--platform=open"_s, u"--token=T"_s, u"--aes-key=abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s,
                       u"--appid=wx1"_s, u"--check-url"_s}
        << u"第三方平台没有 URL 验证"_s;
    QTest::newRow("every with repeat") << QStringList{url, u"--every=1"_s, u"--repeat=2"_s} << u"--every 不能与 --repeat 同用"_s;
    QTest::newRow("every 0") << QStringList{url, u"--every=0"_s} << u"--every 须是"_s;
    QTest::newRow("junit without conformance") << QStringList{url, u"--junit=r.xml"_s} << u"需要同时给出 --conformance"_s;
    QTest::newRow("conformance without token") << QStringList{url, u"--conformance"_s} << u"--conformance 需要 --token"_s;
    QTest::newRow("conformance with sample")
        << QStringList{url, u"--conformance"_s, u"--token=T"_s, u"--sample=text"_s} << u"不能与 --sample 同用"_s;
    QTest::newRow("rate without repeat") << QStringList{url, u"--rate=10"_s} << u"--rate 需要同时给出 --repeat"_s;
    QTest::newRow("rate over the bound") << QStringList{url, u"--repeat=5"_s, u"--rate=201"_s} << u"--rate 须是 0.1 到 200"_s;
    QTest::newRow("rate with concurrency")
        << QStringList{url, u"--repeat=5"_s, u"--rate=10"_s, u"--concurrency=2"_s} << u"不能与 --concurrency 同用"_s;
    QTest::newRow("deliver with repeat") << QStringList{url, u"--deliver"_s, u"--repeat=2"_s} << u"不能与 --repeat 同用"_s;
    QTest::newRow("entry without replay") << QStringList{url, u"--entry=1"_s} << u"--entry 需要同时给出 --replay"_s;
    QTest::newRow("entry 0") << QStringList{u"--replay=a.har"_s, u"--entry=0"_s} << u"--entry 须是从 1 起"_s;
    QTest::newRow("replay with a sample") << QStringList{u"--replay=a.har"_s, u"--sample=text"_s} << u"--replay 不能与 --sample"_s;
    QTest::newRow("resign without token") << QStringList{u"--replay=a.har"_s, u"--resign"_s} << u"--resign 需要 --token"_s;
}

void TestPostOptions::refusesWhatCannotRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const auto parsed = parsePostOptions(arguments);
    const auto *error = std::get_if<UsageError>(&parsed);
    QVERIFY2(error, qPrintable(arguments.join(u' ')));
    QVERIFY2(error->reason.contains(reason), qPrintable(error->reason));
    QVERIFY(!error->reason.contains(u'\n'));
}

void TestPostOptions::readsWhatCanRun()
{
    const auto parsed = parsePostOptions({u"--token"_s, u"T"_s, u"--mode=safe"_s, u"--aes-key"_s,
                                          u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s, u"--appid=wx1"_s,
                                          u"--openid=o1"_s, u"--repeat=10000"_s, u"--concurrency"_s, u"64"_s,
                                          u"--timeout=2.5"_s, u"--json"_s, u"-v"_s, u"--sample"_s, u"location"_s,
                                          u"--"_s, u"http://h/api/?a=1"_s});
    if (const auto *error = std::get_if<UsageError>(&parsed))
        QFAIL(qPrintable(error->reason));
    const PostOptions *options = &std::get<PostOptions>(parsed);
    QCOMPARE(options->url, u"http://h/api/?a=1"_s);
    QCOMPARE(options->access.token, u"T"_s);
    QCOMPARE(options->access.mode, MessageMode::Safe);
    QCOMPARE(options->access.appId, u"wx1"_s);
    QCOMPARE(options->access.openId, u"o1"_s);
    // The bounds themselves are allowed.
    QCOMPARE(options->repeat, 10000);
    QCOMPARE(options->concurrency, 64);
    QCOMPARE(options->stallTimeout, std::chrono::milliseconds(2500));
    QVERIFY(options->json && options->verbose && !options->checkUrl);
    QCOMPARE(options->sample, u"location"_s);

    // The URL check takes the mode, as the window's does in safe mode.
    const auto check = parsePostOptions({u"http://h/"_s, u"--check-url"_s, u"--token=T"_s, u"--mode=safe"_s,
                                         u"--aes-key=abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s, u"--max-time=3"_s});
    if (const auto *error = std::get_if<UsageError>(&check))
        QFAIL(qPrintable(error->reason));
    QVERIFY(std::get<PostOptions>(check).checkUrl);
    QCOMPARE(std::get<PostOptions>(check).maxTime, std::chrono::milliseconds(3000));

    // A family's options and its own sample names.
    const auto weCom = parsePostOptions({u"http://h/"_s, u"--platform"_s, u"wecom"_s, u"--token=T"_s, u"--corpid=ww1"_s,
                                         u"--aes-key=abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s, u"--agentid=218"_s,
                                         u"--sample=enter_agent"_s, u"--every=600"_s});
    if (const auto *error = std::get_if<UsageError>(&weCom))
        QFAIL(qPrintable(error->reason));
    const AccessSettings &weComAccess = std::get<PostOptions>(weCom).access;
    QCOMPARE(weComAccess.platform, Platform::WeCom);
    QCOMPARE(weComAccess.appId, u"ww1"_s);
    QCOMPARE(weComAccess.agentId, u"218"_s);
    QCOMPARE(std::get<PostOptions>(weCom).every, std::chrono::milliseconds(600'000));
    const auto mini = parsePostOptions({u"http://h/"_s, u"--platform=miniprogram"_s, u"--format=json"_s,
                                        u"--sample=user_enter_tempsession"_s});
    QVERIFY(std::holds_alternative<PostOptions>(mini));
    QCOMPARE(std::get<PostOptions>(mini).access.format, BodyFormat::Json);

    // Help needs nothing else, not even a URL.
    const auto help = parsePostOptions({u"--help"_s});
    QVERIFY(std::holds_alternative<PostOptions>(help) && std::get<PostOptions>(help).help);
}

// Options win over the environment, which wins over what the window saved
// (read only with --saved-settings). "expected" is token|key|appid|mode, or
// the start of the reason it is refused.
void TestPostOptions::fillsInAccessFromOutside_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the URL
    QTest::addColumn<QStringList>("environment"); // NAME=value
    QTest::addColumn<QString>("expected");
    const QString key = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
    QTest::newRow("environment") << QStringList{} << QStringList{u"VELTRANE_TOKEN=et"_s, u"VELTRANE_AES_KEY="_s + key,
                                                                 u"VELTRANE_APPID=ea"_s}
                                 << u"et|%1|ea|0"_s.arg(key);
    QTest::newRow("option wins") << QStringList{u"--token=ot"_s} << QStringList{u"VELTRANE_TOKEN=et"_s} << u"ot|||0"_s;
    QTest::newRow("saved, not asked for") << QStringList{} << QStringList{} << u"|||0"_s;
    QTest::newRow("saved") << QStringList{u"--saved-settings"_s} << QStringList{} << u"st|%1|sa|2"_s.arg(key);
    QTest::newRow("saved under the environment and options")
        << QStringList{u"--saved-settings"_s, u"--mode=compat"_s, u"--appid=oa"_s} << QStringList{u"VELTRANE_TOKEN=et"_s}
        << u"et|%1|oa|1"_s.arg(key);
    QTest::newRow("key in the environment that does not decode") << QStringList{u"--token=T"_s}
                                                                 << QStringList{u"VELTRANE_AES_KEY=short"_s}
                                                                 << u"refused: VELTRANE_AES_KEY 中的 EncodingAESKey"_s;
}

void TestPostOptions::fillsInAccessFromOutside()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(QString, expected);
    SettingSources sources;
    sources.environment = [&environment](const char *name) {
        for (const QString &pair : environment) {
            if (pair.section(u'=', 0, 0) == QLatin1StringView(name))
                return pair.section(u'=', 1);
        }
        return QString();
    };
    sources.saved = []() -> std::optional<AccessSettings> {
        return AccessSettings{u"st"_s, u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s, u"sa"_s, {}, MessageMode::Safe};
    };
    sources.savedFile = u"/home/u/.config/Veltrane/veltrane.conf"_s;

    const auto parsed = parsePostOptions(QStringList{u"http://h/"_s} + arguments, sources);
    if (const auto *error = std::get_if<UsageError>(&parsed)) {
        QVERIFY2(expected.startsWith(u"refused: "_s) && error->reason.startsWith(expected.mid(9)), qPrintable(error->reason));
        return;
    }
    const AccessSettings &access = std::get<PostOptions>(parsed).access;
    QCOMPARE(u"%1|%2|%3|%4"_s.arg(access.token, access.aesKey, access.appId).arg(int(access.mode)), expected);
}

void TestPostOptions::acceptsOnlyBytesThatSurviveTheWire_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("refusedAt"); // 0: accepted; else the byte named in the reason, from 1

    QTest::newRow("CR LF and Chinese") << QByteArray("<xml>\r\n<a>中文</a>\r\n</xml>") << 0;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF<xml/>") << 0;
    QTest::newRow("NUL byte") << QByteArray("a\0b", 3) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("GBK") << QByteArray("<a>\xD6\xD0</a>") << 4;
    QTest::newRow("cut off UTF-8") << QByteArray("ab\xE4\xB8") << 3;
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << 1;
}

void TestPostOptions::acceptsOnlyBytesThatSurviveTheWire()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, refusedAt);
    const auto body = bodyFromBytes(bytes);
    const auto *error = std::get_if<BodyFileError>(&body);
    if (refusedAt == 0) {
        if (error)
            QFAIL(qPrintable(error->reason));
        QCOMPARE(std::get<QString>(body).toUtf8(), bytes);
    } else {
        QVERIFY(error);
        QVERIFY2(error->reason.contains(u"从第 %1 个字节起"_s.arg(refusedAt)), qPrintable(error->reason));
    }
}


// A user sample is found in the folder --samples-dir names, and only there.
void TestPostOptions::findsUserSamples_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("pointed"); // --samples-dir names the folder that holds "mine"
    QTest::addColumn<bool>("accepted");
    QTest::newRow("user's, folder given") << u"mine"_s << true << true;
    QTest::newRow("user's, default folder") << u"mine"_s << false << false;
    QTest::newRow("built-in, folder given") << u"location"_s << true << true;
}

void TestPostOptions::findsUserSamples()
{
    QFETCH(QString, name);
    QFETCH(bool, pointed);
    QFETCH(bool, accepted);
    QTemporaryDir folder;
    QFile sample(folder.filePath(u"mine.xml"_s));
    QVERIFY(sample.open(QIODevice::WriteOnly) && sample.write("<xml/>") == 6);
    sample.close();
    QStringList arguments{u"http://127.0.0.1:1/"_s, u"--sample"_s, name};
    if (pointed)
        arguments << u"--samples-dir"_s << folder.path();
    const auto parsed = parsePostOptions(arguments);
    QCOMPARE(std::holds_alternative<PostOptions>(parsed), accepted);
    if (accepted)
        QCOMPARE(std::get<PostOptions>(parsed).sample, name);
}
QTEST_GUILESS_MAIN(TestPostOptions)
#include "test_post_options.moc"
