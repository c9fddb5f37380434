#include "exchange_json.h"
#include "exit_status.h"
#include "http/post_failure.h"
#include "repeat_summary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(ExchangeTally)

namespace {

ExchangeTally completed(double ms, QList<VerdictLine> failedLines = {})
{
    return ExchangeTally{std::nullopt, false, ms, std::move(failedLines)};
}

ExchangeTally failed(int number, const QString &description)
{
    return ExchangeTally{ExchangeFailureNote{number, description}, number == PostFailure::Cancelled, -1, {}};
}

// A redirect, then an answer in GBK that fails one verdict line.
PushPostOutcome redirectedOutcome()
{
    PushPostOutcome outcome;
    ExchangeRecord &record = outcome.record;
    record.started = QDateTime::fromString(u"2026-12-07T09:00:00.123"_s, Qt::ISODateWithMs);
    record.method = u"POST"_s;
    record.url = u"http://127.0.0.1:9/api/?signature=s"_s;
    ExchangeHop redirect;
    redirect.requestHead = "POST /api/?signature=s HTTP/1.1\r\nHost: 127.0.0.1:9\r\n\r\n";
    redirect.requestBody = "<xml>中\r\n</xml>";
    redirect.answerHead = "HTTP/1.1 307 Temporary Redirect\r\nLocation: /b\r\n\r\n";
    redirect.status = 307;
    ExchangeHop last;
    last.requestHead = "POST /b HTTP/1.1\r\n\r\n";
    last.requestBody = redirect.requestBody;
    last.answerHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=gbk\r\n\r\n";
    last.answerBody = "\xD6\xD0";
    last.status = 200;
    last.connectedMs = 0.5;
    last.firstByteMs = 2;
    last.wholeMs = 2.5;
    record.hops = {redirect, last};
    record.contentType = "text/plain; charset=gbk";
    record.decodingUsed = u"GB18030"_s;
    record.answerText = u"中"_s;
    record.elapsedMs = 4;
    outcome.shownText = record.answerText;
    outcome.verdict = {{VerdictLine::Pass, u"5 秒内回复"_s}, {VerdictLine::Warn, u"提醒"_s},
                       {VerdictLine::Fail, u"回复不是 UTF-8"_s}};
    return outcome;
}

} // namespace

class TestPostReport : public QObject {
    Q_OBJECT
private slots:
    void summarisesLatencyByNearestRank();
    void endsWithTheStatusThatOutranks_data();
    void endsWithTheStatusThatOutranks();
    void writesTheExchangeAsJson();
    void writesAFailedExchangeAsJson();
    void cutsAHugeAnswerInTheJson();
};

void TestPostReport::summarisesLatencyByNearestRank()
{
    RepeatSummary summary;
    for (int ms = 100; ms >= 1; --ms) // out of order on purpose
        summary.add(completed(ms == 100 ? 5200 : ms));
    summary.add(failed(PostFailure::TimedOut, u"超时"_s));
    const LatencyFigures figures = *summary.latency();
    QCOMPARE(figures.minimum, 1.0);
    QCOMPARE(figures.median, 50.0);
    QCOMPARE(figures.p95, 95.0);
    QCOMPARE(figures.p99, 99.0);
    QCOMPARE(figures.maximum, 5200.0);
    QCOMPARE(summary.count(), 101);
    QCOMPARE(summary.failed(), 1);
    QCOMPARE(summary.slowerThanPlatform(), 1);
    const QString text = summary.text(101, 4);
    QVERIFY2(text.contains(u"完成 100 次，发送失败 1 次"_s) && text.contains(u"错误 3 × 1：超时"_s)
                 && text.contains(u"中位 50.0"_s) && text.contains(u"超过 5 秒：1 次"_s),
             qPrintable(text));

    QVERIFY(!RepeatSummary().latency()); // nothing completed: no figures, no crash
}

void TestPostReport::endsWithTheStatusThatOutranks_data()
{
    QTest::addColumn<QList<ExchangeTally>>("tallies");
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");

    const VerdictLine late{VerdictLine::Fail, u"用时 5.2 秒,超过 5 秒"_s};
    const VerdictLine status{VerdictLine::Fail, u"状态 401"_s};
    QTest::newRow("verdict failed, lines joined")
        << QList{completed(1, {late, status})} << 1 << 1 << u"判定未通过：用时 5.2 秒,超过 5 秒；状态 401"_s;
    QTest::newRow("verdict failed in a repeat")
        << QList{completed(1), completed(2, {status})} << 2 << 1 << u"判定未通过：状态 401（2 次中有 1 次未通过）"_s;
    QTest::newRow("failure outranks verdict")
        << QList{completed(1, {status}), failed(PostFailure::ConnectionRefused, u"无法连接\n到"_s)} << 2 << 3
        << u"发送失败(错误 1):无法连接 到（2 次中有 1 次发送失败）"_s;
    QTest::newRow("line breaks in a failure")
        << QList{failed(PostFailure::ConnectionRefused, u"无法\r\n连接\r到"_s)} << 1 << 3 << u"发送失败(错误 1):无法 连接 到"_s;
    QTest::newRow("interrupted between posts") << QList{completed(1)} << 3 << 3 << u"发送失败(错误 13):已中断：3 次中完成 1 次"_s;
    QTest::newRow("interrupted under way")
        << QList{failed(PostFailure::Cancelled, u"已取消"_s)} << 1 << 3 << u"发送失败(错误 13):已中断：1 次中完成 0 次"_s;
}

