#include "har/har_export.h"
#include "har/har_import.h"
#include "har/replay_post.h"
#include "history/kept_exchange.h"
#include "platform/signed_post.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(AccessSettings)

namespace {

const QString kAesKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
const QString kPush = u"<xml><ToUserName><![CDATA[gh_1]]></ToUserName><FromUserName><![CDATA[o_1]]></FromUserName>"
                      "<MsgType><![CDATA[text]]></MsgType><Content><![CDATA[重发]]></Content></xml>"_s;

ExchangeRecord postOf(const QString &url, const QByteArray &body)
{
    ExchangeRecord record;
    record.started = QDateTime(QDate(2026, 12, 7), QTime(22, 0, 1, 250), Qt::OffsetFromUTC, 8 * 3600);
    record.method = u"POST"_s;
    record.url = url;
    ExchangeHop hop;
    hop.requestHead = "POST /wx HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\n\r\n";
    hop.requestBody = body;
    hop.answerHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    hop.answerBody = "success";
    hop.status = 200;
    record.hops = {hop};
    return record;
}

AccessSettings safeAccess(const QString &aesKey = kAesKey)
{
    return {u"tok"_s, aesKey, u"wxAppId"_s, {}, MessageMode::Safe};
}

AccessSettings tokenOnly()
{
    AccessSettings access;
    access.token = u"tok"_s;
    return access;
}

} // namespace

class TestHarImport : public QObject {
    Q_OBJECT
private slots:
    void veltranesOwnExportComesBackByteForByte_data();
    void veltranesOwnExportComesBackByteForByte();
    void aFileThatCannotBeReplayedSaysWhy_data();
    void aFileThatCannotBeReplayedSaysWhy();
    void replayUrlKeepsTheRecordedQuery_data();
    void replayUrlKeepsTheRecordedQuery();
    void planSendsAsRecordedOrSignsAfresh_data();
    void planSendsAsRecordedOrSignsAfresh();
    void aKeptExchangeReplaysOnlyWhole_data();
    void aKeptExchangeReplaysOnlyWhole();
};

void TestHarImport::veltranesOwnExportComesBackByteForByte_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("signed UTF-8 push") << u"http://127.0.0.1:9/wx?signature=ab%2Bc&timestamp=1&nonce=2"_s
                                       << kPush.toUtf8();
    QTest::newRow("not UTF-8: base64") << u"http://127.0.0.1:9/wx"_s << QByteArray("\xff\xfe<xml>\x80\x00</xml>", 14);
    QTest::newRow("empty body") << u"http://127.0.0.1:9/wx?x="_s << QByteArray();
}

void TestHarImport::veltranesOwnExportComesBackByteForByte()
{
    QFETCH(QString, url);
    QFETCH(QByteArray, body);
    const ExchangeRecord record = postOf(url, body);
    const HarImport import = importHar(harFile({HarExchange{record, {}}}));
    QVERIFY2(import.ok(), qPrintable(import.problem.value_or(QString())));
    QCOMPARE(import.creator, u"Veltrane"_s);
    QCOMPARE(import.posts.size(), 1);
    const HarPostEntry &entry = import.posts.constFirst();
    QCOMPARE(entry.url, url);
    QCOMPARE(entry.body, body);
    QCOMPARE(entry.started, record.started);
    QCOMPARE(entry.mimeType, u"text/xml"_s);
    QCOMPARE(entry.status, 200L);
}

void TestHarImport::aFileThatCannotBeReplayedSaysWhy_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("problem");
    QTest::newRow("not JSON") << QByteArray("<html>not a HAR</html>") << u"不是有效的 JSON"_s;
    QTest::newRow("JSON, not HAR") << QByteArray(R"({"entries": []})") << u"没有 log.entries"_s;
    QTest::newRow("no POST") << QByteArray(R"({"log": {"entries": [{"request": {"method": "GET", "url": "http://x/"}}]}})")
                             << u"没有 POST 请求（共 1 项"_s;
    QTest::newRow("base64 that does not decode")
        << QByteArray(R"({"log": {"entries": [{"request": {"method": "POST", "url": "http://x/",
                         "postData": {"text": "!!!", "encoding": "base64"}}}]}})")
        << u"base64 却解不开"_s;
}

void TestHarImport::aFileThatCannotBeReplayedSaysWhy()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, problem);
    const HarImport import = importHar(file);
    QVERIFY(!import.ok());
    QVERIFY2(import.problem->contains(problem), qPrintable(*import.problem));
    QVERIFY(import.posts.isEmpty());
}

void TestHarImport::replayUrlKeepsTheRecordedQuery_data()
{
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    const QString signedUrl = u"http://localhost:8080/api/?signature=a%2Fb&timestamp=1&nonce=2"_s;
    QTest::newRow("none given") << signedUrl << QString() << signedUrl;
    QTest::newRow("given without query: the recorded one kept as typed")
        << signedUrl << u"http://127.0.0.1:5000/other"_s << u"http://127.0.0.1:5000/other?signature=a%2Fb&timestamp=1&nonce=2"_s;
    QTest::newRow("given with its own query") << signedUrl << u"http://127.0.0.1:5000/api/?k=v"_s
                                              << u"http://127.0.0.1:5000/api/?k=v"_s;
    QTest::newRow("fragment stays last") << signedUrl << u"http://127.0.0.1:5000/api/#f"_s
                                         << u"http://127.0.0.1:5000/api/?signature=a%2Fb&timestamp=1&nonce=2#f"_s;
}

