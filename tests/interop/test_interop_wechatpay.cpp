#include "pay/pay_post.h"
#include "pay/platform_key.h"
#include "pay/resource_cipher.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"testMchAPIv3Key0testMchAPIv3Key0"_s;
const QString kModules = QStringLiteral(VELTRANE_INTEROP_PREFIX "/node_modules");

QStringList endpointArguments(const QStringList &rest)
{
    return QStringList{QStringLiteral(VELTRANE_INTEROP_PAY_SCRIPT), kModules, kKey} + rest;
}

} // namespace

// Sends payment notifications to an endpoint built on the npm package
// wechatpay-node-v3, given Veltrane's certificate by serial number.
class TestInteropWechatpay : public QObject {
    Q_OBJECT

    QString node_;
    QTemporaryDir folder_;
    PayPlatformKey key_;
    QProcess endpoint_;
    QString url_;

    PayPostOutcome send(const QString &sampleName, const QJsonObject &changes, PayNotificationKind kind)
    {
        const PaySample sample = *findPaySample(sampleName);
        AccessSettings access;
        access.mchId = u"1900000001"_s;
        access.appId = u"wx0000000000000001"_s;
        const QDateTime now = QDateTime::currentDateTime();
        QJsonObject resource = paySampleResource(sample, access, now);
        for (auto change = changes.begin(); change != changes.end(); ++change)
            resource[change.key()] = change.value();
        return postPayNotification(url_, makePayNotification(sample, resource, kKey.toUtf8(), now, kind), key_);
    }

private slots:
    void initTestCase()
    {
        node_ = QStandardPaths::findExecutable(u"node"_s);
        if (node_.isEmpty())
            QSKIP("node is not installed");
        if (!QDir(kModules).exists(u"wechatpay-node-v3/package.json"_s))
            QSKIP("the npm package wechatpay-node-v3 is not installed: the test interop_npm_install_wechatpay skipped or failed");
        key_ = payPlatformKey(folder_.filePath(u"key.pem"_s));
        const QString certificate = folder_.filePath(u"platform.pem"_s);
        QFile file(certificate);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(key_.certificatePem) > 0);
        file.close();

        endpoint_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        endpoint_.start(node_, endpointArguments({certificate, key_.serial}));
        QVERIFY2(endpoint_.waitForStarted(), qPrintable(endpoint_.errorString()));
        while (!endpoint_.canReadLine()) {
            QVERIFY2(endpoint_.state() == QProcess::Running, "the wechatpay endpoint ended before it listened");
            endpoint_.waitForReadyRead(1000);
        }
        const QString line = QString::fromUtf8(endpoint_.readLine()).trimmed();
        QVERIFY2(line.startsWith(u"listening "_s), qPrintable(line));
        url_ = u"http://127.0.0.1:%1/notify"_s.arg(line.mid(10));
    }

    void cleanupTestCase()
    {
        if (endpoint_.state() != QProcess::NotRunning) {
            endpoint_.terminate();
            endpoint_.waitForFinished();
        }
    }

    // The SDK opens what Veltrane sealed, byte for byte the known answer.
    void opensTheKnownAnswer()
    {
        const QByteArray plain =
            R"({"mchid":"1900000001","out_trade_no":"veltrane-0001","trade_state":"SUCCESS","amount":{"total":100,"currency":"CNY"}})";
        QProcess open;
        open.start(node_, endpointArguments({u"--open"_s, QString::fromLatin1(sealResource(kKey.toUtf8(), "Kj7QIyUiYx1q", "transaction", plain)),
                                             u"transaction"_s, u"Kj7QIyUiYx1q"_s}));
        QVERIFY(open.waitForFinished(60'000));
        QCOMPARE(open.readAllStandardOutput(), plain);
    }

    void acceptsEachSample_data()
    {
        QTest::addColumn<QString>("sample");
        for (const char *name : {"transaction.success", "refund.success", "refund.abnormal", "refund.closed"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void acceptsEachSample()
    {
        QFETCH(QString, sample);
        const PayPostOutcome outcome = send(sample, {{u"out_trade_no"_s, u"A123"_s}}, PayNotificationKind::Normal);
        QVERIFY2(outcome.record.status() == 200, outcome.record.answerText.toUtf8().constData());
        const QJsonObject read = QJsonDocument::fromJson(outcome.record.answerText.toUtf8()).object()[u"resource"_s].toObject();
        QCOMPARE(read[u"out_trade_no"_s].toString(), u"A123"_s);
        QCOMPARE(read[u"mchid"_s].toString(), u"1900000001"_s);
    }

    void refusesTheSignatureProbe()
    {
        const PayPostOutcome outcome = send(u"transaction.success"_s, {}, PayNotificationKind::SignatureProbe);
        QCOMPARE(outcome.record.status(), 401);
        QCOMPARE(outcome.verdict.first().outcome, VerdictLine::Pass);
    }

    // The trap the wrong-key probe is for: decipher_gcm never checks the tag,
    // so an endpoint built on it takes garbage, and the verdict says so.
    void wrongKeyProbeShowsTheUncheckedDecryption()
    {
        const PayPostOutcome outcome = send(u"transaction.success"_s, {}, PayNotificationKind::WrongKeyProbe);
        QCOMPARE(outcome.record.status(), 200);
        QCOMPARE(outcome.verdict.first().outcome, VerdictLine::Fail);
        QVERIFY(outcome.verdict.first().text.contains(u"接收端没有校验解密结果"_s));
    }
};

QTEST_GUILESS_MAIN(TestInteropWechatpay)
#include "test_interop_wechatpay.moc"
