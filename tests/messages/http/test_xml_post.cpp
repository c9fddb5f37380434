#include "http/exchange_wait.h"
#include "http/network_http_request.h"
#include "http/post_failure.h"
#include "recording_server.h"
#include "platform/samples.h"
#include "scripted_server.h"
#include "self_signed_certificate.h"
#include "http/xml_post.h"

#include <QScopeGuard>
#include <QTest>

#include <future>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Runs the post and hands back the failure it raised; fails the test if none.
PostFailure failureOf(const std::function<void()> &post)
{
    try {
        post();
    } catch (const PostFailure &failure) {
        return failure;
    }
    throw std::runtime_error("the post did not fail");
}

HttpRequestFactory withStallTimeout(std::chrono::milliseconds timeout)
{
    return [timeout] { return std::make_unique<NetworkHttpRequest>(timeout); };
}

ExchangeSettings settingsWith(std::chrono::milliseconds stallTimeout, qint64 answerLimit = qint64(256) << 20,
                              ExchangeWaiter *waiter = nullptr)
{
    ExchangeSettings settings;
    settings.stallTimeout = stallTimeout;
    settings.answerLimit = answerLimit;
    settings.waiter = waiter;
    return settings;
}

HttpRequestFactory withSettings(const ExchangeSettings &settings)
{
    return [settings] { return std::make_unique<NetworkHttpRequest>(settings); };
}

// The gzip form of the bytes, made by hand from qCompress's zlib stream.
QByteArray gzipOf(const QByteArray &data)
{
    const QByteArray zlib = qCompress(data, 9).mid(4); // after qCompress's own length
    QByteArray gzip("\x1f\x8b\x08\0\0\0\0\0\x02\x03", 10);
    gzip += zlib.mid(2, zlib.size() - 6); // the raw deflate stream, no zlib head or check
    quint32 crc = 0xFFFFFFFF;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    for (const quint32 word : {~crc, quint32(data.size())})
        for (int shift = 0; shift < 32; shift += 8)
            gzip += char(word >> shift);
    return gzip;
}

// Gives the post up once the condition holds, then waits for the worker.
class CancellingWaiter : public ExchangeWaiter {
public:
    explicit CancellingWaiter(std::function<bool()> condition) : condition_(std::move(condition)) {}
    void wait(ExchangeInProgress &exchange) override
    {
        while (!condition_() && !exchange.isFinished())
            std::this_thread::sleep_for(5ms);
        exchange.cancel();
        std::promise<void> finished;
        exchange.setWake([&finished] { finished.set_value(); });
        finished.get_future().wait();
    }

private:
    std::function<bool()> condition_;
};

// A request object the test controls: it records the calls and reports the
// state and answer it was given.
class FakeRequest : public HttpRequest {
public:
    FakeRequest(int readyState, std::vector<QString> &calls, int &alive, bool failOnSend = false)
        : readyState_(readyState), calls_(calls), alive_(alive), failOnSend_(failOnSend) { ++alive_; }
    ~FakeRequest() override { --alive_; }
    void Open(const QString &method, const QString &url, bool async) override
    {
        calls_.push_back(u"Open %1 %2 %3"_s.arg(method, url, async ? u"async"_s : u"sync"_s));
    }
    void SetRequestHeader(const QString &name, const QString &value) override
    {
        calls_.push_back(u"SetRequestHeader %1: %2"_s.arg(name, value));
    }
    void send(const QString &body) override
    {
        calls_.push_back(u"send "_s + body);
        if (failOnSend_)
            throw PostFailure(PostFailure::ConnectionRefused, u"refused"_s);
    }
    int readyState() const override { return readyState_; }
    QString ResponseText() const override { return u"the answer"_s; }

private:
    int readyState_;
    std::vector<QString> &calls_;
    int &alive_;
    bool failOnSend_;
};

} // namespace

