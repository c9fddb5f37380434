#include "http/curl_command.h"
#include "recording_server.h"
#include "platform/samples.h"
#include "http/xml_post.h"

#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

std::string contentTypeOf(const RecordingServer::Request &request)
{
    const auto found = request.headers.find("Content-Type");
    return found == request.headers.end() ? std::string("(none)") : found->second;
}

// Runs the command line as a user's shell would.
bool run(const QString &shell, const QString &command)
{
    QProcess process;
    process.start(shell, {u"-c"_s, command});
    const bool ran = process.waitForFinished(120'000) && process.exitStatus() == QProcess::NormalExit
                  && process.exitCode() == 0;
    if (!ran)
        qWarning() << shell << command << process.readAllStandardError();
    return ran;
}

} // namespace

class TestCurlCommand : public QObject {
    Q_OBJECT
private slots:
    void sameBytesAsThePost_data();
    void sameBytesAsThePost();
    void bytesThatAreNotUtf8();
};

void TestCurlCommand::sameBytesAsThePost_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("body");
    QTest::newRow("location sample") << u"/api/?signature=abc&timestamp=1&nonce=2"_s << BuildLocationSample();
    QTest::newRow("shell syntax") << u"/it's/?q=$(id)&a[]=1&b={x}"_s << u"'a' \"b\" `id` $HOME \\ %s %% %1 \\n !x *"_s;
    QTest::newRow("leading @") << u"/api/"_s << u"@/etc/passwd"_s;
    QTest::newRow("leading -, NUL, control bytes") << u"/api/"_s << u"-d\0b\x01\x7f\tc\r\n"_s;
    QTest::newRow("empty") << u"/api/"_s << QString();
}

// Under sh and bash the command sends what XmlPost sends: method, target
// with query, Content-Type, body.
void TestCurlCommand::sameBytesAsThePost()
{
    QFETCH(QString, target);
    QFETCH(QString, body);
    RecordingServer server;
    XmlPost(server.url(target), body);
    QCOMPARE(server.requests().size(), 1u);
    const RecordingServer::Request posted = server.requests().front();

    const QString command = curlCommand(server.url(target), QByteArray::fromStdString(posted.body),
                                        QByteArray::fromStdString(contentTypeOf(posted)));
    QVERIFY2(!command.contains(u'\n') && !command.contains(u'\r'), qPrintable(command));
    for (const QString &shell : {u"/bin/sh"_s, u"bash"_s}) {
        QVERIFY(run(shell, command));
        const RecordingServer::Request byCurl = server.requests().back();
        QCOMPARE(byCurl.method, posted.method);
        QCOMPARE(byCurl.target, posted.target);
        QCOMPARE(contentTypeOf(byCurl), contentTypeOf(posted));
        QCOMPARE(byCurl.body, posted.body);
    }
    QCOMPARE(server.requests().size(), 3u);
}

void TestCurlCommand::bytesThatAreNotUtf8()
{
    RecordingServer server;
    const QByteArray body = "<xml>\xc4\xe3\xba\xc3 \xe4\xbd\xa0</xml>"; // GBK, then UTF-8
    QVERIFY(run(u"/bin/sh"_s, curlCommand(server.url(), body, {})));
    QCOMPARE(QByteArray::fromStdString(server.requests().front().body), body);
    QCOMPARE(contentTypeOf(server.requests().front()), "(none)");
}

QTEST_GUILESS_MAIN(TestCurlCommand)
#include "test_curl_command.moc"
