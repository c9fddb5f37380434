// veltrane-post run as a CI job runs it: a separate process, its exit status,
// standard output and standard error, against servers on loopback.
#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "program_run.h"
#include "recording_server.h"
#include "platform/samples.h"
#include "scripted_server.h"
#include "self_signed_certificate.h"
#include "http/xml_post.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

// Where a row posts to; the test starts it.
enum class Peer { ClosedPort, SampleEndpoint, SilentServer, QuotingEchostr, Redirecting, Trickling, BadHost };

const QString kAesKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

// The environment of this test less anything that would choose settings or authorities for the program.
QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"VELTRANE_TOKEN", "VELTRANE_AES_KEY", "VELTRANE_APPID", "CURL_CA_BUNDLE", "SSL_CERT_FILE"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

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
    void setsFieldsBeforeSigning();
    void sendsTheBodyFileByteForByte_data();
    void sendsTheBodyFileByteForByte();
    void repeatsAgainstTheSampleEndpoint();
    void repeatsAsDistinctPushes();
    void writesOneJsonLinePerExchange();
    void interruptedRunEndsCleanly();
    void postsAsTheFamily_data();
    void postsAsTheFamily();
    void postsEveryPeriodUntilInterrupted();
    void opensWeComsEncryptedReply();
    void keepsPostingEveryPeriodAfterAFailure();
    void libcryptoFailureFailsThePostOnly();
    void tellsWhyAnAnswerIsNotOpened();
    void takesAccessFromOutside_data();
    void takesAccessFromOutside();
    void trustsTheGivenAuthorities_data();
    void trustsTheGivenAuthorities();
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
    QTest::newRow("URL check in safe mode") << Peer::SampleEndpoint
                                            << QStringList{u"--check-url"_s, u"--token=T"_s, u"--mode=safe"_s,
                                                           u"--aes-key"_s, kAesKey}
                                            << 0 << u"验证通过"_s;
    QTest::newRow("wrong token") << Peer::SampleEndpoint << QStringList{u"--token=X"_s} << 1
                                 << u"判定未通过：HTTP 状态 403，不是 200，答复为“签名校验失败"_s;
    QTest::newRow("redirect not followed") << Peer::Redirecting << QStringList{} << 1
                                           << u"判定未通过：HTTP 状态 302，是重定向（Location：“/moved/”）"_s;
    QTest::newRow("URL check redirected") << Peer::Redirecting << QStringList{u"--check-url"_s, u"--token=T"_s} << 1
                                          << u"验证未通过：接收端回复了 HTTP 302 重定向（Location：“/moved/”）"_s;
    QTest::newRow("trickling past --max-time") << Peer::Trickling << QStringList{u"--timeout=1"_s, u"--max-time=1"_s}
                                               << 3 << u"发送失败(错误 17):与 127.0.0.1:"_s;
    QTest::newRow("host name with a space") << Peer::BadHost << QStringList{} << 3
                                            << u"发送失败(错误 10):地址 \"http://exa mple.com/api/\" 无效：主机名无效"_s;
    QTest::newRow("URL check answered wrong") << Peer::QuotingEchostr << QStringList{u"--check-url"_s, u"--token=T"_s}
                                              << 1 << u"验证未通过"_s;
    QTest::newRow("refused") << Peer::ClosedPort << QStringList{} << 3 << u"发送失败(错误 1):无法连接到 127.0.0.1:"_s;
    QTest::newRow("URL check refused") << Peer::ClosedPort << QStringList{u"--check-url"_s, u"--token=T"_s} << 3
                                       << u"发送失败(错误 1):无法连接到 127.0.0.1:"_s;
    QTest::newRow("stalled") << Peer::SilentServer << QStringList{u"--timeout=1"_s} << 3 << u"发送失败(错误 3):"_s;
    QTest::newRow("usage") << Peer::ClosedPort << QStringList{u"--repeat=0"_s} << 2 << u"--repeat 须是"_s;
    QTest::newRow("usage quoting a CR") << Peer::ClosedPort << QStringList{u"--bo\rgus"_s} << 2 << u"未知的选项 --bo gus"_s;
    QTest::newRow("no such body file") << Peer::ClosedPort << QStringList{u"--body=/nonexistent/body.xml"_s} << 2
                                       << u"无法读取正文文件 \"/nonexistent/body.xml\"：文件不存在"_s;
    QTest::newRow("body file a folder") << Peer::ClosedPort << QStringList{u"--body=/"_s} << 2
                                        << u"无法读取正文文件 \"/\"：这是一个文件夹，不是文件"_s;
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
    case Peer::Redirecting:
        recording = std::make_unique<RecordingServer>();
        recording->setAnswer({302, "text/plain", "", {{"Location", "/moved/"}}});
        url = recording->url();
        break;
    case Peer::Trickling:
        // 6 bytes every 100 ms: never still long enough for the stall limit.
        silent = std::make_unique<ScriptedServer>([](ScriptedServer::Connection &connection) {
            connection.readRequest();
            connection.write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
            connection.trickleUntilStopped("succes", std::chrono::milliseconds(100));
        });
        url = silent->url();
        break;
    case Peer::BadHost:
        url = u"http://exa mple.com/api/"_s;
        break;
    case Peer::SilentServer:
        silent = std::make_unique<ScriptedServer>([](ScriptedServer::Connection &connection) {
            connection.readRequest();
            connection.holdUntilStopped();
        });
        url = silent->url();
        break;
    }

    const ProgramRun run = runPost(QStringList{url} + arguments, {}, cleanEnvironment());
    QVERIFY(!run.crashed);
    QVERIFY2(run.exitCode == status, qPrintable(run.err));
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

