#include "network_http_request.h"
#include "post_failure.h"
#include "recording_server.h"
#include "samples.h"
#include "scripted_server.h"
#include "self_signed_certificate.h"
#include "xml_post.h"

#include <QScopeGuard>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

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

    void callsTheRequestObjectInOrder();
    void incompleteAnswerGivesEmptyText();
    void requestObjectReleasedOnFailure();
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
