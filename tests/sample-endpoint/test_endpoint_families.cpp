#include "command_line.h"
#include "crypto/message_crypto.h"
#include "endpoint_server.h"
#include "family_requests.h"

#include <QTest>

#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray receiveIdOf(Platform platform)
{
    switch (platform) {
    case Platform::WeCom:
        return kCorpId;
    case Platform::OpenPlatform:
        return kComponentAppId;
    default:
        return kMiniAppId;
    }
}

class RunningEndpoint {
public:
    explicit RunningEndpoint(EndpointSettings settings)
    {
        ServeEndpoint(server_, std::move(settings), [](const std::string &) {});
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
    httplib::Client client() const { return httplib::Client("127.0.0.1", port_); }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
};

} // namespace

class TestEndpointFamilies : public QObject {
    Q_OBJECT
private slots:
    void answersAsTheFamily_data();
    void answersAsTheFamily();
    void readsTheCommandLine_data();
    void readsTheCommandLine();
};

void TestEndpointFamilies::answersAsTheFamily_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("format"); // of the endpoint: -1 either
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answer"); // all it says when 200, a part of the reason otherwise

    const int mini = int(Platform::MiniProgram);
    const auto both = Signature | MsgSignature | EncryptType;
    const QString miniText = seal(kTextXml, kMiniAppId);
    const QString miniJson = seal(kTextJson, kMiniAppId);
    QTest::newRow("mini: URL check") << mini << -1 << "GET"_ba << signedQuery(Signature) + "&echostr=42%2B1" << QByteArray() << 200
                                     << u"42+1"_s;
    QTest::newRow("mini: plain XML") << mini << -1 << "POST"_ba << signedQuery(Signature) << kTextXml << 200
                                     << u"xml:收到文本消息：hi"_s;
    QTest::newRow("mini: plain JSON") << mini << -1 << "POST"_ba << signedQuery(Signature) << kTextJson << 200
                                      << u"json:收到文本消息：hi"_s;
    QTest::newRow("mini: safe XML") << mini << 0 << "POST"_ba << signedQuery(both, miniText) << xmlEnvelope(miniText)
                                    << 200 << u"enc xml:xml:收到文本消息：hi"_s;
    QTest::newRow("mini: safe JSON") << mini << 1 << "POST"_ba << signedQuery(both, miniJson) << jsonEnvelope(miniJson)
                                     << 200 << u"enc json:json:收到文本消息：hi"_s;
    QTest::newRow("mini: JSON, msg_signature forged")
        << mini << -1 << "POST"_ba << signedQuery(both | ForgeMsgSignature, miniJson) << jsonEnvelope(miniJson) << 403
        << u"msg_signature 与"_s;
    const QString otherApp = seal(kTextJson, "wxother");
    QTest::newRow("mini: JSON, other AppID") << mini << -1 << "POST"_ba << signedQuery(both, otherApp)
                                             << jsonEnvelope(otherApp) << 400 << u"AppID 为 wxother"_s;
    QTest::newRow("mini: JSON to an XML endpoint") << mini << 0 << "POST"_ba << signedQuery(Signature) << kTextJson
                                                   << 400 << u"数据格式为 XML，收到的推送是 JSON"_s;
    QTest::newRow("mini: JSON without Content") << mini << -1 << "POST"_ba << signedQuery(Signature)
                                                << QByteArray(kTextJson).replace(R"("Content":"hi",)", "") << 400
                                                << u"文本消息缺少 Content"_s;

    const int wecom = int(Platform::WeCom);
    QTest::newRow("wecom: URL check") << wecom << -1 << "GET"_ba << kKnownWeComCheck << QByteArray() << 200
                                      << QString::fromLatin1(kKnownWeComEcho);
    QTest::newRow("wecom: URL check, forged") << wecom << -1 << "GET"_ba << QByteArray(kKnownWeComCheck).replace("b309", "b308")
                                              << QByteArray() << 403 << u"msg_signature 与"_s;
    const QString echo = seal("2024", kCorpId);
    QTest::newRow("wecom: URL check signed by signature")
        << wecom << -1 << "GET"_ba << signedQuery(Signature, echo) + param("echostr", echo) << QByteArray() << 403
        << u"缺少 msg_signature（企业微信只用 msg_signature 签名，不用 signature）"_s;
    const QString suiteEcho = seal("2024", "wwsuite");
    QTest::newRow("wecom: URL check, a SuiteID for the CorpID")
        << wecom << -1 << "GET"_ba << signedQuery(MsgSignature, suiteEcho) + param("echostr", suiteEcho) << QByteArray()
        << 400 << u"CorpID 为 wwsuite"_s;
    const QString knownPush = seal(kWeComText, kCorpId);
    QTest::newRow("wecom: documented push")
        << wecom << -1 << "POST"_ba
        << kKnownWeComPushQuery
        << xmlEnvelope(knownPush, "<ToUserName><![CDATA[wx5823bf96d3bd56c7]]></ToUserName><AgentID>218</AgentID>")
        << 200 << u"enc xml:xml:收到文本消息：hello"_s;
    QTest::newRow("wecom: plain push") << wecom << -1 << "POST"_ba << signedQuery(MsgSignature) << kTextXml << 400
                                       << u"没有 Encrypt"_s;

    const int open = int(Platform::OpenPlatform);
    const QString ticket = seal(kTicket, kComponentAppId);
    QTest::newRow("open: ticket") << open << -1 << "POST"_ba << signedQuery(both, ticket) << openEnvelope(ticket) << 200
                                  << u"success"_s;
    QTest::newRow("open: signature forged") << open << -1 << "POST"_ba << signedQuery(both | ForgeSignature, ticket)
                                            << openEnvelope(ticket) << 403 << u"signature 与"_s;
    QTest::newRow("open: msg_signature alone") << open << -1 << "POST"_ba << signedQuery(MsgSignature | EncryptType, ticket)
                                               << openEnvelope(ticket) << 403 << u"缺少 signature"_s;
    QTest::newRow("open: msg_signature forged") << open << -1 << "POST"_ba << signedQuery(both | ForgeMsgSignature, ticket)
                                                << openEnvelope(ticket) << 403 << u"msg_signature 与"_s;
    const QString authorizer = seal(kTicket, "wxauthorizer");
    QTest::newRow("open: the authorizer's AppID") << open << -1 << "POST"_ba << signedQuery(both, authorizer)
                                                  << openEnvelope(authorizer) << 400 << u"AppID 为 wxauthorizer"_s;
    QTest::newRow("open: no encrypt_type") << open << -1 << "POST"_ba << signedQuery(Signature | MsgSignature, ticket)
                                           << openEnvelope(ticket) << 400 << u"encrypt_type=aes"_s;
    QTest::newRow("open: no AppId") << open << -1 << "POST"_ba << signedQuery(both, ticket) << xmlEnvelope(ticket) << 400
                                    << u"没有 AppId"_s;
    const QString notEvent = seal(kTextXml, kComponentAppId);
    QTest::newRow("open: not an event") << open << -1 << "POST"_ba << signedQuery(both, notEvent)
                                        << openEnvelope(notEvent) << 400 << u"InfoType"_s;
    QTest::newRow("open: URL check") << open << -1 << "GET"_ba << signedQuery(Signature) + "&echostr=1" << QByteArray()
                                     << 405 << u"没有 URL 校验"_s;
}