class TestXmlPost : public QObject {
    Q_OBJECT
private slots:
    void whatArrivesOnTheWire_data();
    void whatArrivesOnTheWire();
    void pathAndQueryUnchanged();
    void answerBodyWhateverTheStatus_data();
    void answerBodyWhateverTheStatus();
    void answerDecoding_data();
    void answerDecoding();
    void compressedAnswer();
    void eachPostIsItsOwnExchange();
    void proxyFromTheEnvironment();

    void refusedConnection();
    void unknownHost();
    void onlyHttpAndHttps_data();
    void onlyHttpAndHttps();
    void acceptedButNeverAnswered();
    void closedInTheMiddleOfTheBody();
    void selfSignedCertificate();

    void trickleWithinTheStallLimit();
    void answerCapped_data();
    void answerCapped();
    void exceptionInTheBodyCallback_data();
    void exceptionInTheBodyCallback();
    void cancelEndsThePostAtOnce();
    void manyPostsAtOnce();
    void deadProxyNamed();
    void recordOfAnExchange();
    void recordOfAFailedExchange();

    void callsTheRequestObjectInOrder();
    void incompleteAnswerGivesEmptyText();
    void requestObjectReleasedOnFailure();
    void eachExchangeFromACleanHandle_data();
    void eachExchangeFromACleanHandle();
};

void TestXmlPost::whatArrivesOnTheWire_data()
{
    QTest::addColumn<QString>("body");
    QTest::newRow("picture sample") << BuildPictureSample();
    QTest::newRow("text sample") << BuildTextSample();
    QTest::newRow("location sample") << BuildLocationSample();
    QTest::newRow("the XML box's first text") << u"请载入本文\r\n"_s;
    QTest::newRow("empty body") << QString();
}

void TestXmlPost::whatArrivesOnTheWire()
{
    QFETCH(QString, body);
    RecordingServer server;
    XmlPost(server.url(), body);

    const auto requests = server.requests();
    QCOMPARE(requests.size(), 1u);
    const RecordingServer::Request &request = requests.front();
    QCOMPARE(request.method, "POST");
    QCOMPARE(request.target, "/api/");
    QCOMPARE(request.headers.count("Content-Type"), 1u);
    QCOMPARE(request.headers.find("Content-Type")->second, "text/XML, utf-8, application/x-www-form-urlencoded");
    QCOMPARE(request.headers.find("Content-Length")->second, std::to_string(body.toUtf8().size()));
    QCOMPARE(QByteArray::fromStdString(request.body), body.toUtf8());
}

void TestXmlPost::eachExchangeFromACleanHandle_data()
{
    QTest::addColumn<QString>("before");
    QTest::newRow("after a PUT") << u"PUT"_s;
    QTest::newRow("after a HEAD") << u"HEAD"_s;
}

// The exchange threads keep their libcurl handles: nothing of an earlier
// exchange's request may carry over into a post. Several rounds, so that the
// post meets a thread an earlier exchange has used.
void TestXmlPost::eachExchangeFromACleanHandle()
{
    QFETCH(QString, before);
    RecordingServer server;
    for (int round = 0; round < 10; ++round) {
        NetworkHttpRequest earlier;
        earlier.Open(before, server.url(), false);
        earlier.send(QString());
        XmlPost(server.url(), BuildTextSample());
    }
    const auto requests = server.requests();
    QCOMPARE(requests.size(), 20u);
    for (std::size_t i = 1; i < requests.size(); i += 2) {
        QCOMPARE(requests[i].method, "POST");
        QCOMPARE(QByteArray::fromStdString(requests[i].body), BuildTextSample().toUtf8());
    }
}

void TestXmlPost::pathAndQueryUnchanged()
{
    RecordingServer server;
    const QString target = u"/wx/api.php?signature=ab%2Fc&timestamp=1348831860&nonce=x"_s;
    XmlPost(server.url(target), BuildTextSample());
    QCOMPARE(QString::fromStdString(server.requests().front().target), target);
}

