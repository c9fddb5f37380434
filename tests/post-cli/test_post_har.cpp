// veltrane-post --har FILE: every exchange of a run in one HAR file.
#include "program_run.h"
#include "recording_server.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

class TestPostHar : public QObject {
    Q_OBJECT
private slots:
    void writesEveryExchangeOfTheRun_data();
    void writesEveryExchangeOfTheRun();
    void aFileThatCannotBeWrittenStopsTheRunFirst();
};

void TestPostHar::writesEveryExchangeOfTheRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("query");
    QTest::newRow("one post") << QStringList{} << 1 << QString();
    QTest::newRow("repeated") << QStringList{u"--repeat=3"_s} << 3 << QString();
    QTest::newRow("signed: the signature in the query")
        << QStringList{u"--token=tokenNotInTheFile"_s} << 1 << u"signature"_s;
    QTest::newRow("URL check") << QStringList{u"--check-url"_s, u"--token=tokenNotInTheFile"_s} << 1 << u"echostr"_s;
}

void TestPostHar::writesEveryExchangeOfTheRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, entries);
    QFETCH(QString, query);
    RecordingServer server;
    server.setAnswer({200, "text/plain; charset=utf-8", "success"});
    QTemporaryDir dir;
    const QString har = dir.filePath(u"run.har"_s);
    const ProgramRun run = runPost(QStringList{server.url(), u"--har"_s, har} + arguments);
    QVERIFY2(!run.crashed, qPrintable(run.err));

    QFile file(har);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(run.err));
    const QByteArray bytes = file.readAll();
    QVERIFY(!bytes.contains("tokenNotInTheFile"));
    const QJsonObject log = QJsonDocument::fromJson(bytes)[u"log"_s].toObject();
    QCOMPARE(log[u"creator"_s][u"name"_s].toString(), u"Veltrane"_s);
    const QJsonArray written = log[u"entries"_s].toArray();
    QCOMPARE(written.size(), entries);
    const QJsonObject first = written.at(0).toObject();
    QCOMPARE(first[u"response"_s][u"status"_s].toInt(), 200);
    QVERIFY(first[u"request"_s][u"url"_s].toString().startsWith(server.url()));
    if (!query.isEmpty()) {
        QStringList names;
        for (const QJsonValue &item : first[u"request"_s][u"queryString"_s].toArray())
            names.append(item[u"name"_s].toString());
        QVERIFY2(names.contains(query), qPrintable(names.join(u',')));
    }
}

void TestPostHar::aFileThatCannotBeWrittenStopsTheRunFirst()
{
    RecordingServer server;
    QTemporaryDir dir;
    const ProgramRun run = runPost({server.url(), u"--har"_s, dir.filePath(u"no-such-folder/run.har"_s)});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(u"--har"_s), qPrintable(run.err));
    QCOMPARE(server.requests().size(), 0); // nothing posted
}

QTEST_GUILESS_MAIN(TestPostHar)
#include "test_post_har.moc"
