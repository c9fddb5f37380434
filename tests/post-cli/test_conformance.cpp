#include "program_run.h"
#include "recording_server.h"
#include "scripted_server.h"

#include <QDomDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

enum class Peer { SampleEndpoint, SampleEndpointSafe, SampleEndpointOpen, Careless, Nobody, NobodyOpen };

// An endpoint that checks nothing: it echoes any echostr and answers every
// push with a passive reply.
RecordingServer::Answer carelessAnswer(const RecordingServer::Request &request)
{
    if (request.method == "GET") {
        const QUrlQuery query(QUrl(QString::fromStdString(request.target)).query());
        return {200, "text/plain", query.queryItemValue(u"echostr"_s).toStdString()};
    }
    return {200, "text/xml",
            "<xml><ToUserName><![CDATA[fromUser]]></ToUserName><FromUserName><![CDATA[toUser]]></FromUserName>"
            "<CreateTime>1</CreateTime><MsgType><![CDATA[text]]></MsgType><Content><![CDATA[ok]]></Content></xml>"};
}

QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"VELTRANE_TOKEN", "VELTRANE_AES_KEY", "VELTRANE_APPID"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

} // namespace

class TestConformance : public QObject {
    Q_OBJECT

private slots:
    void scoresTheEndpoint_data()
    {
        QTest::addColumn<int>("peer");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("sample endpoint, plain") << int(Peer::SampleEndpoint) << 0 << u"改过的正文"_s;
        QTest::newRow("sample endpoint, safe") << int(Peer::SampleEndpointSafe) << 0 << u"Encrypt 改了一个字节"_s;
        // The third-party platform checks no URL: its run starts with the samples and passes.
        QTest::newRow("sample endpoint, third-party platform") << int(Peer::SampleEndpointOpen) << 0 << u"✔ 样例推送"_s;
        QTest::newRow("no signature checks") << int(Peer::Careless) << 1 << u"接收端接受了伪造的请求"_s;
        QTest::newRow("nothing listening") << int(Peer::Nobody) << 3 << u"✘ 地址校验"_s;
        // There the first push is the first contact: unreachable all the same.
        QTest::newRow("nothing listening, third-party platform") << int(Peer::NobodyOpen) << 3 << u"✘ 样例推送"_s;
    }
    void scoresTheEndpoint()
    {
        QFETCH(int, peer);
        QFETCH(int, status);
        QFETCH(QString, says);
        QStringList arguments{u"--conformance"_s, u"--token=T"_s};
        std::unique_ptr<SampleEndpointProcess> endpoint;
        std::unique_ptr<RecordingServer> careless;
        QString url = u"http://127.0.0.1:%1/api/"_s.arg(closedPort());
        if (Peer(peer) == Peer::SampleEndpoint) {
            endpoint = std::make_unique<SampleEndpointProcess>(QStringList{u"--token"_s, u"T"_s});
            url = endpoint->url();
        } else if (Peer(peer) == Peer::SampleEndpointSafe) {
            endpoint = std::make_unique<SampleEndpointProcess>(
                QStringList{u"--token"_s, u"T"_s, u"--aes-key"_s, kKey, u"--appid"_s, u"wx1"_s});
            url = endpoint->url();
            arguments << u"--mode=safe"_s << u"--aes-key"_s << kKey << u"--appid=wx1"_s;
        } else if (Peer(peer) == Peer::SampleEndpointOpen) {
            const QStringList keyed{u"--token"_s, u"T"_s, u"--aes-key"_s, kKey, u"--appid"_s, u"wx1"_s};
            endpoint = std::make_unique<SampleEndpointProcess>(QStringList{u"--platform"_s, u"open"_s} + keyed);
            url = endpoint->url();
            arguments << u"--platform=open"_s << u"--aes-key"_s << kKey << u"--appid=wx1"_s;
        } else if (Peer(peer) == Peer::NobodyOpen) {
            arguments << u"--platform=open"_s << u"--aes-key"_s << kKey << u"--appid=wx1"_s;
        } else if (Peer(peer) == Peer::Careless) {
            careless = std::make_unique<RecordingServer>();
            careless->setAnswerer(carelessAnswer);
            url = careless->url();
        }
        QTemporaryDir directory;
        const QString junit = directory.filePath(u"conformance.xml"_s);
        const ProgramRun run = runPost(QStringList{url, u"--junit"_s, junit} + arguments, {}, cleanEnvironment());
        const QString card = QString::fromUtf8(run.out);
        QVERIFY(!run.crashed);
        QVERIFY2(run.exitCode == status, qPrintable(card + run.err));
        QVERIFY2(card.contains(says), qPrintable(card));
        const int failed = int(card.count(QRegularExpression(u"^✘"_s, QRegularExpression::MultilineOption)));
        QCOMPARE(failed > 0, status != 0);

        // The JUnit report agrees with the scorecard: one failure per ✘.
        QFile file(junit);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QDomDocument report;
        QVERIFY(report.setContent(&file));
        int failures = 0;
        const QDomNodeList suites = report.elementsByTagName(u"testsuite"_s);
        for (int i = 0; i < suites.size(); ++i)
            failures += suites.at(i).toElement().attribute(u"failures"_s).toInt();
        QCOMPARE(failures, failed);
        QCOMPARE(report.elementsByTagName(u"failure"_s).size(), failures);
        QCOMPARE(report.elementsByTagName(u"testcase"_s).size(), int(card.count(u'\n')) - 1); // less the counts line
    }

