#include "crypto/message_crypto.h"
#include "endpoint.h"
#include "exchange_actions.h"
#include "har_import_dialog.h"
#include "history_bar.h"
#include "platform/samples.h"
#include "platform/signed_post.h"
#include "program_under_test.h"
#include "recording_server.h"
#include "replay_actions.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <chrono>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(AccessSettings)

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
const QString kOtherKey = u"ZYXWVUTSRQPONMLKJIHGFEDCBA9876543210zyxwvut"_s;
const QString kAppId = u"wxb11529c136998cb6"_s;

// The program with its exchange window, wired as the program wires it.
struct ProgramWithReplay : ProgramUnderTest {
    ExchangeActions actions{form, results, createNetworkRequest, [this] { return form.accessSettings(); }};
    QStringList told;

    ProgramWithReplay()
    {
        QObject::connect(&form, &Form1::posted, &actions, &ExchangeActions::record);
        replay().tell = [this](QWidget *, const QString &message) { told.append(message); };
    }
    ReplayActions &replay() { return *actions.window().findChild<ReplayActions *>(); }
    HarImportDialog *dialog() { return replay().importDialog(); }
    int listed() { return actions.window().model().rowCount(); }
    const JournalEntry &newest() { return actions.window().model().journal().at(0); }

    void importHar(const QString &file)
    {
        actions.window().historyBar().chooseHarToImport = [file](QWidget *) { return file; };
        actions.window().findChild<QPushButton *>(u"importHar"_s)->click();
    }
    void clickInDialog(const char *button) { QTest::mouseClick(dialog()->findChild<QPushButton *>(button), Qt::LeftButton); }
    void typeInDialog(const QString &url) { dialog()->findChild<QLineEdit *>(u"harUrl"_s)->setText(url); }
    QString typedInDialog() { return dialog()->findChild<QLineEdit *>(u"harUrl"_s)->text(); }
};

// One HAR entry with what a replay reads of it (browsers write many more fields).
QJsonObject harEntry(const QString &method, const QString &url, const QByteArray &body)
{
    QJsonObject request{{u"method"_s, method}, {u"url"_s, url}, {u"headers"_s, QJsonArray{}}};
    if (method == u"POST")
        request[u"postData"_s] = QJsonObject{{u"mimeType"_s, u"text/xml"_s}, {u"text"_s, QString::fromUtf8(body)}};
    return {{u"startedDateTime"_s, u"2026-12-01T08:00:00.000Z"_s},
            {u"request"_s, request},
            {u"response"_s, QJsonObject{{u"status"_s, 200}}}};
}

QByteArray harOf(const QJsonArray &entries)
{
    const QJsonObject log{{u"version"_s, u"1.2"_s}, {u"creator"_s, QJsonObject{{u"name"_s, u"WebInspector"_s}}},
                          {u"entries"_s, entries}};
    return QJsonDocument(QJsonObject{{u"log"_s, log}}).toJson();
}

QString written(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A push captured from a browser: the signature of long ago in the query, a body that is not ASCII.
const QByteArray kCapturedBody = "<xml><ToUserName><![CDATA[gh_1]]></ToUserName><MsgType><![CDATA[text]]></MsgType>"
                                 "<Content><![CDATA[退订 & <b>]]></Content></xml>";
const QString kCapturedQuery = u"signature=0123456789abcdef0123456789abcdef01234567&timestamp=1700000000&nonce=42"_s;

// The sample endpoint's own request handling, behind a recording server.
RecordingServer::Answer sampleEndpoint(const EndpointSettings &settings, const RecordingServer::Request &request)
{
    const auto question = request.target.find('?');
    const auto query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    const EndpointAnswer answer = AnswerRequest(settings, {request.method, request.target.substr(0, question), query, request.body}, now);
    return {answer.status, answer.contentType, answer.body};
}

} // namespace

