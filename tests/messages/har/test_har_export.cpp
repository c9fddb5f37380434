#include "har/har_export.h"
#include "platform/signed_post.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

ExchangeHop hop(const QByteArray &requestHead, const QByteArray &body, const QByteArray &answerHead, const QByteArray &answer)
{
    ExchangeHop made;
    made.requestHead = requestHead;
    made.requestBody = body;
    made.answerHead = answerHead;
    made.answerBody = answer;
    made.status = answerHead.isEmpty() ? 0 : answerHead.split(' ').value(1).toLong();
    made.connectedMs = 1;
    made.firstByteMs = 4;
    made.wholeMs = 10;
    return made;
}

ExchangeRecord post(const QString &url, const QByteArray &body, const QByteArray &answer = "success")
{
    ExchangeRecord record;
    record.started = QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::OffsetFromUTC, 8 * 3600);
    record.method = QStringLiteral("POST");
    record.url = url;
    record.hops = {hop("POST /wx HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\n\r\n", body,
                       "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n", answer)};
    return record;
}

QJsonArray entriesOf(const QList<HarExchange> &exchanges)
{
    return QJsonDocument::fromJson(harFile(exchanges)).object().value(QStringLiteral("log")).toObject().value(QStringLiteral("entries")).toArray();
}

QJsonValue at(const QJsonValue &value, const QString &path)
{
    QJsonValue found = value;
    for (const QString &step : path.split(QLatin1Char('.'))) {
        bool isIndex = false;
        const int index = step.toInt(&isIndex);
        found = isIndex ? found.toArray().at(index) : found.toObject().value(step);
    }
    return found;
}

} // namespace

class TestHarExport : public QObject {
    Q_OBJECT
private slots:
    void writesAsBrowsersDo_data();
    void writesAsBrowsersDo();
    void accessSettingsNeverLeave();
    void bodiesRoundTrip_data();
    void bodiesRoundTrip();
};

void TestHarExport::writesAsBrowsersDo_data()
{
    QTest::addColumn<QList<HarExchange>>("exchanges");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("expected");

    const QString signedUrl = QStringLiteral("http://127.0.0.1:8080/wx?signature=ab%2Bc&timestamp=1700000000&nonce=42");
    const QList<HarExchange> one{{post(signedUrl, "<xml/>"), {}}};
    QTest::newRow("creator") << one << "creator.name" << QJsonValue(QStringLiteral("Veltrane"));
    QTest::newRow("version") << one << "version" << QJsonValue(QStringLiteral("1.2"));
    QTest::newRow("url as sent") << one << "entries.0.request.url" << QJsonValue(signedUrl);
    QTest::newRow("signature parameter, decoded") << one << "entries.0.request.queryString.0.value" << QJsonValue(QStringLiteral("ab+c"));
    QTest::newRow("nonce parameter") << one << "entries.0.request.queryString.2.name" << QJsonValue(QStringLiteral("nonce"));
    QTest::newRow("header as sent") << one << "entries.0.request.headers.1.value" << QJsonValue(QStringLiteral("text/xml"));
    QTest::newRow("post mime type") << one << "entries.0.request.postData.mimeType" << QJsonValue(QStringLiteral("text/xml"));
    QTest::newRow("status") << one << "entries.0.response.status" << QJsonValue(200);
    QTest::newRow("status text") << one << "entries.0.response.statusText" << QJsonValue(QStringLiteral("OK"));
    QTest::newRow("answer mime type") << one << "entries.0.response.content.mimeType"
                                      << QJsonValue(QStringLiteral("text/plain; charset=utf-8"));
    QTest::newRow("started, with its offset") << one << "entries.0.startedDateTime"
                                              << QJsonValue(QStringLiteral("2026-12-07T22:00:00.000+08:00"));
    QTest::newRow("wait for the first byte") << one << "entries.0.timings.wait" << QJsonValue(3);
    QTest::newRow("time: the timings' sum") << one << "entries.0.time" << QJsonValue(10);

    const QList<HarExchange> cut{{post(signedUrl, "<xml/>", "abc"), {3000}}};
    QTest::newRow("a kept start: the whole size") << cut << "entries.0.response.content.size" << QJsonValue(3000);

    ExchangeRecord redirected = post(QStringLiteral("http://127.0.0.1:8080/old?a=1"), "<xml/>");
    redirected.hops[0].answerHead = "HTTP/1.1 307 Temporary Redirect\r\nLocation: /new?b=2\r\n\r\n";
    redirected.hops[0].status = 307;
    redirected.hops.append(post(QString(), "<xml/>").hops.first());
    const QList<HarExchange> hops{{redirected, {}}};
    QTest::newRow("redirect target") << hops << "entries.0.response.redirectURL" << QJsonValue(QStringLiteral("http://127.0.0.1:8080/new?b=2"));
    QTest::newRow("next hop, its own entry") << hops << "entries.1.request.url" << QJsonValue(QStringLiteral("http://127.0.0.1:8080/new?b=2"));
    QTest::newRow("next hop started later") << hops << "entries.1.startedDateTime"
                                            << QJsonValue(QStringLiteral("2026-12-07T22:00:00.010+08:00"));

    ExchangeRecord proxied = post(QStringLiteral("http://127.0.0.1:8080/wx"), "<xml/>");
    proxied.hops[0].requestHead = "POST http://127.0.0.1:8080/wx HTTP/1.1\r\nProxy-Authorization: Basic dTpw\r\nAccept: */*\r\n\r\n";
    QTest::newRow("proxy credentials left out") << QList<HarExchange>{{proxied, {}}} << "entries.0.request.headers.0.name"
                                                << QJsonValue(QStringLiteral("Accept"));

    ExchangeRecord refused = post(QStringLiteral("http://127.0.0.1:9/wx"), "<xml/>");
    refused.hops[0].answerHead.clear();
    refused.hops[0].status = 0;
    refused.failure = ExchangeFailureNote{7, QStringLiteral("连接被拒绝")};
    const QList<HarExchange> failed{{refused, {}}};
    QTest::newRow("no answer: status 0") << failed << "entries.0.response.status" << QJsonValue(0);
    QTest::newRow("no answer: why") << failed << "entries.0._error" << QJsonValue(QStringLiteral("连接被拒绝"));
}