void TestEndpointFamilies::answersAsTheFamily()
{
    QFETCH(int, family);
    const auto platform = Platform(family);
    QFETCH(int, format);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, answer);
    QVERIFY2(decodeAesKey(kFamilyAesKey), "the key with non-zero trailing bits is refused");
    EndpointSettings settings{kFamilyToken.toStdString(), familyAesKey().toStdString(), receiveIdOf(platform).toStdString(), platform};
    if (format >= 0)
        settings.format = BodyFormat(format);
    RunningEndpoint endpoint(settings);
    const std::string target = "/api/?" + query.toStdString();
    const auto result = method == "GET" ? endpoint.client().Get(target)
                                        : endpoint.client().Post(target, body.toStdString(), "text/plain");
    QVERIFY(result);
    const QByteArray received = QByteArray::fromStdString(result->body);
    QVERIFY2(result->status == status, received.constData());
    if (status == 200)
        QCOMPARE(said(received, receiveIdOf(platform)), answer);
    else
        QVERIFY2(QString::fromUtf8(received).contains(answer), received.constData());
}

void TestEndpointFamilies::readsTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // a part of it; empty: accepted
    const QStringList keyed = {u"--token"_s, kFamilyToken, u"--aes-key"_s, kFamilyAesKey};
    QTest::newRow("wecom") << QStringList{u"--platform=wecom"_s, u"--corpid"_s, u"wx5823bf96d3bd56c7"_s} + keyed
                           << QString();
    QTest::newRow("wecom with --appid") << QStringList{u"--platform=wecom"_s, u"--appid"_s, u"wx1"_s} + keyed
                                        << u"用 --corpid"_s;
    QTest::newRow("wecom without a key") << QStringList{u"--platform=wecom"_s, u"--corpid=wx1"_s, u"--token=t"_s}
                                         << u"总是加密"_s;
    QTest::newRow("open without a key") << QStringList{u"--platform=open"_s} << u"总是加密"_s;
    QTest::newRow("--corpid for a mini-program") << QStringList{u"--platform=miniprogram"_s, u"--corpid=wx1"_s} + keyed
                                                 << u"--corpid 只用于"_s;
    QTest::newRow("mini-program JSON") << QStringList{u"--platform=miniprogram"_s, u"--format=json"_s} << QString();
    QTest::newRow("--format for an account") << QStringList{u"--format=json"_s} << u"--format 只用于"_s;
    QTest::newRow("--format yaml") << QStringList{u"--platform=miniprogram"_s, u"--format=yaml"_s} << u"xml 或 json"_s;
    QTest::newRow("pay without its key") << QStringList{u"--platform=pay"_s} << u"需要同时给出 --apiv3-key 和 --certificate"_s;
    QTest::newRow("unknown platform") << QStringList{u"--platform=qq"_s} << u"可选 oa、miniprogram"_s;
}

void TestEndpointFamilies::readsTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    std::vector<std::string> strings;
    for (const QString &argument : std::as_const(arguments))
        strings.push_back(argument.toStdString());
    const std::vector<std::string_view> views(strings.begin(), strings.end());
    const auto parsed = ParseCommandLine(views);
    const auto *refused = std::get_if<CommandLineError>(&parsed);
    if (error.isEmpty()) {
        QVERIFY2(!refused, refused ? refused->message.c_str() : "");
    } else {
        QVERIFY(refused);
        QVERIFY2(QString::fromStdString(refused->message).contains(error), refused->message.c_str());
    }
}

QTEST_GUILESS_MAIN(TestEndpointFamilies)
#include "test_endpoint_families.moc"
