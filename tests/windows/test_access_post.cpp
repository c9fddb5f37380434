#include "endpoint.h"
#include "crypto/message_crypto.h"
#include "message_box_catcher.h"
#include "program_under_test.h"
#include "recording_server.h"
#include "platform/samples.h"
#include "scripted_server.h"

#include <QAction>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QUrlQuery>

#include <chrono>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

AccessSettings signingWith(const QString &token)
{
    AccessSettings settings;
    settings.token = token;
    return settings;
}

// The sample endpoint's own request handling, behind a recording server.
RecordingServer::Answer sampleEndpoint(const EndpointSettings &settings, const RecordingServer::Request &request)
{
    const auto question = request.target.find('?');
    const auto path = request.target.substr(0, question);
    const auto query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    const EndpointAnswer answer = AnswerRequest(settings, {request.method, path, query, request.body}, now);
    return {answer.status, answer.contentType, answer.body};
}

QUrlQuery queryOf(const RecordingServer::Request &request)
{
    return QUrlQuery(QUrl(QString::fromStdString(request.target)).query());
}

} // namespace

class TestAccessPost : public QObject {
    Q_OBJECT
private slots:
    void acceptedByTheSampleEndpoint();
    void postedAfterEveryPostCarriedOutOrFailed();
    void failedAnswerCheckIsSaid();
    void urlCheck_data();
    void urlCheck();
    void urlCheckOfAnEndpointThatIsNotThere();
    void postsTrustTheSettingsCertificate();
};

// Signing and encryption in each mode are checked against the sample endpoint
// in tests/sample-endpoint; here, that the window's settings reach the post and
// the answer is shown opened.
void TestAccessPost::acceptedByTheSampleEndpoint()
{
    const AccessSettings access{u"AAAAA"_s, kKey, u"wxb11529c136998cb6"_s, QString(), MessageMode::Safe};
    const EndpointSettings endpoint{"AAAAA", decodeAesKey(kKey)->toStdString(), "wxb11529c136998cb6"};
    RecordingServer server;
    server.setAnswerer([endpoint](const RecordingServer::Request &request) { return sampleEndpoint(endpoint, request); });
    ProgramUnderTest program;
    program.enterEndpoint(server.url());
    program.click("Command2");
    program.click("Command4");
    const QString refused = program.answerShown(); // unsigned: turned away

    program.form.setAccessSettings(access);
    MessageBoxCatcher boxes;
    program.click("Command4");
    const auto requests = server.requests();
    QCOMPARE(requests.size(), 2u);
    QVERIFY(QByteArray::fromStdString(requests.back().body).contains("<Encrypt>"));
    const QString accepted = program.answerShown();
    QVERIFY2(accepted.startsWith(u"<xml>"), qPrintable(accepted));
    QVERIFY2(accepted.contains(u"<ToUserName><![CDATA[fromUser]]></ToUserName>"), qPrintable(accepted));
    QVERIFY2(!accepted.contains(u"<Encrypt>"), qPrintable(accepted)); // shown decrypted
    QVERIFY2(refused != accepted, qPrintable(refused));
    QVERIFY(boxes.seen().empty());
}

void TestAccessPost::postedAfterEveryPostCarriedOutOrFailed()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain", "ok"});
    ProgramUnderTest program;
    QSignalSpy posted(&program.form, &Form1::posted);
    program.enterEndpoint(server.url());
    program.click("Command4");
    QCOMPARE(posted.size(), 1);
    const auto outcome = posted.at(0).at(0).value<PushPostOutcome>();
    QCOMPARE(outcome.shownText, u"ok"_s);
    QVERIFY(!outcome.record.failure);

    MessageBoxCatcher boxes;
    program.endpointBox()->setText(u"http://127.0.0.1:%1/api/"_s.arg(closedPort()));
    program.click("Command4");
    QCOMPARE(posted.size(), 2);
    QVERIFY(posted.at(1).at(0).value<PushPostOutcome>().record.failure);
    QCOMPARE(boxes.seen().size(), 1u); // reported as before
    QVERIFY(boxes.seen().front().text.startsWith(u"发送失败(错误 1)"));

    program.endpointBox()->setText(u"http"_s); // refused before any post
    program.click("Command4");
    QCOMPARE(posted.size(), 2);
}

