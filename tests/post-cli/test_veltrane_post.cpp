// veltrane-post run as a CI job runs it: a separate process, its exit status,
// standard output and standard error, against servers on loopback.
#include "program_run.h"
#include "recording_server.h"
#include "samples.h"
#include "scripted_server.h"
#include "xml_post.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryFile>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

// Where a row posts to; the test starts it.
enum class Peer { ClosedPort, SampleEndpoint, SilentServer, QuotingEchostr };

QString bodyFile(QTemporaryFile &file, const QByteArray &bytes)
{
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        qFatal("cannot write a temporary file");
    return file.fileName();
}

} // namespace

Q_DECLARE_METATYPE(Peer)

class TestVeltranePost : public QObject {
    Q_OBJECT
private slots:
    void endsWithItsStatusAndReason_data();
    void endsWithItsStatusAndReason();
    void sendsTheWindowsBytes();
    void printsTheDecryptedReplyInSafeMode();
    void sendsTheBodyFileByteForByte_data();
    void sendsTheBodyFileByteForByte();
    void repeatsAgainstTheSampleEndpoint();
    void repeatsAsDistinctPushes();
    void writesOneJsonLinePerExchange();
    void interruptedRunEndsCleanly();
    void libcryptoFailureFailsThePostOnly();
};

void TestVeltranePost::endsWithItsStatusAndReason_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::addColumn<QStringList>("arguments"); // after the URL
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason"); // how standard error starts, after "veltrane-post: "

    // Passing rows: how standard output starts instead.
    QTest::newRow("passes") << Peer::SampleEndpoint << QStringList{u"--token=T"_s} << 0 << u"<xml>"_s;
    QTest::newRow("URL check passes") << Peer::SampleEndpoint << QStringList{u"--check-url"_s, u"--token=T"_s} << 0
                                      << u"验证通过"_s;
    QTest::newRow("wrong token") << Peer::SampleEndpoint << QStringList{u"--token=X"_s} << 1 << u"判定未通过:"_s;
    QTest::newRow("URL check answered wrong") << Peer::QuotingEchostr << QStringList{u"--check-url"_s, u"--token=T"_s}
                                              << 1 << u"验证未通过"_s;
    QTest::newRow("refused") << Peer::ClosedPort << QStringList{} << 3 << u"发送失败(错误 1):无法连接到 127.0.0.1:"_s;
    QTest::newRow("URL check refused") << Peer::ClosedPort << QStringList{u"--check-url"_s, u"--token=T"_s} << 3
                                       << u"发送失败(错误 1):无法连接到 127.0.0.1:"_s;
    QTest::newRow("stalled") << Peer::SilentServer << QStringList{u"--timeout=1"_s} << 3 << u"发送失败(错误 3):"_s;
    QTest::newRow("usage") << Peer::ClosedPort << QStringList{u"--repeat=0"_s} << 2 << u"--repeat 须是"_s;
    QTest::newRow("usage quoting a CR") << Peer::ClosedPort << QStringList{u"--bo\rgus"_s} << 2 << u"未知的选项 --bo gus"_s;
    QTest::newRow("no such body file") << Peer::ClosedPort << QStringList{u"--body=/nonexistent/body.xml"_s} << 2
                                       << u"无法读取正文文件 \"/nonexistent/body.xml\""_s;
}