class TestReplayActions : public QObject {
    Q_OBJECT
private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void listMenuOffersReplayAndImport();
    void importedPostArrivesAsRecorded_data();
    void importedPostArrivesAsRecorded();
    void keptExchangeSentAgain_data();
    void keptExchangeSentAgain();
    void mendableProblemsAreSaid_data();
    void mendableProblemsAreSaid();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestReplayActions::listMenuOffersReplayAndImport()
{
    ProgramWithReplay program;
    QMenu &menu = program.actions.window().listMenu();
    QStringList entries;
    for (QAction *action : menu.actions())
        if (!action->isSeparator())
            entries.append(action->text());
    QCOMPARE(entries, (QStringList{u"原样重发"_s, u"重新签名后发送"_s, u"从 HAR 导入…"_s}));
    emit menu.aboutToShow(); // nothing listed: nothing to send again
    QVERIFY(!program.replay().asRecordedAction()->isEnabled());
}

void TestReplayActions::importedPostArrivesAsRecorded_data()
{
    QTest::addColumn<bool>("typeAddress"); // the address box filled with another path of the server
    QTest::newRow("to the recorded address") << false;
    QTest::newRow("to the address typed, the recorded query kept") << true;
}

void TestReplayActions::importedPostArrivesAsRecorded()
{
    QFETCH(bool, typeAddress);
    RecordingServer server;
    server.setAnswer({200, "text/plain; charset=utf-8", "success"});
    const QString recorded = server.url(u"/captured?"_s + kCapturedQuery);
    const QString har = written(*dir_, u"browser.har"_s,
                                harOf({harEntry(u"GET"_s, server.url(u"/"_s), {}), harEntry(u"POST"_s, recorded, kCapturedBody)}));
    ProgramWithReplay program;
    program.importHar(har);
    QVERIFY(program.dialog() && program.dialog()->isVisible());
    QCOMPARE(program.dialog()->chosenEntry(), 1); // the GET before it is not listed
    if (typeAddress)
        program.typeInDialog(server.url(u"/typed"_s));
    program.clickInDialog("harSendAsRecorded");

    QTRY_COMPARE(server.requests().size(), 1u);
    const RecordingServer::Request arrived = server.requests().front();
    QCOMPARE(arrived.method, std::string("POST"));
    QCOMPARE(QString::fromStdString(arrived.target), (typeAddress ? u"/typed?"_s : u"/captured?"_s) + kCapturedQuery);
    QCOMPARE(QByteArray::fromStdString(arrived.body), kCapturedBody);
    QTRY_COMPARE(program.listed(), 1);
    QCOMPARE(program.newest().record.status(), 200);
    QVERIFY2(program.dialog()->findChild<QLabel *>(u"harNote"_s)->text().contains(u"HTTP 200"_s),
             qPrintable(program.dialog()->findChild<QLabel *>(u"harNote"_s)->text()));
    QVERIFY(program.told.isEmpty());
}

void TestReplayActions::keptExchangeSentAgain_data()
{
    QTest::addColumn<AccessSettings>("postedWith");
    QTest::addColumn<AccessSettings>("sentAgainWith");
    QTest::addColumn<bool>("resign");
    QTest::addColumn<bool>("sameBytes"); // else: the endpoint takes the second, not the first
    const AccessSettings safe{u"AAAAA"_s, kKey, kAppId, QString(), MessageMode::Safe};
    AccessSettings oldToken = safe;
    oldToken.token = u"OLD"_s;
    QTest::newRow("原样重发: the signed post again, byte for byte") << safe << safe << false << true;
    QTest::newRow("重新签名后发送: unsigned, then signed with the token set since")
        << AccessSettings{} << AccessSettings{u"AAAAA"_s} << true << false;
    QTest::newRow("重新签名后发送: safe mode, under the token set since") << oldToken << safe << true << false;
}

void TestReplayActions::keptExchangeSentAgain()
{
    QFETCH(AccessSettings, postedWith);
    QFETCH(AccessSettings, sentAgainWith);
    QFETCH(bool, resign);
    QFETCH(bool, sameBytes);
    const EndpointSettings endpoint{"AAAAA", decodeAesKey(kKey)->toStdString(), kAppId.toStdString()};
    RecordingServer server;
    server.setAnswerer([endpoint](const RecordingServer::Request &request) { return sampleEndpoint(endpoint, request); });
    ProgramWithReplay program;
    program.actions.record(postPush({server.url(), BuildTextSample(), postedWith}));
    QCOMPARE(program.listed(), 1);
    const long firstStatus = program.newest().record.status();

    program.form.setAccessSettings(sentAgainWith);
    program.actions.window().selectRow(0);
    (resign ? program.replay().resignedAction() : program.replay().asRecordedAction())->trigger();
    QTRY_COMPARE(server.requests().size(), 2u);
    QTRY_COMPARE(program.listed(), 2);
    const auto requests = server.requests();
    QCOMPARE(requests.at(1).target == requests.at(0).target, sameBytes);
    if (sameBytes)
        QCOMPARE(requests.at(1).body, requests.at(0).body);
    const long secondStatus = program.newest().record.status();
    QCOMPARE(secondStatus, 200);
    if (sameBytes) {
        QCOMPARE(firstStatus, 200);
    } else {
        QVERIFY2(firstStatus != 200, qPrintable(QString::number(firstStatus))); // the endpoint turned the first away
        QVERIFY(QUrlQuery(QUrl(QString::fromStdString(requests.at(1).target)).query()).hasQueryItem(u"signature"_s));
    }
    QVERIFY2(program.told.isEmpty(), qPrintable(program.told.join(u'\n')));
}

void TestReplayActions::mendableProblemsAreSaid_data()
{
    QTest::addColumn<QByteArray>("importAfter"); // a second file imported; empty: none, send instead
    QTest::addColumn<AccessSettings>("access");  // in force for the send
    QTest::addColumn<bool>("safeBody");          // the file's push sealed under another key
    QTest::addColumn<QString>("said");
    const AccessSettings safe{u"AAAAA"_s, kKey, kAppId, QString(), MessageMode::Safe};
    QTest::newRow("a file that is not HAR") << QByteArray("<html><body>not a HAR</body></html>") << AccessSettings{}
                                            << false << u"无法从"_s;
    QTest::newRow("a HAR without a POST") << harOf({harEntry(u"GET"_s, u"http://127.0.0.1:1/"_s, {})})
                                          << AccessSettings{} << false << u"POST"_s;
    QTest::newRow("re-signing with no token") << QByteArray() << AccessSettings{} << false << u"没有重新签名后发送"_s;
    QTest::newRow("re-signing a push the key cannot open") << QByteArray() << safe << true << u"没有重新签名后发送"_s;
}

void TestReplayActions::mendableProblemsAreSaid()
{
    QFETCH(QByteArray, importAfter);
    QFETCH(AccessSettings, access);
    QFETCH(bool, safeBody);
    QFETCH(QString, said);
    RecordingServer server;
    QByteArray body = kCapturedBody;
    QString url = server.url(u"/captured?"_s + kCapturedQuery);
    if (safeBody) {
        AccessSettings sealer{u"AAAAA"_s, kOtherKey, kAppId, QString(), MessageMode::Safe};
        const SignedPost sealed = signPost(server.url(), QString::fromUtf8(kCapturedBody), sealer, freshSigningInputs());
        QVERIFY(!sealed.problem);
        body = sealed.body.toUtf8();
        url = sealed.url;
    }
    const QString good = written(*dir_, u"good.har"_s, harOf({harEntry(u"POST"_s, url, body)}));
    ProgramWithReplay program;
    program.form.setAccessSettings(access);
    program.importHar(good);
    QVERIFY(program.dialog());
    const QString typed = server.url(u"/typed"_s);
    program.typeInDialog(typed);

    if (!importAfter.isEmpty())
        program.importHar(written(*dir_, u"bad.har"_s, importAfter));
    else
        program.clickInDialog("harSendResigned");

    QCOMPARE(program.told.size(), 1);
    QVERIFY2(program.told.front().contains(said), qPrintable(program.told.front()));
    // Nothing went out, nothing was listed, and the dialog keeps its file and what was typed.
    QCOMPARE(server.requests().size(), 0u);
    QCOMPARE(program.listed(), 0);
    QCOMPARE(program.dialog()->file(), good);
    QCOMPARE(program.typedInDialog(), typed);
}

QTEST_MAIN(TestReplayActions)
#include "test_replay_actions.moc"