void TestHarImport::replayUrlKeepsTheRecordedQuery()
{
    QFETCH(QString, recorded);
    QFETCH(QString, given);
    QFETCH(QString, expected);
    QCOMPARE(replayUrl(recorded, given), expected);
}

void TestHarImport::planSendsAsRecordedOrSignsAfresh_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("mode");
    QTest::addColumn<AccessSettings>("access");
    QTest::addColumn<QString>("expectedBody"); // empty: as recorded
    QTest::addColumn<QString>("problem");      // empty: none

    const SignedPost safe = signPost(u"http://127.0.0.1:9/wx?keep=1"_s, kPush, safeAccess(),
                                     {u"1700000000"_s, u"42"_s, QByteArray(16, 'r')});
    const QByteArray encrypted = safe.body.toUtf8();
    const int asRecorded = int(ReplayMode::AsRecorded), resigned = int(ReplayMode::Resigned);
    QTest::newRow("as recorded: the encrypted bytes") << encrypted << asRecorded << safeAccess() << QString() << QString();
    QTest::newRow("as recorded, no settings") << kPush.toUtf8() << asRecorded << AccessSettings{} << QString() << QString();
    QTest::newRow("resigned plain push") << kPush.toUtf8() << resigned << tokenOnly() << kPush << QString();
    QTest::newRow("resigned safe push: decrypted for a fresh encryption")
        << encrypted << resigned << safeAccess() << kPush << QString();
    QTest::newRow("resigned safe push, another key")
        << encrypted << resigned << safeAccess(u"ZYXWVUTSRQPONMLKJIHGFEDCBA9876543210abcdefg"_s) << QString()
        << u"无法用当前的 EncodingAESKey 解开"_s;
    QTest::newRow("resigned safe push, no key")
        << encrypted << resigned << tokenOnly() << QString() << u"填写当时加密用的 EncodingAESKey"_s;
    QTest::newRow("resigned without a token") << kPush.toUtf8() << resigned << AccessSettings{} << QString()
                                              << u"重新签名需要 Token"_s;
    QTest::newRow("not UTF-8") << QByteArray("<xml>\xff</xml>") << asRecorded << AccessSettings{} << QString()
                               << u"不是 UTF-8"_s;
}

void TestHarImport::planSendsAsRecordedOrSignsAfresh()
{
    QFETCH(QByteArray, body);
    QFETCH(int, mode);
    QFETCH(AccessSettings, access);
    QFETCH(QString, expectedBody);
    QFETCH(QString, problem);
    const QString recordedUrl = u"http://127.0.0.1:9/wx?keep=1&signature=old&timestamp=1&nonce=2&openid=o&encrypt_type=aes&msg_signature=m"_s;
    const auto planned = planReplay(ReplaySource{recordedUrl, body, {}, {}, {}}, ReplayMode(mode), access);
    if (!problem.isEmpty()) {
        const auto *refused = std::get_if<QString>(&planned);
        QVERIFY(refused);
        QVERIFY2(refused->contains(problem), qPrintable(*refused));
        return;
    }
    if (const auto *refused = std::get_if<QString>(&planned))
        QFAIL(qPrintable(*refused));
    const PushPostOrder &order = std::get<ReplayPlan>(planned).order;
    if (expectedBody.isEmpty()) {
        QVERIFY(!order.signs);
        QCOMPARE(order.url, recordedUrl);
        QCOMPARE(order.body.toUtf8(), body);
        return;
    }
    // Signed afresh by postPush: the old signing parameters gone, the others kept.
    QVERIFY(order.signs);
    QCOMPARE(order.url, u"http://127.0.0.1:9/wx?keep=1"_s);
    QCOMPARE(order.body, expectedBody);
    QCOMPARE(order.access, access);
}

void TestHarImport::aKeptExchangeReplaysOnlyWhole_data()
{
    QTest::addColumn<qsizetype>("wholeSize"); // -1: sizes not noted
    QTest::addColumn<bool>("replayable");
    QTest::newRow("whole") << qsizetype(kPush.toUtf8().size()) << true;
    QTest::newRow("sizes not noted yet") << qsizetype(-1) << true;
    QTest::newRow("cut to its start") << qsizetype(kPush.toUtf8().size() + 1) << false;
}

void TestHarImport::aKeptExchangeReplaysOnlyWhole()
{
    QFETCH(qsizetype, wholeSize);
    QFETCH(bool, replayable);
    KeptExchange kept;
    kept.record = postOf(u"http://127.0.0.1:9/wx?signature=s"_s, kPush.toUtf8());
    if (wholeSize >= 0)
        kept.whole.request = {wholeSize};
    const ReplaySource source = replaySourceOf(kept);
    QCOMPARE(!source.problem.has_value(), replayable);
    QCOMPARE(source.url, kept.record.url);
    QCOMPARE(source.body, kept.record.hops.constFirst().requestBody);
}

QTEST_GUILESS_MAIN(TestHarImport)
#include "test_har_import.moc"