// --set changes the push before it is sealed: the endpoint opens and reads
// the new text; a --set that does not fit sends nothing.
void TestVeltranePost::setsFieldsBeforeSigning()
{
    const QString key = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
    SampleEndpointProcess endpoint({u"--token"_s, u"T"_s, u"--aes-key"_s, key, u"--appid"_s, u"wx1"_s});
    QVERIFY(endpoint.port() > 0);
    const QStringList access{u"--token=T"_s, u"--mode=safe"_s, u"--aes-key"_s, key, u"--appid=wx1"_s};
    const ProgramRun run = runPost(QStringList{endpoint.url(), u"--sample=text"_s, u"--set"_s, u"Content=退订"_s,
                                               u"--set=FromUserName=o6_bmjrPTlm6_2sgVt7hMZOPfL2M"_s} + access);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(QString::fromUtf8(run.out).contains(u"收到文本消息：退订]]>"_s), run.out.constData());

    RecordingServer server;
    const ProgramRun misfit = runPost({server.url(), u"--sample=text"_s, u"--set"_s, u"MsgId=not a number"_s,
                                       u"--set"_s, u"Nested.Field=1"_s});
    QCOMPARE(misfit.exitCode, 2);
    QVERIFY2(misfit.err.contains(u"没有元素 <Nested>"_s), qPrintable(misfit.err));
    QVERIFY(server.requests().empty());
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
    // Sixteen connections at once fit in the endpoint's backlog (ss tells it
    // as the listening socket's Send-Q): a connection dropped waits 1 s or more.
    QProcess ss;
    ss.start(u"ss"_s, {u"-Hltn"_s, u"sport = :%1"_s.arg(endpoint.port())});
    QVERIFY(ss.waitForFinished());
    const QStringList listening = QString::fromUtf8(ss.readAllStandardOutput()).simplified().split(u' ');
    QVERIFY2(listening.size() > 2 && listening[2].toInt() >= 16, qPrintable(listening.join(u' ')));
    const ProgramRun run = runPost({endpoint.url(), u"--token=T"_s, u"--repeat=200"_s, u"--concurrency=16"_s});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString summary = QString::fromUtf8(run.out);
    QVERIFY2(summary.startsWith(u"发送 200 次（并发 16）：完成 200 次，发送失败 0 次\n"_s), qPrintable(summary));
    QVERIFY2(summary.contains(u"判定未通过：0 次"_s) && summary.contains(u"P99"_s), qPrintable(summary));
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
    QVERIFY2(summary.contains(u"未发出（已中断）"_s), qPrintable(summary));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.startsWith(u"veltrane-post: 发送失败(错误 13):已中断"_s), qPrintable(err));
}