void TestVeltranePost::endsWithItsStatusAndReason()
{
    QFETCH(Peer, peer);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, reason);

    std::unique_ptr<SampleEndpointProcess> endpoint;
    std::unique_ptr<ScriptedServer> silent;
    std::unique_ptr<RecordingServer> recording;
    QString url;
    switch (peer) {
    case Peer::ClosedPort:
        url = u"http://127.0.0.1:%1/api/"_s.arg(closedPort());
        break;
    case Peer::SampleEndpoint:
        endpoint = std::make_unique<SampleEndpointProcess>(QStringList{u"--token"_s, u"T"_s});
        QVERIFY(endpoint->port() > 0);
        url = endpoint->url();
        break;
    case Peer::QuotingEchostr:
        recording = std::make_unique<RecordingServer>();
        recording->setAnswerer([](const RecordingServer::Request &request) {
            const QUrlQuery query(QUrl(QString::fromStdString(request.target)));
            return RecordingServer::Answer{200, "text/plain", '"' + query.queryItemValue(u"echostr"_s).toStdString() + '"'};
        });
        url = recording->url();
        break;
    case Peer::SilentServer:
        silent = std::make_unique<ScriptedServer>([](ScriptedServer::Connection &connection) {
            connection.readRequest();
            connection.holdUntilStopped();
        });
        url = silent->url();
        break;
    }

    const ProgramRun run = runPost(QStringList{url} + arguments);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, status);
    if (status == 0) {
        QCOMPARE(run.err, QString());
        QVERIFY2(QString::fromUtf8(run.out).startsWith(reason), run.out.constData());
    } else {
        QVERIFY2(run.err.startsWith(u"veltrane-post: "_s + reason), qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1); // one line
    }
}

void TestVeltranePost::sendsTheWindowsBytes()
{
    RecordingServer server;
    XmlPost(server.url(), BuildTextSample());
    const ProgramRun run = runPost({server.url(), u"--sample"_s, u"text"_s});
    QCOMPARE(run.exitCode, 0);

    const std::vector<RecordingServer::Request> requests = server.requests();
    QCOMPARE(requests.size(), 2u);
    const RecordingServer::Request &window = requests[0], &program = requests[1];
    QCOMPARE(program.method, window.method);
    QCOMPARE(program.target, window.target);
    QCOMPARE(program.body, window.body);
    // Apart from the port each connection came from, which cpp-httplib lists among the headers.
    const auto sent = [](httplib::Headers headers) {
        headers.erase("REMOTE_PORT");
        return headers;
    };
    QCOMPARE(sent(program.headers), sent(window.headers));
    QCOMPARE(program.headers.count("Content-Type"), 1u);
}

void TestVeltranePost::printsTheDecryptedReplyInSafeMode()
{
    const QString key = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
    SampleEndpointProcess endpoint({u"--token"_s, u"T"_s, u"--aes-key"_s, key, u"--appid"_s, u"wx1"_s});
    QVERIFY(endpoint.port() > 0);
    const ProgramRun run = runPost({endpoint.url(), u"--token=T"_s, u"--mode=safe"_s, u"--aes-key"_s, key, u"--appid=wx1"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString shown = QString::fromUtf8(run.out);
    QVERIFY2(shown.startsWith(u"<xml>"_s) && shown.contains(u"收到文本消息：this is a test"_s) && !shown.contains(u"Encrypt"_s),
             qPrintable(shown));
}

void TestVeltranePost::sendsTheBodyFileByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fromStandardInput");
    QTest::addColumn<int>("status");

    const QByteArray body = "\xEF\xBB\xBF<xml>\r\n<Content>中文\n\t</Content>\r\n</xml>\r\n";
    QTest::newRow("file") << body << false << 0;
    QTest::newRow("standard input") << body << true << 0;
    QTest::newRow("empty file") << QByteArray() << false << 0;
    QTest::newRow("GBK refused, nothing sent") << QByteArray("<xml>\xD6\xD0</xml>") << false << 2;
}

void TestVeltranePost::sendsTheBodyFileByteForByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fromStandardInput);
    QFETCH(int, status);
    RecordingServer server;
    QTemporaryFile file;
    const QString source = fromStandardInput ? u"-"_s : bodyFile(file, bytes);

    const ProgramRun run = runPost({server.url(), u"--body"_s, source}, fromStandardInput ? bytes : QByteArray());
    QCOMPARE(run.exitCode, status);
    if (status != 0) {
        QVERIFY2(run.err.contains(u"不是有效的 UTF-8"_s), qPrintable(run.err));
        QCOMPARE(server.requests().size(), 0u);
        return;
    }
    QCOMPARE(server.requests().size(), 1u);
    QCOMPARE(QByteArray::fromStdString(server.requests()[0].body), bytes);
}

