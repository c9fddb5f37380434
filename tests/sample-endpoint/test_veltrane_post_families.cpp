#include "family_requests.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// build/veltrane-sample-endpoint playing one family on a free loopback port.
class SampleEndpoint {
public:
    explicit SampleEndpoint(const QStringList &arguments)
    {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(VELTRANE_SAMPLE_ENDPOINT_PROGRAM), QStringList{u"--port=0"_s} + arguments);
        static const QRegularExpression listening(u"127\\.0\\.0\\.1:(\\d+) "_s);
        // Waits for its "listening" line, or for it to end.
        while (port_ < 0 && process_.waitForReadyRead(30'000)) {
            output_ += process_.readAll();
            if (const auto match = listening.match(QString::fromUtf8(output_)); match.hasMatch())
                port_ = match.captured(1).toInt();
        }
    }
    ~SampleEndpoint()
    {
        process_.kill();
        process_.waitForFinished();
    }
    int port() const { return port_; }
    QString url() const { return u"http://127.0.0.1:%1/api/"_s.arg(port_); }
    QString output() const { return QString::fromUtf8(output_); }

private:
    QProcess process_;
    QByteArray output_;
    int port_ = -1;
};

QString postHelp()
{
    QProcess process;
    process.start(QStringLiteral(VELTRANE_POST_PROGRAM), {u"--help"_s});
    process.waitForFinished(60'000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

// veltrane-post against the sample endpoint playing each family: both sides
// of every family's rules on one machine, as a developer tries them.
class TestVeltranePostFamilies : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(postHelp().contains(u"--platform"_s), "veltrane-post --help lists no --platform");
        const QStringList keyed = {u"--token"_s, kFamilyToken, u"--aes-key"_s, kFamilyAesKey};
        m_endpoints[Platform::WeCom] = std::make_shared<SampleEndpoint>(
            QStringList{u"--platform=wecom"_s, u"--corpid"_s, QString::fromLatin1(kCorpId)} + keyed);
        m_endpoints[Platform::MiniProgram] = std::make_shared<SampleEndpoint>(
            QStringList{u"--platform=miniprogram"_s, u"--appid"_s, QString::fromLatin1(kMiniAppId)} + keyed);
        m_endpoints[Platform::OpenPlatform] = std::make_shared<SampleEndpoint>(
            QStringList{u"--platform=open"_s, u"--appid"_s, QString::fromLatin1(kComponentAppId)} + keyed);
        for (const auto &endpoint : std::as_const(m_endpoints))
            QVERIFY2(endpoint->port() > 0, qPrintable(endpoint->output()));
    }

    void passesEachFamily_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QStringList>("arguments"); // after the URL
        QTest::addColumn<QString>("answer");        // a part of what it prints
        for (const FamilyPost &post : familyPosts(true))
            QTest::newRow(qPrintable(post.name)) << int(post.platform) << post.arguments << post.answer;
    }
    void passesEachFamily()
    {
        QFETCH(int, platform);
        QFETCH(QStringList, arguments);
        QFETCH(QString, answer);
        QProcess post;
        post.start(QStringLiteral(VELTRANE_POST_PROGRAM), QStringList{m_endpoints.value(Platform(platform))->url()} + arguments);
        QVERIFY(post.waitForFinished(120'000));
        const QString out = QString::fromUtf8(post.readAllStandardOutput());
        QVERIFY2(post.exitStatus() == QProcess::NormalExit && post.exitCode() == 0,
                 qPrintable(QString::fromUtf8(post.readAllStandardError()) + out));
        QVERIFY2(out.contains(answer), qPrintable(out));
    }

private:
    QMap<Platform, std::shared_ptr<SampleEndpoint>> m_endpoints;
};

QTEST_GUILESS_MAIN(TestVeltranePostFamilies)
#include "test_veltrane_post_families.moc"