// --platform carries through to the wire: the query's names in order and
// the envelope the family's endpoint reads.
void TestVeltranePost::postsAsTheFamily_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("body"); // a pattern the body matches
    const QStringList sealed{u"--token=T"_s, u"--aes-key"_s, kAesKey};
    QTest::newRow("WeCom") << sealed + QStringList{u"--platform=wecom"_s, u"--corpid=ww1"_s, u"--agentid=218"_s}
                           << u"msg_signature,timestamp,nonce"_s
                           << u"^<xml><ToUserName><!\\[CDATA\\[ww1\\]\\]></ToUserName><AgentID><!\\[CDATA\\[218\\]\\]></AgentID><Encrypt>"_s;
    QTest::newRow("mini-program JSON, safe")
        << sealed + QStringList{u"--platform=miniprogram"_s, u"--format=json"_s, u"--mode=safe"_s, u"--appid=wx1"_s}
        << u"signature,timestamp,nonce,openid,encrypt_type,msg_signature"_s
        << u"^\\{\"ToUserName\":\"toUser\",\"Encrypt\":\"[A-Za-z0-9+/=]+\"\\}$"_s;
    QTest::newRow("third-party platform") << sealed + QStringList{u"--platform=open"_s, u"--appid=wxc"_s}
                                          << u"signature,timestamp,nonce,encrypt_type,msg_signature"_s
                                          << u"^<xml><AppId><!\\[CDATA\\[wxc\\]\\]></AppId><Encrypt>"_s;
}

void TestVeltranePost::postsAsTheFamily()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, names);
    QFETCH(QString, body);
    RecordingServer server;
    server.setAnswer({200, "text/plain", "success"});
    const ProgramRun run = runPost(QStringList{server.url()} + arguments, {}, cleanEnvironment());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(server.requests().size(), 1u);
    const RecordingServer::Request request = server.requests().front();
    QStringList found;
    for (const auto &item : QUrlQuery(QUrl(QString::fromStdString(request.target))).queryItems())
        found << item.first;
    QCOMPARE(found.join(u','), names);
    const QString sent = QString::fromStdString(request.body);
    QVERIFY2(QRegularExpression(body).match(sent).hasMatch(), qPrintable(sent));
}

