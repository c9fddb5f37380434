#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"

#include <QCryptographicHash>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKnownKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
const QString kWeComKey = u"jWmYm7qr5nMoAUwZRjGtBxmz3KA1tkAj3ykkR6q2B2C"_s;

QByteArray knownKey()
{
    return decodeAesKey(kKnownKey).value_or(QByteArray());
}

} // namespace

class TestMessageCrypto : public QObject {
    Q_OBJECT

private slots:
    void signature_data()
    {
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the platform's known answer")
            << QStringList{u"AAAAA"_s, u"1714036504"_s, u"1514711492"_s} << u"f464b24fc39322e44b38aa78f5edd27bd1441696"_s;
        // Sorted as UTF-8 bytes: "é" (C3 A9) after "z"; sha1("abzé").
        QTest::newRow("non-ASCII sorts after ASCII")
            << QStringList{u"é"_s, u"z"_s, u"ab"_s}
            << QString::fromLatin1(QCryptographicHash::hash(u"abzé"_s.toUtf8(), QCryptographicHash::Sha1).toHex());
    }
    void signature()
    {
        QFETCH(QStringList, parts);
        QFETCH(QString, expected);
        QCOMPARE(platformSignature(parts), expected);
        QVERIFY(signaturesEqual(expected, platformSignature(parts)));
        QVERIFY(!signaturesEqual(expected, expected.toUpper()));
    }

    void aesKey_data()
    {
        QTest::addColumn<QString>("encodingAesKey");
        QTest::addColumn<bool>("valid");
        // Its last character carries bits past the 32 bytes; the platform's keys do too.
        QTest::newRow("the known key") << kKnownKey << true;
        // WeCom's documented key: its last character "C" leaves the bits 10 over.
        QTest::newRow("WeCom's key, trailing bits set") << kWeComKey << true;
        QTest::newRow("42 characters") << kKnownKey.chopped(1) << false;
        QTest::newRow("already padded") << kKnownKey.chopped(1) + u'=' << false;
        QTest::newRow("a space inside") << u"abcdefghijklmnopqrstuvwxyz 123456789ABCDEFG"_s << false;
        QTest::newRow("a Chinese character") << u"abcdefghijklmnopqrstuvwxyz中123456789ABCDEFG"_s << false;
    }
    void aesKey()
    {
        QFETCH(QString, encodingAesKey);
        QFETCH(bool, valid);
        const auto key = decodeAesKey(encodingAesKey);
        QCOMPARE(key.has_value(), valid);
        if (key)
            QCOMPARE(key->size(), 32);
    }

    void knownEncryption()
    {
        const QString encrypt = encryptMessage(knownKey(), "aaaabbbbccccdddd", u"我是中文abcd123"_s.toUtf8(),
                                               "wxb11529c136998cb6");
        QCOMPARE(encrypt, u"jn1L23DB+6ELqJ+6bruv21Y6MD7KeIfP82D6gU39rmkgczbWwt5+3bnyg5K55bgVtVzd832WzZGMhkP72vVOfg=="_s);
    }

