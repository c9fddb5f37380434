#include "http/post_failure.h"
#include "pay/platform_key.h"
#include "pay_certificate_row.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace Qt::Literals::StringLiterals;

class TestPayCertificateRow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exportSavesTheCertificate_data();
    void exportSavesTheCertificate();

private:
    QTemporaryDir folder_;
    PayPlatformKey key_;
};

void TestPayCertificateRow::initTestCase()
{
    QVERIFY(folder_.isValid());
    key_ = payPlatformKey(folder_.filePath(u"key.pem"_s));
}

void TestPayCertificateRow::exportSavesTheCertificate_data()
{
    QTest::addColumn<bool>("keyReads");
    QTest::addColumn<QString>("chosen");   // relative to the folder; empty: cancelled
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("message");  // what the message says, in part; empty: none shown
    QTest::newRow("saved") << true << u"platform.pem"_s << true << QString();
    QTest::newRow("cancelled") << true << QString() << false << QString();
    QTest::newRow("folder missing") << true << u"missing/platform.pem"_s << false << u"无法写入"_s;
    QTest::newRow("key unreadable") << false << u"platform.pem"_s << false << u"无法读取或生成平台密钥：坏了"_s;
}

void TestPayCertificateRow::exportSavesTheCertificate()
{
    QFETCH(bool, keyReads);
    QFETCH(QString, chosen);
    QFETCH(bool, written);
    QFETCH(QString, message);
    const QString path = chosen.isEmpty() ? QString() : folder_.filePath(chosen);
    QFile::remove(path);

    PayCertificateRow row;
    QStringList messages;
    int chooserCalls = 0;
    std::atomic<QThread *> loadedOn = nullptr;
    row.setKeyLoader([&]() -> PayPlatformKey {
        loadedOn = QThread::currentThread();
        if (!keyReads)
            throw PostFailure(PostFailure::Crypto, u"坏了"_s);
        return key_;
    });
    row.setFileChooser([&](const QString &) {
        ++chooserCalls;
        return path;
    });
    row.setMessageShower([&](const QString &text) { messages << text; });
    QSignalSpy loaded(&row, &PayCertificateRow::loaded);
    row.load();
    // Made away from the window's thread: the button waits for it.
    QVERIFY(!row.findChild<QPushButton *>(u"exportPayCertificate"_s)->isEnabled());
    QTRY_VERIFY(row.findChild<QPushButton *>(u"exportPayCertificate"_s)->isEnabled());
    QCOMPARE(loaded.size(), keyReads ? 1 : 0);
    // Making RSA-2048 takes up to a second or two: never on the window's thread.
    QVERIFY(loadedOn.load() && loadedOn.load() != QThread::currentThread());
    QCOMPARE(row.findChild<QLineEdit *>(u"paySerial"_s)->text(), keyReads ? key_.serial : QString());
    QCOMPARE(row.findChild<QLabel *>(u"payKeyProblem"_s)->isHidden(), keyReads);

    row.findChild<QPushButton *>(u"exportPayCertificate"_s)->click();
    QCOMPARE(chooserCalls, keyReads ? 1 : 0); // no file asked for when there is nothing to save
    QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(messages.first().contains(message), qPrintable(messages.first()));
    QFile file(path);
    QCOMPARE(file.exists(), written);
    if (written) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pem = file.readAll();
        QCOMPARE(pem, key_.certificatePem);
        QVERIFY(!pem.contains("PRIVATE KEY")); // the certificate only, never the key
        QCOMPARE(certificateSerial(pem), std::optional<QString>(row.serial()));
    }
}

QTEST_MAIN(TestPayCertificateRow)
#include "test_pay_certificate_row.moc"
