#include "http/answer_opening.h"
#include "http/post_failure.h"
#include "platform/samples.h"
#include "platform/signed_post.h"
#include "platform/url_check.h"
#include "xml/xml_fields.h"
#include "http/xml_post.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kToken = u"veltrane"_s;
const QString kAppId = u"wxveltrane1234567"_s;
const QString kAesKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;

AccessSettings access(MessageMode mode)
{
    return {kToken, kAesKey, kAppId, QString(), mode};
}

} // namespace

// Posts to an endpoint built on the npm package wechat, the SDK endpoint
// developers use most on node: what it accepts, the platform's real pushes
// get through too.
class TestInteropWechat : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString node = QStandardPaths::findExecutable(u"node"_s);
        if (node.isEmpty())
            QSKIP("node is not installed");
        const QString modules = QStringLiteral(VELTRANE_INTEROP_PREFIX "/node_modules");
        if (!QDir(modules).exists(u"wechat/package.json"_s))
            QSKIP("the npm package wechat is not installed: the test interop_npm_install skipped or failed");

        m_endpoint.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_endpoint.start(node, {QStringLiteral(VELTRANE_INTEROP_SCRIPT), modules, kToken, kAppId, kAesKey});
        QVERIFY2(m_endpoint.waitForStarted(), qPrintable(m_endpoint.errorString()));
        // Waits for its one line, however slow a loaded machine makes node's start.
        while (!m_endpoint.canReadLine()) {
            QVERIFY2(m_endpoint.state() == QProcess::Running, "the wechat endpoint ended before it listened");
            m_endpoint.waitForReadyRead(1000);
        }
        const QString line = QString::fromUtf8(m_endpoint.readLine()).trimmed();
        QVERIFY2(line.startsWith(u"listening "_s), qPrintable(line));
        m_url = u"http://127.0.0.1:%1/wechat?from=veltrane"_s.arg(line.mid(10));
    }

    void cleanupTestCase()
    {
        if (m_endpoint.state() != QProcess::NotRunning) {
            m_endpoint.terminate();
            m_endpoint.waitForFinished();
        }
    }

    void acceptsSignedPush_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("content");
        const struct {
            const char *name;
            MessageMode mode;
        } modes[] = {{"plain", MessageMode::Plain}, {"compatible", MessageMode::Compatible}, {"safe", MessageMode::Safe}};
        for (const auto &[name, mode] : modes) {
            QTest::addRow("%s, picture", name) << int(mode) << BuildPictureSample() << u"wechat 收到 image：this is a url"_s;
            QTest::addRow("%s, text", name) << int(mode) << BuildTextSample() << u"wechat 收到 text：this is a test"_s;
            QTest::addRow("%s, location", name) << int(mode) << BuildLocationSample() << u"wechat 收到 location：位置信息"_s;
        }
    }
    void acceptsSignedPush()
    {
        QFETCH(int, mode);
        QFETCH(QString, body);
        QFETCH(QString, content);
        const SignedPost post = signPost(m_url, body, access(MessageMode(mode)), freshSigningInputs());
        QVERIFY(!post.problem);
        const QString answer = XmlPost(post.url, post.body);

        // The SDK answers encrypted exactly when the push was.
        const OpenedAnswer opened = openAnswer(answer, access(MessageMode(mode)));
        QCOMPARE(opened.encrypted, mode != int(MessageMode::Plain));
        QVERIFY2(!opened.problem, qPrintable(opened.problem.value_or(QString())));
        const auto reply = rootChildFields(opened.encrypted ? opened.text.value_or(QString()) : answer);
        QVERIFY2(reply.value(u"Content"_s) == content, qPrintable(answer));
        QCOMPARE(reply.value(u"ToUserName"_s), u"fromUser"_s);
    }

    // The SDK does check: a post signed with another token is turned away.
    void refusesOtherToken()
    {
        AccessSettings other = access(MessageMode::Safe);
        other.token = u"another"_s;
        const SignedPost post = signPost(m_url, BuildTextSample(), other, freshSigningInputs());
        QCOMPARE(XmlPost(post.url, post.body), u"Invalid signature"_s);
    }

    void passesUrlCheck()
    {
        const UrlCheckResult result = checkUrl(m_url, access(MessageMode::Safe));
        QVERIFY2(result.passed, qPrintable(result.explanation));
    }

private:
    QProcess m_endpoint;
    QString m_url;
};

QTEST_GUILESS_MAIN(TestInteropWechat)
#include "test_interop_wechat.moc"