void TestXmlPost::answerBodyWhateverTheStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("200") << 200 << "<xml><Content><![CDATA[收到]]></Content></xml>"_ba;
    QTest::newRow("400") << 400 << "正文不是格式正确的 XML"_ba;
    QTest::newRow("401") << 401 << "sign check failed"_ba;
    QTest::newRow("404") << 404 << "no such endpoint"_ba;
    QTest::newRow("405") << 405 << "POST only"_ba;
    QTest::newRow("407") << 407 << "proxy says no"_ba;
    QTest::newRow("418") << 418 << "teapot"_ba;
    QTest::newRow("503") << 503 << "busy"_ba;
    QTest::newRow("500 with a body") << 500 << "Internal Server Error: token missing"_ba;
    QTest::newRow("empty answer") << 200 << QByteArray();
    QTest::newRow("empty 500") << 500 << QByteArray();
}

void TestXmlPost::answerBodyWhateverTheStatus()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    RecordingServer server;
    server.setAnswer({status, "text/plain; charset=utf-8", body.toStdString()});
    QCOMPARE(XmlPost(server.url(), BuildTextSample()), QString::fromUtf8(body));
}

void TestXmlPost::answerDecoding_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("GBK") << "text/xml; charset=GBK"_ba << "<a>\xC4\xE3\xBA\xC3</a>"_ba << u"<a>你好</a>"_s;
    QTest::newRow("Big5") << "text/plain; charset=big5"_ba << "\xA4\xA4\xA4\xE5"_ba << u"中文"_s;
    QTest::newRow("UTF-16 with mark") << "text/plain"_ba << "\xFF\xFE\x60\x4F\x7D\x59"_ba << u"你好"_s;
    QTest::newRow("XML declaring GB2312")
        << "text/xml"_ba << "<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xCE\xBB\xD6\xC3</a>"_ba
        << u"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>位置</a>"_s;
}

void TestXmlPost::answerDecoding()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    RecordingServer server;
    server.setAnswer({200, contentType.toStdString(), body.toStdString()});
    QCOMPARE(XmlPost(server.url(), BuildTextSample()), text);
}

void TestXmlPost::compressedAnswer()
{
    // "<xml>compressed</xml>", gzip-coded.
    const QByteArray gzip = QByteArray::fromHex("1f8b0800000000000203b3a9c8cdb14bcecf2d284a2d2e4e4db1d107f101fd1241ac15000000");
    ScriptedServer server([&gzip](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Encoding: gzip\r\nContent-Length: "
                         + std::to_string(gzip.size()) + "\r\n\r\n" + gzip.toStdString());
    });
    QCOMPARE(XmlPost(server.url(), BuildTextSample()), u"<xml>compressed</xml>"_s);
}

void TestXmlPost::eachPostIsItsOwnExchange()
{
    RecordingServer server;
    // A cookie the endpoint sets must not come back with the next post.
    server.setAnswer({200, "text/plain", "", {{"Set-Cookie", "session=1; Path=/"}}});
    XmlPost(server.url(), BuildTextSample());
    XmlPost(server.url(), BuildTextSample());
    const auto requests = server.requests();
    QCOMPARE(requests.size(), 2u);
    QVERIFY2(requests[0].remotePort != requests[1].remotePort, "the second post opened a connection of its own");
    QCOMPARE(requests[1].headers.count("Cookie"), 0u);
}