void TestAccessPost::failedAnswerCheckIsSaid()
{
    // An encrypted answer whose signature cannot be right.
    const std::string answer = "<xml><Encrypt><![CDATA[AAAA]]></Encrypt><MsgSignature><![CDATA[00]]></MsgSignature>"
                               "<TimeStamp>1714036504</TimeStamp><Nonce><![CDATA[1]]></Nonce></xml>";
    RecordingServer server;
    server.setAnswer({200, "text/xml", answer});
    ProgramUnderTest program;
    program.form.setAccessSettings({u"AAAAA"_s, kKey, u"wxb11529c136998cb6"_s, QString(), MessageMode::Safe});
    program.enterEndpoint(server.url());
    program.click("Command2");
    MessageBoxCatcher boxes;
    program.click("Command4");
    QCOMPARE(program.answerShown(), QString::fromStdString(answer)); // shown as it came
    QCOMPARE(boxes.seen().size(), 1u);
    QVERIFY2(boxes.seen().front().text.startsWith(u"答复未通过检查"), qPrintable(boxes.seen().front().text));
}

void TestAccessPost::urlCheck_data()
{
    QTest::addColumn<QString>("format"); // how the endpoint returns the echostr
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QString>("where"); // where the answer first differs, as said
    QTest::newRow("as sent") << u"%1"_s << true << QString();
    QTest::newRow("quoted") << u"\"%1\""_s << false << u"第 1 个字节"_s;
}

void TestAccessPost::urlCheckOfAnEndpointThatIsNotThere()
{
    ProgramUnderTest program;
    program.form.setAccessSettings(signingWith(u"AAAAA"_s));
    program.endpointBox()->setText(u"http://127.0.0.1:%1/api/"_s.arg(closedPort()));
    MessageBoxCatcher boxes;
    program.form.findChild<QAction *>(u"checkUrl"_s)->trigger();
    QCOMPARE(boxes.seen().size(), 1u);
    QVERIFY2(boxes.seen().front().text.contains(u"未能完成"_s), qPrintable(boxes.seen().front().text));
}

void TestAccessPost::urlCheck()
{
    QFETCH(QString, format);
    QFETCH(bool, passes);
    QFETCH(QString, where);
    RecordingServer server;
    server.setAnswerer([format](const RecordingServer::Request &request) {
        const QString echostr = queryOf(request).queryItemValue(u"echostr"_s, QUrl::FullyDecoded);
        return RecordingServer::Answer{200, "text/plain", format.arg(echostr).toStdString()};
    });
    ProgramUnderTest program;
    program.form.setAccessSettings(signingWith(u"AAAAA"_s));
    program.enterEndpoint(server.url());
    MessageBoxCatcher boxes;
    program.form.findChild<QAction *>(u"checkUrl"_s)->trigger();

    QCOMPARE(server.requests().size(), 1u); // its signature and echostr: tests/messages/test_url_check
    QCOMPARE(boxes.seen().size(), 1u);
    const QString said = boxes.seen().front().text;
    QCOMPARE(boxes.seen().front().title, u"验证URL"_s);
    QVERIFY2(said.startsWith(passes ? u"验证通过"_s : u"验证未通过"_s), qPrintable(said));
    QVERIFY2(said.contains(where), qPrintable(said));
    QVERIFY(!program.results.isLoaded()); // no result window for a check
}

// The certificate file of 接入设置 reaches every exchange the window makes.
void TestAccessPost::postsTrustTheSettingsCertificate()
{
    RecordingServer server;
    server.setAnswer({200, "text/plain", "ok"});
    QStringList trusted;
    ProgramUnderTest program([&](const ExchangeSettings &settings) {
        trusted << settings.caFile;
        return createNetworkRequest(settings);
    });
    QTemporaryFile certificate;
    QVERIFY(certificate.open());
    AccessSettings access;
    access.token = u"T"_s;
    access.caFile = certificate.fileName();
    program.form.setAccessSettings(access);
    program.enterEndpoint(server.url());
    program.click("Command4");
    MessageBoxCatcher boxes; // the URL check's report
    program.form.findChild<QAction *>(u"checkUrl"_s)->trigger();
    QCOMPARE(trusted, QStringList(2, access.caFile));
}

QTEST_MAIN(TestAccessPost)
#include "test_access_post.moc"