    // WeCom's callbacks, computed with its SDK: the receive id is the CorpID.
    // The msg_signature is over the whole Encrypt text, so it pins every character.
    void weComKnownAnswers_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QString>("encryptStart");
        QTest::addColumn<int>("encryptSize");
        QTest::addColumn<QString>("msgSignature");
        QTest::newRow("the URL check's echostr")
            << QByteArray("1616140317555161061")
            << u"ZA4HuQypHxnRrA+A6SOHGBrLwC4qTpioFBAwS8sWQargL2v36cqpkflnTETiEfx1ENyxF//0qabzdITnXXrAGA=="_s << 88
            << u"b309c10440a256fce7ee971dcb3d4bb90bb84b58"_s;
        QTest::newRow("a text message")
            << QByteArray("<xml><ToUserName><![CDATA[wx5823bf96d3bd56c7]]></ToUserName><FromUserName><![CDATA[mycreate]]>"
                          "</FromUserName><CreateTime>1409659813</CreateTime><MsgType><![CDATA[text]]></MsgType><Content>"
                          "<![CDATA[hello]]></Content><MsgId>4561255354251345929</MsgId><AgentID>218</AgentID></xml>")
            // 277 bytes of message: 320 sealed, 428 characters of base64 (the SDK's
            // msg_signature below is over exactly these 428).
            << u"ZA4HuQypHxnRrA+A6SOHGPpA4BXkaFIE0s/1C2e0ZXuI"_s << 428 << u"fb27d9bb54e9dd8c2d80a6ec1a67cb8d794fdd01"_s;
    }
    void weComKnownAnswers()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QString, encryptStart);
        QFETCH(int, encryptSize);
        QFETCH(QString, msgSignature);
        const QByteArray key = decodeAesKey(kWeComKey).value_or(QByteArray());
        const QString encrypt = encryptMessage(key, "aaaabbbbccccdddd", plain, "wx5823bf96d3bd56c7");
        QVERIFY(encrypt.startsWith(encryptStart));
        QCOMPARE(encrypt.size(), encryptSize);
        QCOMPARE(platformSignature({u"QDG6eK"_s, u"1409659589"_s, u"263014780"_s, encrypt}), msgSignature);
        const auto opened = decryptMessage(key, encrypt);
        QVERIFY(std::holds_alternative<DecryptedMessage>(opened));
        QCOMPARE(std::get<DecryptedMessage>(opened).message, plain);
        QCOMPARE(std::get<DecryptedMessage>(opened).appId, QByteArray("wx5823bf96d3bd56c7"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("appId");
        QTest::newRow("empty") << QByteArray() << QByteArray("wxappid");
        // 16 + 4 + 8 + 4 = 32: a whole block of padding follows.
        QTest::newRow("fills the block exactly") << QByteArray("12345678") << QByteArray("wxid");
        QTest::newRow("CR LF and Chinese") << u"<xml>\r\n<Content>你好</Content>\r\n</xml>"_s.toUtf8() << QByteArray("wxappid");
        QTest::newRow("empty AppID") << QByteArray("hello") << QByteArray();
    }
    void roundTrip()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, appId);
        const QString encrypt = encryptMessage(knownKey(), "0123456789abcdef", message, appId);
        QCOMPARE(QByteArray::fromBase64(encrypt.toLatin1()).size() % 32, 0);
        const auto opened = decryptMessage(knownKey(), encrypt);
        QVERIFY(std::holds_alternative<DecryptedMessage>(opened));
        QCOMPARE(std::get<DecryptedMessage>(opened).message, message);
        QCOMPARE(std::get<DecryptedMessage>(opened).appId, appId);
    }

    void decryptFailure_data()
    {
        QTest::addColumn<QString>("encrypt");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("failure");
        const QString good = encryptMessage(knownKey(), "aaaabbbbccccdddd", "hello", "wxappid");
        const QByteArray raw = QByteArray::fromBase64(good.toLatin1());
        QTest::newRow("not base64") << good.left(20) + u'*' + good.mid(21) << knownKey() << int(DecryptFailure::BadBase64);
        QTest::newRow("half a block") << QString::fromLatin1(raw.left(24).toBase64()) << knownKey()
                                      << int(DecryptFailure::BadLength);
        QTest::newRow("empty") << QString() << knownKey() << int(DecryptFailure::BadLength);
        // The block before the last now ends the text: the AppID's bytes stand where the pad should be.
        QTest::newRow("last block cut off") << QString::fromLatin1(raw.chopped(16).toBase64()) << knownKey()
                                            << int(DecryptFailure::BadPadding);
        QByteArray otherKey = knownKey();
        otherKey[0] = 'X';
        QTest::newRow("another key") << good << otherKey << int(DecryptFailure::BadPadding);
        // CBC: flipping a byte of the first block flips the same byte of the
        // second block's text, here the length field's top byte: 0xff000005.
        QByteArray flipped = raw;
        flipped[0] = char(flipped[0] ^ 0xff);
        QTest::newRow("length past the end") << QString::fromLatin1(flipped.toBase64()) << knownKey()
                                             << int(DecryptFailure::LengthOutOfRange);
        // The first block altered so that the second opens as a whole block of
        // padding: 16 bytes are left, fewer than the random bytes and length field.
        const QByteArray shortRaw = QByteArray::fromBase64(encryptMessage(knownKey(), "aaaabbbbccccdddd", {}, {}).toLatin1());
        QByteArray shortened = shortRaw;
        const QByteArray secondPlain = QByteArray(4, '\0') + QByteArray(12, '\x0c');
        for (int i = 0; i < 16; ++i)
            shortened[i] = char(shortRaw[i] ^ secondPlain[i] ^ 0x10);
        QTest::newRow("shorter than its header") << QString::fromLatin1(shortened.toBase64()) << knownKey()
                                                 << int(DecryptFailure::LengthOutOfRange);
    }
    void decryptFailure()
    {
        QFETCH(QString, encrypt);
        QFETCH(QByteArray, key);
        QFETCH(int, failure);
        const auto opened = decryptMessage(key, encrypt);
        QVERIFY(std::holds_alternative<DecryptFailure>(opened));
        QCOMPARE(int(std::get<DecryptFailure>(opened)), failure);
        QVERIFY(!describeDecryptFailure(std::get<DecryptFailure>(opened)).isEmpty());
    }

};

QTEST_APPLESS_MAIN(TestMessageCrypto)
#include "test_message_crypto.moc"