void TestXmlPost::proxyFromTheEnvironment()
{
    // A proxy on loopback: the post for another host goes to it, in full.
    RecordingServer proxy;
    proxy.setAnswer({200, "text/plain", "via the proxy"});
    const QByteArray saved = qgetenv("no_proxy"), savedUpper = qgetenv("NO_PROXY");
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
    qputenv("http_proxy", proxy.url(QString()).toUtf8());
    const auto restore = qScopeGuard([&] {
        qunsetenv("http_proxy");
        qputenv("no_proxy", saved);
        qputenv("NO_PROXY", savedUpper);
    });
    QCOMPARE(XmlPost(u"http://endpoint.invalid/api/?a=1"_s, BuildTextSample()), u"via the proxy"_s);
    QCOMPARE(proxy.requests().front().target, "http://endpoint.invalid/api/?a=1");

    // This machine's own addresses are reached directly, no_proxy or not.
    RecordingServer direct;
    XmlPost(direct.url(), BuildTextSample());
    QCOMPARE(direct.requests().size(), 1u);
    QCOMPARE(proxy.requests().size(), 1u);
}

void TestXmlPost::refusedConnection()
{
    const QString url = u"http://127.0.0.1:%1/api/"_s.arg(closedPort());
    const PostFailure failure = failureOf([&] { XmlPost(url, BuildTextSample()); });
    QCOMPARE(failure.number(), PostFailure::ConnectionRefused);
    QVERIFY2(failure.description().contains(u"127.0.0.1"), qPrintable(failure.description()));
    QVERIFY2(failure.description().contains(u"refused", Qt::CaseInsensitive), qPrintable(failure.description()));
}

void TestXmlPost::unknownHost()
{
    if (!qEnvironmentVariableIsSet("VELTRANE_ISOLATED_NETWORK"))
        QSKIP("a name lookup would leave this machine: run in a network namespace of its own");
    const PostFailure failure = failureOf([] { XmlPost(u"http://no-such-host.invalid/api/"_s, BuildTextSample()); });
    QCOMPARE(failure.number(), PostFailure::HostNotFound);
    QVERIFY2(failure.description().contains(u"no-such-host.invalid"), qPrintable(failure.description()));
}

void TestXmlPost::onlyHttpAndHttps_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("number");
    QTest::newRow("file") << u"file:///etc/passwd"_s << int(PostFailure::UnsupportedScheme);
    QTest::newRow("ftp") << u"ftp://127.0.0.1:%1/"_s << int(PostFailure::UnsupportedScheme);
    QTest::newRow("data") << u"data:text/plain,hello"_s << int(PostFailure::UnsupportedScheme);
    QTest::newRow("javascript") << u"javascript:alert(1)"_s << int(PostFailure::UnsupportedScheme);
    QTest::newRow("no scheme") << u"127.0.0.1:%1/api/"_s << int(PostFailure::UnsupportedScheme);
    QTest::newRow("no scheme at all") << u"abcde"_s << int(PostFailure::UnsupportedScheme);
    QTest::newRow("no host") << u"http:///api/"_s << int(PostFailure::InvalidUrl);
}

void TestXmlPost::onlyHttpAndHttps()
{
    QFETCH(QString, url);
    QFETCH(int, number);
    ScriptedServer server([](ScriptedServer::Connection &connection) { connection.readRequest(); });
    if (url.contains(u"%1"))
        url = url.arg(server.port());
    const PostFailure failure = failureOf([&] { XmlPost(url, BuildTextSample()); });
    QCOMPARE(failure.number(), number);
    QVERIFY2(failure.description().contains(url), qPrintable(failure.description()));
    QCOMPARE(server.connections(), 0);
}

void TestXmlPost::acceptedButNeverAnswered()
{
    ScriptedServer server([](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.holdUntilStopped();
    });
    const PostFailure failure = failureOf([&] {
        XmlPost(server.url(), BuildTextSample(), withStallTimeout(std::chrono::milliseconds(300)));
    });
    QCOMPARE(failure.number(), PostFailure::TimedOut);
    QVERIFY2(failure.description().contains(u"timed out"), qPrintable(failure.description()));
}

void TestXmlPost::closedInTheMiddleOfTheBody()
{
    ScriptedServer server([](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100\r\n\r\nonly ten b");
    });
    const PostFailure failure = failureOf([&] { XmlPost(server.url(), BuildTextSample()); });
    QCOMPARE(failure.number(), PostFailure::ConnectionClosed);
}