void TestPostReport::endsWithTheStatusThatOutranks()
{
    QFETCH(QList<ExchangeTally>, tallies);
    QFETCH(int, requested);
    QFETCH(int, status);
    QFETCH(QString, reason);
    RepeatSummary summary;
    for (const ExchangeTally &tally : tallies)
        summary.add(tally);
    const RunEnd end = runEndOf(summary, requested);
    QCOMPARE(int(end.status), status);
    QCOMPARE(end.reason, reason);
}

void TestPostReport::writesTheExchangeAsJson()
{
    const QByteArray line = jsonLine(exchangeJson(redirectedOutcome(), u"http://127.0.0.1:9/api/"_s, 7));
    QVERIFY(line.endsWith('\n') && line.count('\n') == 1);
    const QJsonObject json = QJsonDocument::fromJson(line).object();

    QCOMPARE(json[u"index"].toInt(), 7);
    QCOMPARE(json[u"started"].toString(), u"2026-12-07T09:00:00.123"_s);
    const QJsonObject request = json[u"request"].toObject();
    QCOMPARE(request[u"method"].toString(), u"POST"_s);
    QCOMPARE(request[u"url"].toString(), u"http://127.0.0.1:9/api/?signature=s"_s);
    QVERIFY(request[u"head"].toString().startsWith(u"POST /api/?signature=s HTTP/1.1\r\n"_s));
    QCOMPARE(request[u"body"].toString(), u"<xml>中\r\n</xml>"_s);
    QCOMPARE(QByteArray::fromBase64(request[u"bodyBase64"].toString().toLatin1()), QByteArray("<xml>中\r\n</xml>"));

    const QJsonObject answer = json[u"answer"].toObject();
    QCOMPARE(answer[u"status"].toInt(), 200);
    QVERIFY(answer[u"head"].toString().contains(u"charset=gbk"_s));
    QCOMPARE(answer[u"body"].toString(), u"中"_s);
    QCOMPARE(QByteArray::fromBase64(answer[u"bodyBase64"].toString().toLatin1()), QByteArray("\xD6\xD0"));
    QCOMPARE(answer[u"decoding"].toString(), u"GB18030"_s);
    QVERIFY(answer[u"decryptedText"].isNull());
    QCOMPARE(answer[u"bodySize"].toInt(), 2);
    QCOMPARE(answer[u"bodyCut"].toBool(true), false);

    const QJsonArray redirects = json[u"redirects"].toArray();
    QCOMPARE(redirects.size(), 1);
    QCOMPARE(redirects[0][u"status"].toInt(), 307);
    QCOMPARE(json[u"timings"][u"firstByteMs"].toDouble(), 2.0);
    QCOMPARE(json[u"timings"][u"elapsedMs"].toDouble(), 4.0);

    const QJsonArray verdict = json[u"verdict"].toArray();
    QCOMPARE(verdict.size(), 3);
    QCOMPARE(verdict[1][u"outcome"].toString(), u"warn"_s);
    QCOMPARE(verdict[2][u"outcome"].toString(), u"fail"_s);
    QCOMPARE(verdict[2][u"text"].toString(), u"回复不是 UTF-8"_s);
    QCOMPARE(json[u"passed"].toBool(true), false);
    QVERIFY(json[u"failure"].isNull());
}

void TestPostReport::writesAFailedExchangeAsJson()
{
    PushPostOutcome outcome;
    outcome.record.method = u"POST"_s;
    outcome.record.failure = ExchangeFailureNote{PostFailure::ConnectionRefused, u"无法连接"_s};
    const QJsonObject json = exchangeJson(outcome, u"http://127.0.0.1:9/api/"_s, 1);
    QCOMPARE(json[u"failure"][u"number"].toInt(), int(PostFailure::ConnectionRefused));
    QCOMPARE(json[u"failure"][u"description"].toString(), u"无法连接"_s);
    QVERIFY(json[u"answer"].isNull());
    QVERIFY(json[u"request"].isNull());
    QCOMPARE(json[u"endpoint"].toString(), u"http://127.0.0.1:9/api/"_s);
    QCOMPARE(json[u"passed"].toBool(true), false);
}

// A 3 MB answer: each body in the line is cut at 1 MB, its whole size beside it.
void TestPostReport::cutsAHugeAnswerInTheJson()
{
    PushPostOutcome outcome = redirectedOutcome();
    constexpr qsizetype kMegabyte = 1 << 20;
    ExchangeHop &last = outcome.record.hops.last();
    last.answerBody = QByteArray(3 * kMegabyte, 'a');
    outcome.record.answerText = QString::fromLatin1(last.answerBody);
    outcome.shownText = outcome.record.answerText;

    const QByteArray line = jsonLine(exchangeJson(outcome, u"http://127.0.0.1:9/api/"_s, 1));
    QVERIFY2(line.size() < 4 * kMegabyte, qPrintable(QString::number(line.size())));
    const QJsonObject answer = QJsonDocument::fromJson(line).object()[u"answer"].toObject();
    QCOMPARE(answer[u"body"].toString().size(), kMegabyte);
    QCOMPARE(QByteArray::fromBase64(answer[u"bodyBase64"].toString().toLatin1()).size(), kMegabyte);
    QCOMPARE(answer[u"bodySize"].toInteger(), 3 * kMegabyte);
    QCOMPARE(answer[u"bodyCut"].toBool(), true);
    QCOMPARE(answer[u"shownText"].toString().size(), kMegabyte);
    QCOMPARE(answer[u"shownTextCut"].toBool(), true);
}

QTEST_GUILESS_MAIN(TestPostReport)
#include "test_post_report.moc"
