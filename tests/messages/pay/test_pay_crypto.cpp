#include "pay/platform_key.h"
#include "pay/resource_cipher.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kKey = "testMchAPIv3Key0testMchAPIv3Key0";
const QByteArray kNonce = "Kj7QIyUiYx1q";
const QByteArray kAssociated = "transaction";
const QByteArray kPlain =
    R"({"mchid":"1900000001","out_trade_no":"veltrane-0001","trade_state":"SUCCESS","amount":{"total":100,"currency":"CNY"}})";
// Checked against the payment SDK on npm.
const QByteArray kSealed =
    "eiAnwH6GJuhZgXCWYFS6YdsktvVgrrnmUKbc77TvNrXvVoYhEeMmRy7N+iWtli0V4wK2Ifhs5i7rbLZbxqf1zEBmSE22FyDK8VOdoN1bfQwJ8G"
    "goX+3ns4zgNS77S3fCrUgfUh3UTskCM0tUbqf6j+hLbhYhPV4jkN+pjXl7AcT2a+paIQ==";

// The sealed text with one byte of its decoded form flipped.
QByteArray flipped(const QByteArray &base64, qsizetype at)
{
    QByteArray bytes = QByteArray::fromBase64(base64);
    bytes[at < 0 ? bytes.size() + at : at] = char(bytes[at < 0 ? bytes.size() + at : at] ^ 1);
    return bytes.toBase64();
}

} // namespace

class TestPayCrypto : public QObject {
    Q_OBJECT

private slots:
    void sealsTheKnownAnswer()
    {
        QCOMPARE(sealResource(kKey, kNonce, kAssociated, kPlain), kSealed);
    }

    void opensOnlyWhatMatches_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("associated");
        QTest::addColumn<QByteArray>("sealed");
        QTest::addColumn<bool>("opens");
        QTest::newRow("the known answer") << kKey << kAssociated << kSealed << true;
        QTest::newRow("another key") << QByteArray("testMchAPIv3Key0testMchAPIv3Key1") << kAssociated << kSealed << false;
        QTest::newRow("other associated data") << kKey << QByteArray("refund") << kSealed << false;
        QTest::newRow("a ciphertext byte changed") << kKey << kAssociated << flipped(kSealed, 3) << false;
        QTest::newRow("a tag byte changed") << kKey << kAssociated << flipped(kSealed, -1) << false;
        QTest::newRow("shorter than a tag") << kKey << kAssociated << QByteArray("AAAA") << false;
        QTest::newRow("not base64") << kKey << kAssociated << QByteArray("!!!!") << false;
        QTest::newRow("a 31-byte key") << kKey.left(31) << kAssociated << kSealed << false;
    }
    void opensOnlyWhatMatches()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, associated);
        QFETCH(QByteArray, sealed);
        QFETCH(bool, opens);
        const std::optional<QByteArray> opened = openResource(key, kNonce, associated, sealed);
        QCOMPARE(opened.has_value(), opens);
        if (opens)
            QCOMPARE(*opened, kPlain);
    }

    void keyIsMadeOnceAndKeptPrivate()
    {
        const QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("Veltrane/pay-platform-key.pem"));
        const PayPlatformKey made = payPlatformKey(file);
        QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(made.serial, made.serial.toUpper());
        QCOMPARE(made.serial.size(), 40);
        QCOMPARE(certificateSerial(made.certificatePem), made.serial);
        QVERIFY(!made.certificatePem.contains("PRIVATE KEY"));

        const PayPlatformKey again = payPlatformKey(file);
        QCOMPARE(again.serial, made.serial);
        QCOMPARE(again.privateKeyPem, made.privateKeyPem);
        const QByteArray signature = signWithPlatformKey(again, "message");
        QVERIFY(verifyWithCertificate(made.certificatePem, "message", signature));
    }
};

QTEST_GUILESS_MAIN(TestPayCrypto)
#include "test_pay_crypto.moc"