    // The report is read by a parser that validates it against the JUnit schema.
    void junitReportIsValid()
    {
        const QString xmllint = QStandardPaths::findExecutable(u"xmllint"_s);
        if (xmllint.isEmpty())
            QSKIP("xmllint (Debian's libxml2-utils) is not installed: scripts/setup.sh installs it");
        RecordingServer careless;
        careless.setAnswerer(carelessAnswer);
        QTemporaryDir directory;
        const QString junit = directory.filePath(u"conformance.xml"_s);
        const ProgramRun run = runPost({careless.url(), u"--conformance"_s, u"--token=T"_s, u"--junit"_s, junit}, {},
                                       cleanEnvironment());
        QCOMPARE(run.exitCode, 1);
        QProcess validation;
        validation.setProcessChannelMode(QProcess::MergedChannels);
        validation.start(xmllint, {u"--noout"_s, u"--schema"_s, QStringLiteral(JUNIT_SCHEMA), junit});
        QVERIFY(validation.waitForFinished(60'000));
        QVERIFY2(validation.exitCode() == 0, validation.readAll().constData());
    }

    // --deliver against an endpoint that answers at once: one try.
    void deliversInOneTry()
    {
        SampleEndpointProcess endpoint({u"--token"_s, u"T"_s});
        const ProgramRun run = runPost({endpoint.url(), u"--deliver"_s, u"--token=T"_s}, {}, cleanEnvironment());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(QString::fromUtf8(run.out).contains(u"共 1 次，消息已送达"_s), run.out.constData());
    }

    // A storm of job-finish events: each with a MsgID of its own, at the rate asked.
    void stormsWithFreshMsgIds()
    {
        RecordingServer server;
        server.setAnswer({200, "text/plain", "success"});
        const ProgramRun run = runPost({server.url(), u"--sample=templatesendjobfinish"_s, u"--repeat=30"_s, u"--rate=60"_s},
                                       {}, cleanEnvironment());
        const QString report = QString::fromUtf8(run.out);
        QVERIFY2(run.exitCode == 0, qPrintable(report + run.err));
        QVERIFY2(report.contains(u"完成 30 次"_s) && report.contains(u"不报警：请求超时"_s), qPrintable(report));
        QSet<QString> ids;
        static const QRegularExpression msgId(u"<MsgID>(\\d+)</MsgID>"_s);
        for (const auto &request : server.requests())
            ids.insert(msgId.match(QString::fromStdString(request.body)).captured(1));
        QCOMPARE(ids.size(), 30);
        QVERIFY(!ids.contains(QString()));
    }
};

QTEST_GUILESS_MAIN(TestConformance)
#include "test_conformance.moc"