void TestXmlPost::selfSignedCertificate()
{
    SelfSignedCertificate certificate;
    RecordingServer server(std::make_unique<httplib::SSLServer>(certificate.certificate(), certificate.key()), "https");
    const PostFailure failure = failureOf([&] { XmlPost(server.url(), BuildTextSample()); });
    QCOMPARE(failure.number(), PostFailure::Certificate);
    QVERIFY2(failure.description().contains(u"证书"), qPrintable(failure.description()));
    QVERIFY2(failure.description().contains(u"self signed", Qt::CaseInsensitive)
                 || failure.description().contains(u"self-signed", Qt::CaseInsensitive),
             qPrintable(failure.description()));
    QVERIFY2(server.requests().empty(), "nothing was sent over the refused connection");
}

void TestXmlPost::trickleWithinTheStallLimit()
{
    // Longer in all than the stall limit, but never still for that long.
    ScriptedServer server([](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 6\r\n\r\n");
        for (const char c : std::string("trickl")) {
            std::this_thread::sleep_for(500ms);
            connection.write(std::string(1, c));
        }
    });
    QCOMPARE(XmlPost(server.url(), BuildTextSample(), withStallTimeout(1500ms)), u"trickl"_s);
}

void TestXmlPost::answerCapped_data()
{
    // Each body is far larger than the 1 MB limit once its coding is undone.
    using Script = std::function<void(ScriptedServer::Connection &)>;
    QTest::addColumn<Script>("script");
    const std::string chunk(64 << 10, 'x');
    QTest::newRow("endless plain body") << Script([chunk](ScriptedServer::Connection &connection) {
        connection.write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n");
        for (int i = 0; i < 1024; ++i) // 64 MB, or until the client is gone
            connection.write(chunk);
    });
    QTest::newRow("announced past the limit") << Script([chunk](ScriptedServer::Connection &connection) {
        connection.write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 1073741824\r\n\r\n");
        for (int i = 0; i < 1024; ++i)
            connection.write(chunk);
    });
    const std::string gzip = gzipOf(QByteArray(16 << 20, '\0')).toStdString();
    QTest::newRow("small gzip body inflating to 16 MB") << Script([gzip](ScriptedServer::Connection &connection) {
        connection.write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Encoding: gzip\r\nContent-Length: "
                         + std::to_string(gzip.size()) + "\r\n\r\n" + gzip);
    });
}

void TestXmlPost::answerCapped()
{
    QFETCH(std::function<void(ScriptedServer::Connection &)>, script);
    ScriptedServer server([&script](ScriptedServer::Connection &connection) {
        connection.readRequest();
        script(connection);
    });
    ExchangeRecord record;
    const PostFailure failure = failureOf([&] {
        XmlPost(server.url(), BuildTextSample(), withSettings(settingsWith(10s, 1 << 20)), &record);
    });
    QCOMPARE(failure.number(), PostFailure::AnswerTooLarge);
    QVERIFY2(failure.description().contains(u"1 MB"), qPrintable(failure.description()));
    QVERIFY(record.finalHop()->answerBody.size() <= 1 << 20);
}

void TestXmlPost::exceptionInTheBodyCallback_data()
{
    QTest::addColumn<bool>("outOfMemory");
    QTest::addColumn<QString>("mentioned");
    QTest::newRow("std::runtime_error") << false << u"piece refused"_s;
    QTest::newRow("std::bad_alloc") << true << u"内存不足"_s;
}

void TestXmlPost::exceptionInTheBodyCallback()
{
    QFETCH(bool, outOfMemory);
    QFETCH(QString, mentioned);
    RecordingServer server;
    server.setAnswer({200, "text/plain", std::string(100000, 'x')});
    ExchangeSettings settings;
    settings.onBodyPiece = [outOfMemory](QByteArrayView) {
        if (outOfMemory)
            throw std::bad_alloc();
        throw std::runtime_error("piece refused");
    };
    const PostFailure failure = failureOf([&] { XmlPost(server.url(), BuildTextSample(), withSettings(settings)); });
    QCOMPARE(failure.number(), PostFailure::Network);
    QVERIFY2(failure.description().contains(mentioned), qPrintable(failure.description()));
}

