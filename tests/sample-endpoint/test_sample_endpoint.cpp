#include "http/answer_opening.h"
#include "endpoint_server.h"
#include "crypto/message_crypto.h"
#include "http/post_failure.h"
#include "platform/samples.h"
#include "platform/signed_post.h"
#include "platform/url_check.h"
#include "http/xml_post.h"

#include <QDateTime>
#include <QMap>
#include <QTest>
#include <QXmlStreamReader>

#include <mutex>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

// The endpoint, in-process on a free loopback port, keeping the lines it logs.
class RunningEndpoint {
public:
    explicit RunningEndpoint(EndpointSettings settings = {})
    {
        ServeEndpoint(server_, std::move(settings), [this](const std::string &line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::yield();
    }
    ~RunningEndpoint()
    {
        server_.stop();
        thread_.join();
    }

    QString url() const { return u"http://127.0.0.1:%1/api/"_s.arg(port_); }
    httplib::Client client() const { return httplib::Client("127.0.0.1", port_); }
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
};

// XmlPost's answer, or its failure told as text, so the cases after it still run.
QString postedAnswer(const QString &url, const QString &body)
{
    try {
        return XmlPost(url, body);
    } catch (const PostFailure &failure) {
        return u"PostFailure: "_s + failure.description();
    }
}

// The children of the reply's <xml>; none if the reply is not such XML.
QMap<QString, QString> replyFields(const QString &reply)
{
    QXmlStreamReader reader(reply);
    QMap<QString, QString> fields;
    if (!reader.readNextStartElement() || reader.name() != u"xml")
        return {};
    while (reader.readNextStartElement())
        fields.insert(reader.name().toString(), reader.readElementText());
    while (!reader.atEnd())
        reader.readNext();
    return reader.hasError() ? QMap<QString, QString>() : fields;
}

const QString kAesKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

EndpointSettings encryptingSettings()
{
    return {"veltrane", decodeAesKey(kAesKey)->toStdString(), "wxveltrane"};
}

AccessSettings accessSettings(MessageMode mode)
{
    return {u"veltrane"_s, kAesKey, u"wxveltrane"_s, QString(), mode};
}

} // namespace

class TestSampleEndpoint : public QObject {
    Q_OBJECT
private slots:
    void repliesToEachPush_data();
    void repliesToEachPush();
    void refusesWhatIsNotAPush_data();
    void refusesWhatIsNotAPush();
    void checksTheSignature_data();
    void checksTheSignature();
    void logsOneLinePerRequest();
    void roundTripInEachMode_data();
    void roundTripInEachMode();
    void refusesAlteredEncryptedPush_data();
    void refusesAlteredEncryptedPush();
    void passesUrlCheck();
};

void TestSampleEndpoint::repliesToEachPush_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("content");
    QTest::newRow("picture sample") << BuildPictureSample() << u"收到图片消息：this is a url"_s;
    QTest::newRow("text sample") << BuildTextSample() << u"收到文本消息：this is a test"_s;
    QTest::newRow("location sample") << BuildLocationSample() << u"收到位置：23.134521, 113.358803（缩放 20）位置信息"_s;
    QTest::newRow("text holding ]]>") << BuildTextSample().replace(u"this is a test"_s, u"a]]]]><![CDATA[>b %1"_s)
                                      << u"收到文本消息：a]]>b %1"_s;
    QTest::newRow("other type") << BuildTextSample().replace(u"[text]"_s, u"[voice]"_s)
                                << u"收到 voice 类型的消息（本示例只解读文本、图片和位置消息）"_s;
}

void TestSampleEndpoint::repliesToEachPush()
{
    QFETCH(QString, body);
    QFETCH(QString, content);
    RunningEndpoint endpoint;
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const QString reply = postedAnswer(endpoint.url(), body);
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    QVERIFY2(reply.startsWith(u"<xml>\n<ToUserName>") && !reply.contains(u'\r'), qPrintable(reply));
    const QMap<QString, QString> fields = replyFields(reply);
    QCOMPARE(fields.value(u"ToUserName"_s), u"fromUser"_s);
    QCOMPARE(fields.value(u"FromUserName"_s), u"toUser"_s);
    QCOMPARE(fields.value(u"MsgType"_s), u"text"_s);
    QCOMPARE(fields.value(u"Content"_s), content);
    const qint64 createTime = fields.value(u"CreateTime"_s).toLongLong();
    QVERIFY2(before <= createTime && createTime <= after, qPrintable(reply));
}

