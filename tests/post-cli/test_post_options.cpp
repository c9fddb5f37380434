#include "body_file.h"
#include "post_options.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestPostOptions : public QObject {
    Q_OBJECT
private slots:
    void refusesWhatCannotRun_data();
    void refusesWhatCannotRun();
    void readsWhatCanRun();
    void acceptsOnlyBytesThatSurviveTheWire_data();
    void acceptsOnlyBytesThatSurviveTheWire();
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

    // Help needs nothing else, not even a URL.
    const auto help = parsePostOptions({u"--help"_s});
    QVERIFY(std::holds_alternative<PostOptions>(help) && std::get<PostOptions>(help).help);
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

QTEST_GUILESS_MAIN(TestPostOptions)
#include "test_post_options.moc"