// The third-party platform's ticket every period: each post a fresh one,
// until Ctrl+C, which ends the run as planned.
void TestVeltranePost::postsEveryPeriodUntilInterrupted()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain", "success"});
    QProcess process;
    process.setProcessEnvironment(cleanEnvironment());
    process.start(QStringLiteral(VELTRANE_POST_PROGRAM),
                  {server.url(), u"--platform=open"_s, u"--token=T"_s, u"--aes-key"_s, kAesKey, u"--appid=wxc"_s,
                   u"--sample=component_verify_ticket"_s, u"--every=0.05"_s});
    QVERIFY(process.waitForStarted());
    // The fourth post has begun only after the third's answer was printed;
    // interrupted, an exchange still under way prints nothing.
    QTRY_VERIFY_WITH_TIMEOUT(server.requests().size() >= 4, 30'000);
    process.terminate(); // SIGTERM, handled as Ctrl+C's SIGINT
    QVERIFY2(process.waitForFinished(30'000), "the wait between posts was not given up");
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(process.exitCode() == 0, qPrintable(err));
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    QVERIFY(lines.size() >= 4);
    QCOMPARE(lines.first(3), (QList<QByteArray>{"success", "success", "success"}));

    static const QRegularExpression encryptElement(u"<Encrypt><!\\[CDATA\\[([^\\]]+)"_s);
    QSet<QString> tickets;
    const QByteArray key = *decodeAesKey(kAesKey);
    for (const RecordingServer::Request &request : server.requests()) {
        const QString encrypt = encryptElement.match(QString::fromStdString(request.body)).captured(1);
        const auto opened = decryptMessage(key, encrypt);
        QVERIFY(std::holds_alternative<DecryptedMessage>(opened));
        const QString push = QString::fromUtf8(std::get<DecryptedMessage>(opened).message);
        QVERIFY2(push.contains(u"<InfoType><![CDATA[component_verify_ticket]]></InfoType>"_s), qPrintable(push));
        tickets << push.section(u"<ComponentVerifyTicket>"_s, 1).section(u"</ComponentVerifyTicket>"_s, 0, 0);
    }
    QCOMPARE(tickets.size(), int(server.requests().size()));
}

// A refused post is told as it happens and the run goes on; the end's status says a post failed.
void TestVeltranePost::keepsPostingEveryPeriodAfterAFailure()
{
    QProcess process;
    process.setProcessEnvironment(cleanEnvironment());
    process.start(QStringLiteral(VELTRANE_POST_PROGRAM),
                  {u"http://127.0.0.1:%1/api/"_s.arg(closedPort()), u"--every=0.05"_s});
    QVERIFY(process.waitForStarted());
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(process.readAllStandardError())).count(u"发送失败(错误"_s) >= 2, 30'000);
    process.terminate();
    QVERIFY(process.waitForFinished(30'000));
    QCOMPARE(process.exitCode(), 3);
}

// A WeCom endpoint's passive reply, encrypted for the CorpID and signed: printed opened, and it passes.
void TestVeltranePost::opensWeComsEncryptedReply()
{
    const QByteArray reply = "<xml><ToUserName><![CDATA[fromUser]]></ToUserName><FromUserName><![CDATA[ww1]]></FromUserName>"
                             "<CreateTime>1700000000</CreateTime><MsgType><![CDATA[text]]></MsgType>"
                             "<Content><![CDATA[你好]]></Content></xml>";
    const QString encrypt = encryptMessage(*decodeAesKey(kAesKey), "0123456789abcdef", reply, "ww1");
    const QString signature = platformSignature({u"T"_s, u"1700000000"_s, u"42"_s, encrypt});
    RecordingServer server;
    server.setAnswer({200, "text/xml", u"<xml><Encrypt><![CDATA[%1]]></Encrypt><MsgSignature><![CDATA[%2]]></MsgSignature>"
                                      "<TimeStamp>1700000000</TimeStamp><Nonce><![CDATA[42]]></Nonce></xml>"_s
                                           .arg(encrypt, signature).toStdString()});
    const ProgramRun run = runPost({server.url(), u"--platform=wecom"_s, u"--token=T"_s, u"--aes-key"_s, kAesKey,
                                    u"--corpid=ww1"_s, u"--agentid=1"_s, u"--sample=text"_s},
                                   {}, cleanEnvironment());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, reply);
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

// An encrypted answer whose AppID is another's: decrypted, judged once per
// check, printed as it came (as the result window shows it), and why on standard error.
void TestVeltranePost::tellsWhyAnAnswerIsNotOpened()
{
    const QByteArray reply = "<xml><ToUserName>fromUser</ToUserName><FromUserName>toUser</FromUserName>"
                             "<CreateTime>1</CreateTime><MsgType>text</MsgType><Content>hi</Content></xml>";
    const QString encrypt = encryptMessage(*decodeAesKey(kAesKey), QByteArray(16, 'r'), reply, "wxother");
    const QString envelope = u"<xml><Encrypt>%1</Encrypt><MsgSignature>%2</MsgSignature><TimeStamp>1</TimeStamp>"
                             "<Nonce>n</Nonce></xml>"_s.arg(encrypt, platformSignature({u"T"_s, u"1"_s, u"n"_s, encrypt}));
    RecordingServer server;
    server.setAnswer({200, "text/xml; charset=utf-8", envelope.toStdString()});
    const QStringList arguments{server.url(), u"--token=T"_s, u"--mode=safe"_s, u"--aes-key"_s, kAesKey, u"--appid=wx1"_s};

    const ProgramRun run = runPost(arguments, {}, cleanEnvironment());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.out), envelope);
    QVERIFY2(run.err.startsWith(u"veltrane-post: 答复未通过检查"_s) && run.err.contains(u"“wxother”"_s), qPrintable(run.err));
    QCOMPARE(run.err.count(u'\n'), 1);

    const ProgramRun json = runPost(arguments + QStringList{u"--json"_s}, {}, cleanEnvironment());
    QStringList failed, all;
    for (const QJsonValue line : QJsonDocument::fromJson(json.out).object()[u"verdict"].toArray()) {
        all << line[u"text"].toString();
        if (line[u"outcome"].toString() == u"fail")
            failed << line[u"text"].toString();
    }
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed[0].startsWith(u"AppID"_s), qPrintable(failed[0]));
    // Decrypted, its content is judged too.
    QVERIFY2(all.join(u'\n').contains(u"MsgType 为 text"_s), qPrintable(all.join(u'\n')));
}

// Each way of giving the Token but the option, against an endpoint that wants "T".
void TestVeltranePost::takesAccessFromOutside_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("environmentToken");
    QTest::addColumn<QString>("savedToken");
    QTest::addColumn<int>("status");
    QTest::newRow("environment") << QStringList{} << u"T"_s << QString() << 0;
    QTest::newRow("saved") << QStringList{u"--saved-settings"_s} << QString() << u"T"_s << 0;
    QTest::newRow("saved, not asked for") << QStringList{} << QString() << u"T"_s << 2;
    QTest::newRow("nothing saved") << QStringList{u"--saved-settings"_s, u"--token=T"_s} << QString() << QString() << 2;
    QTest::newRow("option over environment") << QStringList{u"--token=X"_s} << u"T"_s << QString() << 1;
    QTest::newRow("environment over saved") << QStringList{u"--saved-settings"_s} << u"X"_s << u"T"_s << 1;
}