void TestSampleEndpoint::refusesWhatIsNotAPush_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("reason");
    const QString notXml = u"正文不是格式正确的 XML"_s;
    QTest::newRow("empty") << QString() << notXml;
    QTest::newRow("unclosed element") << u"<xml><ToUserName>a</xml>"_s << notXml;
    QTest::newRow("more after </xml>") << BuildTextSample() + u"<xml/>"_s << notXml;
    QTest::newRow("root not xml") << u"<message><MsgType>text</MsgType></message>"_s << u"推送消息的根元素应为 <xml>"_s;
    QTest::newRow("no MsgType") << BuildTextSample().remove(u"<MsgType><![CDATA[text]]></MsgType>"_s)
                                << u"推送消息缺少 MsgType 字段"_s;
    QTest::newRow("blank ToUserName") << BuildTextSample().replace(u"[toUser]"_s, u"[ ]"_s)
                                      << u"推送消息缺少 ToUserName 字段"_s;
    QTest::newRow("text without Content") << BuildTextSample().remove(u"<Content><![CDATA[this is a test]]></Content>"_s)
                                          << u"文本消息缺少 Content 字段"_s;
    QTest::newRow("location without Scale") << BuildLocationSample().remove(u"<Scale>20</Scale>"_s)
                                            << u"位置消息缺少 Scale 字段"_s;
}

void TestSampleEndpoint::refusesWhatIsNotAPush()
{
    QFETCH(QString, body);
    QFETCH(QString, reason);
    RunningEndpoint endpoint;
    const auto result = endpoint.client().Post("/api/", body.toStdString(), "text/xml");
    QVERIFY(result);
    QCOMPARE(result->status, 400);
    QCOMPARE(result->get_header_value("Content-Type"), "text/plain; charset=utf-8");
    const QString line = QString::fromStdString(result->body);
    QVERIFY2(line.startsWith(reason) && line.indexOf(u'\n') == line.size() - 1, qPrintable(line));
    // Veltrane shows the answer whatever its status, so the developer reads this line.
    QCOMPARE(postedAnswer(endpoint.url(), body), line);
}

void TestSampleEndpoint::checksTheSignature_data()
{
    // SHA-1 of "1372623149" "1409304348" "veltrane", the three in byte order.
    const QByteArray hex = "3cf8d47c2fbfd7e36a964e3e06a3cf8b8d5c3e4d";
    const QByteArray tail = "&timestamp=1409304348&nonce=1372623149";
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<int>("status");
    QTest::newRow("right signature") << "veltrane"_ba << "GET"_ba << "signature=" + hex + tail + "&echostr=4y%2Bz" << 200;
    QTest::newRow("other token") << "another"_ba << "GET"_ba << "signature=" + hex + tail + "&echostr=e" << 403;
    QTest::newRow("uppercase hex") << "veltrane"_ba << "GET"_ba << "signature=" + hex.toUpper() + tail + "&echostr=e" << 403;
    QTest::newRow("no nonce") << "veltrane"_ba << "GET"_ba << "signature=x&timestamp=1409304348&echostr=e"_ba << 403;
    QTest::newRow("no token, no check") << QByteArray() << "GET"_ba << "signature=x&echostr=4y%2Bz"_ba << 200;
    QTest::newRow("signed post") << "veltrane"_ba << "POST"_ba << "signature=" + hex + tail << 200;
    QTest::newRow("unsigned post") << "veltrane"_ba << "POST"_ba << QByteArray() << 403;
}

void TestSampleEndpoint::checksTheSignature()
{
    QFETCH(QByteArray, token);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, query);
    QFETCH(int, status);
    EndpointSettings settings;
    if (!token.isEmpty())
        settings.token = token.toStdString();
    RunningEndpoint endpoint(settings);
    const std::string target = "/api/?" + query.toStdString();
    const auto result = method == "GET" ? endpoint.client().Get(target.c_str())
                                        : endpoint.client().Post(target.c_str(), BuildTextSample().toStdString(), "text/xml");
    QVERIFY(result);
    QCOMPARE(result->status, status);
    if (status == 403)
        QVERIFY2(result->body.starts_with("签名校验失败"), result->body.c_str());
    else if (method == "GET")
        QCOMPARE(result->body, "4y+z");
    else
        QCOMPARE(replyFields(QString::fromStdString(result->body)).value(u"MsgType"_s), u"text"_s);
}