void TestXmlPost::cancelEndsThePostAtOnce()
{
    // Without the cancel, the post would end only at the stall limit, as TimedOut.
    ScriptedServer server([](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.holdUntilStopped();
    });
    CancellingWaiter waiter([&server] { return server.connections() > 0; });
    ExchangeRecord record;
    const PostFailure failure = failureOf([&] {
        XmlPost(server.url(), BuildTextSample(), withSettings(settingsWith(60s, qint64(256) << 20, &waiter)), &record);
    });
    QCOMPARE(failure.number(), PostFailure::Cancelled);
    QCOMPARE(failure.description(), u"发送已取消"_s);
    QVERIFY(record.cancelled);
}

void TestXmlPost::manyPostsAtOnce()
{
    // Each thread its own request object and no waiter, as the command-line twin posts.
    RecordingServer server;
    server.setAnswerer([](const RecordingServer::Request &request) {
        return RecordingServer::Answer{200, "text/plain", "echo " + request.body};
    });
    constexpr int kPosts = 32;
    std::vector<QString> answers(kPosts);
    std::vector<std::thread> threads;
    for (int i = 0; i < kPosts; ++i) {
        threads.emplace_back([&, i] {
            try {
                answers[i] = XmlPost(server.url(), QString::number(i));
            } catch (const PostFailure &failure) {
                answers[i] = failure.description();
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int i = 0; i < kPosts; ++i)
        QCOMPARE(answers[i], u"echo %1"_s.arg(i));
}

void TestXmlPost::deadProxyNamed()
{
    const QByteArray proxy = "http://127.0.0.1:" + QByteArray::number(closedPort());
    qputenv("http_proxy", proxy);
    const auto restore = qScopeGuard([] { qunsetenv("http_proxy"); });
    const PostFailure failure = failureOf([] { XmlPost(u"http://endpoint.invalid/api/"_s, BuildTextSample()); });
    QCOMPARE(failure.number(), PostFailure::Proxy);
    QVERIFY2(failure.description().contains(QString::fromLatin1(proxy.mid(7))), qPrintable(failure.description()));
}

void TestXmlPost::recordOfAnExchange()
{
    // A 307 followed, then a final answer after an interim 100 Continue: two hops.
    ScriptedServer server([](ScriptedServer::Connection &connection) {
        if (connection.readRequest().starts_with("POST /api/ "))
            connection.write("HTTP/1.1 307 Moved\r\nLocation: /final/\r\nContent-Length: 0\r\n\r\n");
        else
            connection.write("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=gbk\r\n"
                             "Content-Length: 11\r\n\r\n<a>\xC4\xE3\xBA\xC3</a>");
    });
    const QString body = BuildTextSample();
    ExchangeRecord record;
    const QDateTime before = QDateTime::currentDateTime();
    // Followed only where asked: the program's posts take the 307 for the answer.
    const auto following = [] {
        ExchangeSettings settings;
        settings.followRedirects = true;
        return std::make_unique<NetworkHttpRequest>(settings);
    };
    XmlPost(server.url(), body, following, &record);

    QVERIFY(record.started >= before.addMSecs(-1) && record.started <= QDateTime::currentDateTime());
    QCOMPARE(record.method, u"POST"_s);
    QCOMPARE(record.url, server.url());
    QCOMPARE(record.hops.size(), 2);
    for (const ExchangeHop &hop : record.hops) {
        QVERIFY2(hop.requestHead.startsWith("POST /") && hop.requestHead.endsWith("\r\n\r\n"), hop.requestHead);
        QVERIFY2(hop.requestHead.contains("\r\nContent-Type: text/XML, utf-8, application/x-www-form-urlencoded\r\n"),
                 hop.requestHead);
        QCOMPARE(hop.requestBody, body.toUtf8());
        QVERIFY(0 <= hop.connectedMs && hop.connectedMs <= hop.firstByteMs && hop.firstByteMs <= hop.wholeMs);
    }
    QVERIFY(record.hops[1].requestHead.startsWith("POST /final/ HTTP/1.1\r\n"));
    QCOMPARE(record.hops[0].status, 307);
    QCOMPARE(record.status(), 200);
    QCOMPARE(record.finalHop()->answerHead,
             "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=gbk\r\nContent-Length: 11\r\n\r\n"_ba);
    QCOMPARE(record.finalHop()->answerBody, "<a>\xC4\xE3\xBA\xC3</a>"_ba);
    QCOMPARE(record.contentType, "text/xml; charset=gbk"_ba);
    QCOMPARE(record.decodingUsed, u"GB18030"_s);
    QCOMPARE(record.answerText, u"<a>你好</a>"_s);
    QVERIFY(record.elapsedMs >= record.hops[0].wholeMs + record.hops[1].wholeMs);
    QVERIFY(!record.failure && !record.cancelled);
}

void TestXmlPost::recordOfAFailedExchange()
{
    ScriptedServer server([](ScriptedServer::Connection &connection) {
        connection.readRequest();
        connection.write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b");
    });
    ExchangeRecord record;
    const PostFailure failure = failureOf([&] { XmlPost(server.url(), BuildTextSample(), createHttpRequest, &record); });
    QVERIFY(record.failure);
    QCOMPARE(record.failure->number, failure.number());
    QCOMPARE(record.failure->description, failure.description());
    QCOMPARE(record.hops.size(), 1);
    QVERIFY(record.hops[0].requestHead.startsWith("POST /api/ HTTP/1.1\r\n"));
    QCOMPARE(record.hops[0].answerHead, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"_ba);
    QCOMPARE(record.hops[0].answerBody, "only ten b"_ba);
    QVERIFY(record.elapsedMs >= 0 && !record.cancelled);
}

void TestXmlPost::callsTheRequestObjectInOrder()
{
    std::vector<QString> calls;
    int alive = 0;
    const QString answer = XmlPost(u"http://endpoint/api/"_s, u"<xml/>"_s, [&] {
        return std::make_unique<FakeRequest>(HttpRequest::Done, calls, alive);
    });
    QCOMPARE(answer, u"the answer"_s);
    const std::vector<QString> expected = {
        u"Open Post http://endpoint/api/ sync"_s,
        u"SetRequestHeader Content-Type: text/XML"_s,
        u"SetRequestHeader Content-Type: utf-8"_s,
        u"SetRequestHeader Content-Type: application/x-www-form-urlencoded"_s,
        u"send <xml/>"_s,
    };
    QCOMPARE(calls, expected);
    QCOMPARE(alive, 0);
}

void TestXmlPost::incompleteAnswerGivesEmptyText()
{
    std::vector<QString> calls;
    int alive = 0;
    for (int state : {0, 1, 2, 3}) {
        const QString answer = XmlPost(u"http://endpoint/api/"_s, u"<xml/>"_s, [&] {
            return std::make_unique<FakeRequest>(state, calls, alive);
        });
        QCOMPARE(answer, QString());
    }
}

void TestXmlPost::requestObjectReleasedOnFailure()
{
    std::vector<QString> calls;
    int alive = 0;
    const PostFailure failure = failureOf([&] {
        XmlPost(u"http://endpoint/api/"_s, u"<xml/>"_s, [&] {
            return std::make_unique<FakeRequest>(HttpRequest::Done, calls, alive, true);
        });
    });
    QCOMPARE(failure.number(), PostFailure::ConnectionRefused);
    QCOMPARE(alive, 0);
}

QTEST_MAIN(TestXmlPost)
#include "test_xml_post.moc"