void TestVeltranePost::takesAccessFromOutside()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, environmentToken);
    QFETCH(QString, savedToken);
    QFETCH(int, status);
    SampleEndpointProcess endpoint({u"--token"_s, u"T"_s});
    QVERIFY(endpoint.port() > 0);
    QTemporaryDir config;
    QProcessEnvironment environment = cleanEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s, config.path());
    if (!environmentToken.isEmpty())
        environment.insert(u"VELTRANE_TOKEN"_s, environmentToken);
    if (!savedToken.isEmpty()) {
        // As the window writes it.
        QVERIFY(QDir(config.path()).mkpath(u"Veltrane"_s));
        QFile saved(config.filePath(u"Veltrane/veltrane.conf"_s));
        QVERIFY(saved.open(QIODevice::WriteOnly));
        saved.write("[access]\ntoken=" + savedToken.toUtf8() + "\nmode=plain\n");
    }
    const ProgramRun run = runPost(QStringList{endpoint.url(), u"--check-url"_s} + arguments, {}, environment);
    QVERIFY2(run.exitCode == status, qPrintable(run.err + QString::fromUtf8(run.out)));
}

// A local HTTPS endpoint with a certificate of its own: trusted only when told.
void TestVeltranePost::trustsTheGivenAuthorities_data()
{
    QTest::addColumn<QString>("option");   // CERT: the endpoint's certificate, OTHER: another, SAVED: the window's
    QTest::addColumn<QString>("variable"); // NAME=CERT or NAME=OTHER
    QTest::addColumn<int>("status");
    QTest::newRow("not told") << QString() << QString() << 3;
    QTest::newRow("--cacert") << u"CERT"_s << QString() << 0;
    QTest::newRow("saved in the window") << u"SAVED"_s << QString() << 0;
    QTest::newRow("CURL_CA_BUNDLE") << QString() << u"CURL_CA_BUNDLE=CERT"_s << 0;
    QTest::newRow("SSL_CERT_FILE") << QString() << u"SSL_CERT_FILE=CERT"_s << 0;
    QTest::newRow("--cacert wins") << u"OTHER"_s << u"SSL_CERT_FILE=CERT"_s << 3;
    QTest::newRow("CURL_CA_BUNDLE before SSL_CERT_FILE") << QString() << u"CURL_CA_BUNDLE=OTHER"_s << 3;
}

void TestVeltranePost::trustsTheGivenAuthorities()
{
    QFETCH(QString, option);
    QFETCH(QString, variable);
    QFETCH(int, status);
    SelfSignedCertificate certificate, other;
    RecordingServer server(std::make_unique<httplib::SSLServer>(certificate.certificate(), certificate.key()), "https");
    server.setAnswer({200, "text/plain", "success"});
    QTemporaryFile certificateFile, otherFile;
    const QHash<QString, QString> files{{u"CERT"_s, bodyFile(certificateFile, certificate.pem())},
                                        {u"OTHER"_s, bodyFile(otherFile, other.pem())}};
    QProcessEnvironment environment = cleanEnvironment();
    if (!variable.isEmpty()) {
        environment.insert(variable.section(u'=', 0, 0), files[variable.section(u'=', 1)]);
        if (variable.section(u'=', 1) == u"OTHER")
            environment.insert(u"SSL_CERT_FILE"_s, files[u"CERT"_s]);
    }
    QStringList arguments{server.url()};
    QTemporaryDir config;
    if (option == u"SAVED") {
        QVERIFY(QDir(config.path()).mkpath(u"Veltrane"_s));
        QSettings(config.path() + u"/Veltrane/veltrane.conf"_s, QSettings::IniFormat)
            .setValue("access/caFile", files[u"CERT"_s]);
        environment.insert(u"XDG_CONFIG_HOME"_s, config.path());
        arguments << u"--saved-settings"_s;
    } else if (!option.isEmpty()) {
        arguments << u"--cacert"_s << files[option];
    }

    const ProgramRun run = runPost(arguments, {}, environment);
    QVERIFY2(run.exitCode == status, qPrintable(run.err));
    if (status == 3)
        QVERIFY2(run.err.contains(u"(错误 4)"_s), qPrintable(run.err));
    QCOMPARE(server.requests().size(), size_t(status == 0));
}

QTEST_GUILESS_MAIN(TestVeltranePost)
#include "test_veltrane_post.moc"
