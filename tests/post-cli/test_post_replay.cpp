// veltrane-post --replay: a HAR entry sent again, as recorded or signed afresh.
#include "program_run.h"
#include "recording_server.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace {

// As Chrome 120's developer tools save it: a page load, a push signed under
// "oldToken" and a form post; the push went to localhost:8080.
const QString kBrowserHar = QStringLiteral(POST_CLI_DATA "/chrome-devtools.har");
const QString kAesKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

QJsonObject browserPushRequest()
{
    QFile file(kBrowserHar);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll())[u"log"_s][u"entries"_s][1][u"request"_s].toObject();
}

} // namespace

class TestPostReplay : public QObject {
    Q_OBJECT
private slots:
    void asRecordedSendsTheRecordedBytes();
    void replaysAgainstTheSampleEndpoint_data();
    void replaysAgainstTheSampleEndpoint();
};

void TestPostReplay::asRecordedSendsTheRecordedBytes()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain; charset=utf-8", "success"});
    // Access settings given still sign nothing: they only open the answer.
    const ProgramRun run = runPost({u"--replay"_s, kBrowserHar, u"--entry"_s, u"1"_s, u"--token=rightToken"_s, server.url()});
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QCOMPARE(server.requests().size(), 1u);
    const RecordingServer::Request got = server.requests().front();
    // The old signature, byte for byte, at the given address.
    const QUrl recorded(browserPushRequest()[u"url"_s].toString());
    QCOMPARE(QString::fromStdString(got.target), u"/api/?"_s + recorded.query(QUrl::FullyEncoded));
    QCOMPARE(QByteArray::fromStdString(got.body), browserPushRequest()[u"postData"_s][u"text"_s].toString().toUtf8());
    QCOMPARE(run.out, QByteArray("success"));
    QCOMPARE(run.exitCode, 0);
}

void TestPostReplay::replaysAgainstTheSampleEndpoint_data()
{
    QTest::addColumn<QStringList>("endpointArguments");
    QTest::addColumn<QStringList>("recordArguments"); // empty: the browser's HAR; else a Veltrane run first, with --har
    QTest::addColumn<QStringList>("replayArguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // on standard output or error

    const QStringList right{u"--token"_s, u"rightToken"_s};
    const QStringList safe{u"--token"_s, u"rightToken"_s, u"--aes-key"_s, kAesKey, u"--appid"_s, u"wxReplay"_s};
    QTest::newRow("several POSTs: listed") << right << QStringList() << QStringList() << 2 << u"  2  "_s;
    QTest::newRow("as recorded: the old token's signature refused")
        << right << QStringList() << QStringList{u"--entry=1"_s} << 1 << u"签名"_s;
    QTest::newRow("resigned: accepted") << right << QStringList()
                                        << (QStringList{u"--entry=1"_s, u"--resign"_s} + right) << 0
                                        << u"收到文本消息：浏览器里抓到的推送"_s;
    QTest::newRow("entry past the last") << right << QStringList() << QStringList{u"--entry=3"_s} << 2
                                         << u"只有 2 个 POST"_s;
    QTest::newRow("safe mode, Veltrane's export, resigned")
        << safe << (safe + QStringList{u"--mode=safe"_s}) << (safe + QStringList{u"--mode=safe"_s, u"--resign"_s}) << 0
        << u"this is a test"_s;
    QTest::newRow("safe mode, resigned under another key")
        << safe << (safe + QStringList{u"--mode=safe"_s})
        << QStringList{u"--token=rightToken"_s, u"--aes-key=ZYXWVUTSRQPONMLKJIHGFEDCBA9876543210abcdefg"_s,
                       u"--appid=wxReplay"_s, u"--mode=safe"_s, u"--resign"_s}
        << 3 << u"无法用当前的 EncodingAESKey 解开"_s;
    QTest::newRow("not a HAR") << right << QStringList() << QStringList{u"--replay"_s, QStringLiteral(POST_CLI_DATA "/junit.xsd")}
                               << 2 << u"不是 HAR 文件"_s;
}

void TestPostReplay::replaysAgainstTheSampleEndpoint()
{
    QFETCH(QStringList, endpointArguments);
    QFETCH(QStringList, recordArguments);
    QFETCH(QStringList, replayArguments);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    SampleEndpointProcess endpoint(endpointArguments);
    QVERIFY(endpoint.port() > 0);
    QTemporaryDir dir;
    QString har = kBrowserHar;
    if (!recordArguments.isEmpty()) {
        har = dir.filePath(u"recorded.har"_s);
        const ProgramRun recorded = runPost(QStringList{endpoint.url(), u"--har"_s, har} + recordArguments);
        QVERIFY2(recorded.exitCode == 0, qPrintable(recorded.err));
    }
    const QStringList replay = replayArguments.contains(u"--replay"_s) ? replayArguments
                                                                        : QStringList{u"--replay"_s, har} + replayArguments;
    const ProgramRun run = runPost(replay + QStringList{endpoint.url()});
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QVERIFY2(QString::fromUtf8(run.out).contains(said) || run.err.contains(said),
             qPrintable(QString::fromUtf8(run.out) + run.err));
    QCOMPARE(run.exitCode, exitCode);
}

QTEST_GUILESS_MAIN(TestPostReplay)
#include "test_post_replay.moc"