void TestHarExport::writesAsBrowsersDo()
{
    QFETCH(QList<HarExchange>, exchanges);
    QFETCH(QString, path);
    QFETCH(QJsonValue, expected);
    const QJsonObject log = QJsonDocument::fromJson(harFile(exchanges)).object().value(QStringLiteral("log")).toObject();
    QCOMPARE(at(log, path), expected);
}

void TestHarExport::accessSettingsNeverLeave()
{
    AccessSettings access;
    access.token = QStringLiteral("tokenNeverInTheFile");
    access.aesKey = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG");
    access.appId = QStringLiteral("wx1234567890abcdef");
    access.mode = MessageMode::Safe;
    const SignedPost signedPost = signPost(QStringLiteral("http://127.0.0.1:8080/wx"), QStringLiteral("<xml><Content>hi</Content></xml>"),
                                           access, {QStringLiteral("1700000000"), QStringLiteral("42"), QByteArray(16, 'r')});
    QVERIFY(!signedPost.problem);
    ExchangeRecord record = post(signedPost.url, signedPost.body.toUtf8());
    record.plainMessage = signedPost.plainMessage;
    const QByteArray file = harFile({{record, {}}});
    QVERIFY(file.contains("msg_signature"));
    QVERIFY(!file.contains(access.token.toUtf8()));
    QVERIFY(!file.contains(access.aesKey.toUtf8()));
}

void TestHarExport::bodiesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("base64");
    QTest::newRow("UTF-8") << QByteArray("<xml>退订</xml>") << false;
    QTest::newRow("GBK") << QByteArray("<xml>\xcd\xcb\xb6\xa9</xml>") << true;
    QTest::newRow("a NUL and a lone continuation byte") << QByteArray("a\0b\x80", 4) << true;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestHarExport::bodiesRoundTrip()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, base64);
    const QJsonArray entries = entriesOf({{post(QStringLiteral("http://127.0.0.1:1/"), body, body), {}}});
    for (const QString &where : {QStringLiteral("request.postData"), QStringLiteral("response.content")}) {
        const QJsonObject holder = at(entries.at(0), where).toObject();
        QCOMPARE(holder.value(QStringLiteral("encoding")).toString(), base64 ? QStringLiteral("base64") : QString());
        const QString text = holder.value(QStringLiteral("text")).toString();
        QCOMPARE(base64 ? QByteArray::fromBase64(text.toLatin1()) : text.toUtf8(), body);
    }
}

QTEST_GUILESS_MAIN(TestHarExport)
#include "test_har_export.moc"