void TestVeltranePost::repeatsAgainstTheSampleEndpoint()
{
    SampleEndpointProcess endpoint({u"--token"_s, u"T"_s});
    QVERIFY(endpoint.port() > 0);
    const ProgramRun run = runPost({endpoint.url(), u"--token=T"_s, u"--repeat=200"_s, u"--concurrency=16"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString summary = QString::fromUtf8(run.out);
    QVERIFY2(summary.startsWith(u"发送 200 次(并发 16):完成 200 次,发送失败 0 次\n"_s), qPrintable(summary));
    QVERIFY2(summary.contains(u"判定未通过:0 次"_s) && summary.contains(u"P99"_s), qPrintable(summary));
    QTRY_COMPARE_WITH_TIMEOUT(endpoint.requestsLogged(), 200, 30'000);
}

// Each post of a repeat is signed afresh and, for a sample with a MsgId, is a new message.
void TestVeltranePost::repeatsAsDistinctPushes()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain", "success"});
    const ProgramRun run = runPost({server.url(), u"--sample=image"_s, u"--token=T"_s, u"--repeat=3"_s, u"--concurrency=3"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    static const QRegularExpression msgId(u"<MsgId>(\\d+)</MsgId>"_s);
    QSet<QString> msgIds, nonces;
    for (const RecordingServer::Request &request : server.requests()) {
        msgIds << msgId.match(QString::fromStdString(request.body)).captured(1);
        nonces << QUrlQuery(QUrl(QString::fromStdString(request.target))).queryItemValue(u"nonce"_s);
    }
    QCOMPARE(server.requests().size(), 3u);
    QCOMPARE(msgIds.size(), 3);
    QVERIFY(!msgIds.contains(QString()));
    QCOMPARE(nonces.size(), 3);
    QVERIFY(!nonces.contains(QString()));
}

void TestVeltranePost::writesOneJsonLinePerExchange()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain; charset=utf-8", "success"});
    const ProgramRun run = runPost({server.url(), u"--json"_s, u"--repeat=3"_s, u"--concurrency=2"_s});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.startsWith(u"发送 3 次"_s), qPrintable(run.err)); // the summary moves aside

    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), 4); // three lines, each ending in a line feed
    QList<int> indexes;
    for (const QByteArray &line : lines.first(3)) {
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(line, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        indexes << json[u"index"].toInt();
        // The fields themselves: test_post_report.
        QCOMPARE(json[u"request"][u"body"].toString(), BuildTextSample());
        QCOMPARE(json[u"passed"].toBool(), true);
    }
    std::sort(indexes.begin(), indexes.end());
    QCOMPARE(indexes, (QList<int>{1, 2, 3}));
}

void TestVeltranePost::interruptedRunEndsCleanly()
{
    ScriptedServer silent([](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.holdUntilStopped();
    });
    QProcess process;
    process.start(QStringLiteral(VELTRANE_POST_PROGRAM),
                  {silent.url(), u"--repeat=4"_s, u"--concurrency=2"_s, u"--timeout=600"_s});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(silent.connections() >= 1, 30'000);
    process.terminate(); // SIGTERM, handled as Ctrl+C's SIGINT
    QVERIFY2(process.waitForFinished(30'000), "posts under way were not given up");
    QCOMPARE(process.exitCode(), 3);
    const QString summary = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(summary.contains(u"未发出(已中断)"_s), qPrintable(summary));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.startsWith(u"veltrane-post: 发送失败(错误 13):已中断"_s), qPrintable(err));
}

// A machine whose OpenSSL demands a provider it lacks: libcrypto refuses to
// sign, and the post fails with that said, instead of the program ending.
void TestVeltranePost::libcryptoFailureFailsThePostOnly()
{
    QTemporaryFile config;
    const QByteArray demandsFips = "openssl_conf = init\n[init]\nalg_section = algorithms\n"
                                   "[algorithms]\ndefault_properties = fips=yes\n";
    qputenv("OPENSSL_CONF", bodyFile(config, demandsFips).toLocal8Bit());
    const ProgramRun run = runPost({u"http://127.0.0.1:9/api/"_s, u"--token=T"_s});
    qunsetenv("OPENSSL_CONF");
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains(u"错误 18") && run.err.contains(u"libcrypto"), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestVeltranePost)
#include "test_veltrane_post.moc"