void TestSampleEndpoint::logsOneLinePerRequest()
{
    RunningEndpoint endpoint;
    postedAnswer(endpoint.url(), BuildTextSample());
    // The server logs after it has answered, from the connection's thread: the
    // next request, on another connection, could otherwise be logged first.
    QTRY_COMPARE(endpoint.lines().size(), 1u);
    const auto missing = endpoint.client().Get("/other");
    QVERIFY(missing);
    QCOMPARE(missing->status, 404);
    QVERIFY2(missing->body.find('\n') == missing->body.size() - 1, missing->body.c_str());

    QTRY_COMPARE(endpoint.lines().size(), 2u);
    const std::string size = std::to_string(BuildTextSample().toUtf8().size());
    QCOMPARE(endpoint.lines()[0], "POST /api/ | Content-Type: text/XML, utf-8, application/x-www-form-urlencoded | "
                                      + size + " 字节 | 200");
    QCOMPARE(endpoint.lines()[1], "GET /other | Content-Type: (无) | 0 字节 | 404");
}

void TestSampleEndpoint::roundTripInEachMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("content");
    QTest::newRow("plain") << int(MessageMode::Plain) << BuildTextSample() << u"收到文本消息：this is a test"_s;
    QTest::newRow("compatible") << int(MessageMode::Compatible) << BuildTextSample() << u"收到文本消息：this is a test"_s;
    QTest::newRow("safe") << int(MessageMode::Safe) << BuildTextSample() << u"收到文本消息：this is a test"_s;
    QTest::newRow("safe, Chinese label") << int(MessageMode::Safe) << BuildLocationSample()
                                         << u"收到位置：23.134521, 113.358803（缩放 20）位置信息"_s;
}

void TestSampleEndpoint::roundTripInEachMode()
{
    QFETCH(int, mode);
    QFETCH(QString, body);
    QFETCH(QString, content);
    RunningEndpoint endpoint(encryptingSettings());
    const AccessSettings access = accessSettings(MessageMode(mode));
    const SignedPost post = signPost(endpoint.url(), body, access, freshSigningInputs());
    const QString answer = postedAnswer(post.url, post.body);

    const OpenedAnswer opened = openAnswer(answer, access);
    QCOMPARE(opened.encrypted, mode != int(MessageMode::Plain));
    QVERIFY2(!opened.problem, qPrintable(opened.problem.value_or(answer)));
    const QString reply = opened.encrypted ? opened.text.value_or(QString()) : answer;
    QCOMPARE(replyFields(reply).value(u"Content"_s), content);
}

void TestSampleEndpoint::refusesAlteredEncryptedPush_data()
{
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QString>("alteration"); // of the signed URL
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("keyed"); // the endpoint was started with the EncodingAESKey
    QTest::addColumn<QString>("said"); // a part of its answer
    QTest::newRow("sound") << u"wxveltrane"_s << QString() << 200 << true << u"<xml>"_s;
    QTest::newRow("msg_signature altered") << u"wxveltrane"_s << u"msg_signature="_s << 403 << true << u"msg_signature"_s;
    QTest::newRow("other AppID") << u"wxother"_s << QString() << 400 << true << u"wxother"_s;
    QTest::newRow("endpoint without a key") << u"wxveltrane"_s << QString() << 400 << false << u"没有给 --aes-key"_s;
}

void TestSampleEndpoint::refusesAlteredEncryptedPush()
{
    QFETCH(QString, appId);
    QFETCH(QString, alteration);
    QFETCH(int, status);
    QFETCH(bool, keyed);
    QFETCH(QString, said);
    EndpointSettings settings = encryptingSettings();
    if (!keyed)
        settings.aesKey.reset();
    RunningEndpoint endpoint(settings);
    AccessSettings access = accessSettings(MessageMode::Safe);
    access.appId = appId;
    SignedPost post = signPost(endpoint.url(), BuildTextSample(), access, freshSigningInputs());
    if (!alteration.isEmpty()) {
        const qsizetype at = post.url.indexOf(alteration) + alteration.size();
        post.url[at] = post.url[at] == u'0' ? u'1' : u'0';
    }
    const std::string target = post.url.mid(post.url.indexOf(u"/api/"_s)).toStdString();
    const auto result = endpoint.client().Post(target, post.body.toStdString(), "text/xml");
    QVERIFY(result);
    QCOMPARE(result->status, status);
    QVERIFY2(QString::fromStdString(result->body).contains(said), result->body.c_str());
}

void TestSampleEndpoint::passesUrlCheck()
{
    RunningEndpoint endpoint(encryptingSettings());
    const UrlCheckResult result = checkUrl(endpoint.url(), accessSettings(MessageMode::Safe));
    QVERIFY2(result.passed, qPrintable(result.explanation));
}

QTEST_MAIN(TestSampleEndpoint)
#include "test_sample_endpoint.moc"
