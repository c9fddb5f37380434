#include "program_run.h"
#include "recording_server.h"

#include "pay/platform_key.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>

#include <set>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"testMchAPIv3Key0testMchAPIv3Key0"_s;

} // namespace

// veltrane-post --platform pay against the sample endpoint and a recording
// server, with the platform's key in the test's own configuration folder.
class TestPayPost : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
    QString certificateFile_;

    ProgramRun pay(const QStringList &arguments)
    {
        return runPost(QStringList{u"--platform"_s, u"pay"_s} + arguments, {}, environment_);
    }

private slots:
    void initTestCase()
    {
        environment_.insert(u"XDG_CONFIG_HOME"_s, config_.path());
        environment_.remove(u"VELTRANE_APIV3_KEY"_s);
        const ProgramRun exported = pay({u"--pay-certificate"_s});
        QCOMPARE(exported.exitCode, 0);
        QVERIFY(exported.out.startsWith("-----BEGIN CERTIFICATE-----"));
        QVERIFY2(exported.err.contains(certificateSerial(exported.out).value_or(u"?"_s)), qPrintable(exported.err));
        certificateFile_ = config_.filePath(u"platform.pem"_s);
        QFile file(certificateFile_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(exported.out);
    }

    void againstTheSampleEndpoint_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        for (const char *sample : {"transaction.success", "refund.success", "refund.abnormal", "refund.closed"})
            QTest::newRow(sample) << QStringList{u"--sample"_s, QString::fromLatin1(sample), u"--set"_s,
                                                 u"out_trade_no=A123"_s, u"--set"_s, u"amount.total=1"_s}
                                  << 0 << u"\"out_trade_no\":\"A123\""_s;
        QTest::newRow("probe") << QStringList{u"--probe"_s} << 0 << u"签名验证失败"_s;
        QTest::newRow("wrong-key probe") << QStringList{u"--probe-key"_s} << 0 << u"解密失败"_s;
    }
    void againstTheSampleEndpoint()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        SampleEndpointProcess endpoint({u"--platform"_s, u"pay"_s, u"--apiv3-key"_s, kKey, u"--certificate"_s, certificateFile_});
        QVERIFY(endpoint.port() > 0);
        const ProgramRun run = pay(QStringList{endpoint.url(), u"--mchid"_s, u"1900000001"_s, u"--apiv3-key"_s, kKey}
                                   + arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(QString::fromUtf8(run.out).contains(out), run.out.constData());
    }

    // A refused notification comes again on the (scaled) schedule: the same
    // body each time, a fresh nonce and signature; taken at the third.
    void retriesUntilTaken_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("sendings");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("--time-scale") << QStringList{u"--time-scale"_s, u"100000"_s} << 3 << 0;
        QTest::newRow("--deliver --time-scale") << QStringList{u"--deliver"_s, u"--time-scale"_s, u"100000"_s} << 3 << 0;
        QTest::newRow("neither: sent once") << QStringList{} << 1 << 1;
        QTest::newRow("--json: a line per sending") << QStringList{u"--json"_s, u"--time-scale=100000"_s} << 3 << 0;
    }
    void retriesUntilTaken()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, sendings);
        QFETCH(int, exitCode);
        RecordingServer server;
        server.setAnswerer([&server](const RecordingServer::Request &) {
            if (server.requests().size() < 3)
                return RecordingServer::Answer{500, "application/json", R"({"code":"FAIL","message":"busy"})"};
            return RecordingServer::Answer{204, "", ""};
        });
        environment_.insert(u"VELTRANE_APIV3_KEY"_s, kKey);
        const ProgramRun run = pay(QStringList{server.url(), u"--mchid"_s, u"1"_s} + arguments);
        environment_.remove(u"VELTRANE_APIV3_KEY"_s);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(run.err.contains(u"第 %1 次发送"_s.arg(sendings)), qPrintable(run.err));
        const std::vector<RecordingServer::Request> requests = server.requests();
        QCOMPARE(int(requests.size()), sendings);
        std::set<std::string> nonces, signatures;
        for (const RecordingServer::Request &request : requests) {
            QCOMPARE(request.body, requests.front().body);
            nonces.insert(request.headers.find("Wechatpay-Nonce")->second);
            signatures.insert(request.headers.find("Wechatpay-Signature")->second);
        }
        QCOMPARE(int(nonces.size()), sendings);
        QCOMPARE(int(signatures.size()), sendings);
        if (arguments.contains(u"--json"_s)) {
            // As other runs print them: one object a line, the sending's number in "index".
            const QList<QByteArray> lines = run.out.trimmed().split('\n');
            QCOMPARE(int(lines.size()), sendings);
            for (int i = 0; i < sendings; ++i) {
                const QJsonObject line = QJsonDocument::fromJson(lines.at(i)).object();
                QCOMPARE(line.value(u"index"_s).toInt(), i + 1);
                QCOMPARE(line.value(u"request"_s)[u"body"_s].toString().toStdString(), requests.front().body);
            }
        }
    }

    // --saved-settings: the merchant id, AppID and key as the window saved them.
    void savedSettings_data()
    {
        QTest::addColumn<QString>("saved"); // the [access] lines; empty: no file
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // on standard error, in part
        const QString pay = u"platform=pay\nmchId=1900000001\nappId=wxd678efh567hg6787\napiV3Key="_s + kKey;
        QTest::newRow("--platform pay") << pay << QStringList{u"--platform"_s, u"pay"_s, u"--saved-settings"_s} << 0
                                        << u"第 1 次发送"_s;
        QTest::newRow("saved on 微信支付, no --platform") << pay << QStringList{u"--saved-settings"_s} << 0 << u"第 1 次发送"_s;
        QTest::newRow("a saved key too short") << u"platform=pay\nmchId=1\napiV3Key=short"_s
                                               << QStringList{u"--saved-settings"_s} << 2 << u"保存的接入设置"_s;
        QTest::newRow("nothing saved") << QString() << QStringList{u"--platform"_s, u"pay"_s, u"--saved-settings"_s} << 2
                                       << u"没有保存的接入设置"_s;
    }
    void savedSettings()
    {
        QFETCH(QString, saved);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString file = config_.filePath(u"Veltrane/veltrane.conf"_s);
        QVERIFY(QDir().mkpath(config_.filePath(u"Veltrane"_s)));
        QFile::remove(file);
        if (!saved.isEmpty()) {
            QFile conf(file);
            QVERIFY(conf.open(QIODevice::WriteOnly));
            conf.write((u"[access]\n"_s + saved + u'\n').toUtf8());
        }
        const auto removeFile = qScopeGuard([&file] { QFile::remove(file); });
        SampleEndpointProcess endpoint({u"--platform"_s, u"pay"_s, u"--apiv3-key"_s, kKey, u"--certificate"_s, certificateFile_});
        QVERIFY(endpoint.port() > 0);
        const ProgramRun run = runPost(QStringList{endpoint.url()} + arguments, {}, environment_);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
    }

    void refusesWhatCannotBeSent_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        const QString url = u"http://127.0.0.1:9/api/"_s;
        QTest::newRow("a 31-character key") << QStringList{url, u"--mchid"_s, u"1"_s, u"--apiv3-key"_s, kKey.left(31)} << u"32 个字母或数字"_s;
        QTest::newRow("a key with a Chinese character") << QStringList{url, u"--mchid"_s, u"1"_s, u"--apiv3-key"_s, kKey.left(31) + u"钥"_s} << u"只能含英文字母和数字"_s;
        QTest::newRow("a dash in the key") << QStringList{url, u"--mchid"_s, u"1"_s, u"--apiv3-key"_s, kKey.left(31) + u"-"_s} << u"第 32 个字符 \"-\""_s;
        QTest::newRow("no key") << QStringList{url, u"--mchid"_s, u"1"_s} << u"VELTRANE_APIV3_KEY"_s;
        QTest::newRow("no mchid") << QStringList{url, u"--apiv3-key"_s, kKey} << u"--mchid"_s;
        QTest::newRow("a bad --set") << QStringList{url, u"--mchid"_s, u"1"_s, u"--apiv3-key"_s, kKey, u"--set"_s, u"amount.total=x"_s} << u"数字"_s;
        QTest::newRow("both probes") << QStringList{url, u"--mchid"_s, u"1"_s, u"--apiv3-key"_s, kKey, u"--probe"_s, u"--probe-key"_s} << u"只能选一个"_s;
        QTest::newRow("an unknown sample") << QStringList{url, u"--mchid"_s, u"1"_s, u"--apiv3-key"_s, kKey, u"--sample"_s, u"text"_s} << u"refund.closed"_s;
        QTest::newRow("a zero scale") << QStringList{url, u"--mchid"_s, u"1"_s, u"--apiv3-key"_s, kKey, u"--time-scale"_s, u"0"_s} << u"--time-scale"_s;
    }
    void refusesWhatCannotBeSent()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const ProgramRun run = pay(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestPayPost)
#include "test_pay_post.moc"
