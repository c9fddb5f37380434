#include "answer_opening.h"
#include "message_crypto.h"
#include "platform_signature.h"
#include "samples.h"
#include "signed_post.h"

#include <QTest>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
const SigningInputs kInputs{u"1714036504"_s, u"1514711492"_s, "aaaabbbbccccdddd"};
// signature over AAAAA and kInputs.
const QString kSignature = u"f464b24fc39322e44b38aa78f5edd27bd1441696"_s;

AccessSettings access(MessageMode mode, const QString &token = u"AAAAA"_s)
{
    return {token, kKey, u"wxb11529c136998cb6"_s, QString(), mode};
}

// The answer an SDK sends: Encrypt, MsgSignature, TimeStamp, Nonce.
QString encryptedAnswer(const QString &encrypt, const QString &timestamp, const QString &signature)
{
    return u"<xml><Encrypt><![CDATA[%1]]></Encrypt><MsgSignature><![CDATA[%2]]></MsgSignature>"
           "<TimeStamp>%3</TimeStamp><Nonce><![CDATA[42]]></Nonce></xml>"_s.arg(encrypt, signature, timestamp);
}

QString signedAnswer(const QString &encrypt, const QString &timestamp = u"1714036504"_s)
{
    return encryptedAnswer(encrypt, timestamp, platformSignature({u"AAAAA"_s, timestamp, u"42"_s, encrypt}));
}

QString encrypted(const QByteArray &message, const QByteArray &appId = "wxb11529c136998cb6")
{
    return encryptMessage(*decodeAesKey(kKey), "0123456789abcdef", message, appId);
}

} // namespace

class TestSignedPost : public QObject {
    Q_OBJECT

private slots:
    void withoutTokenUnchanged()
    {
        const QString url = u"http://127.0.0.1:1/api/?signature=typed#x"_s;
        const QString body = u"not xml\r\n"_s;
        for (MessageMode mode : {MessageMode::Plain, MessageMode::Compatible, MessageMode::Safe}) {
            const SignedPost post = signPost(url, body, access(mode, QString()), kInputs);
            QCOMPARE(post.url, url);
            QCOMPARE(post.body, body);
            QVERIFY(!post.plainMessage && !post.problem);
        }
    }

    void query_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        const QString ours = u"signature="_s + kSignature + u"&timestamp=1714036504&nonce=1514711492&openid=fromUser"_s;
        QTest::newRow("no query") << u"http://h/api/"_s << u"http://h/api/?"_s + ours;
        QTest::newRow("empty query") << u"http://h/api/?"_s << u"http://h/api/?"_s + ours;
        QTest::newRow("user's kept in order") << u"http://h/api/?b=2&a=1"_s << u"http://h/api/?b=2&a=1&"_s + ours;
        QTest::newRow("same names replaced")
            << u"http://h/api/?timestamp=1&x=%20y&nonce=2&signature=3&openid=4"_s << u"http://h/api/?x=%20y&"_s + ours;
        QTest::newRow("encoded name is the same name") << u"http://h/api/?n%6Fnce=1&k"_s << u"http://h/api/?k&"_s + ours;
        QTest::newRow("fragment stays last") << u"http://h/api/?a=1#top"_s << u"http://h/api/?a=1&"_s + ours + u"#top"_s;
    }
    void query()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QCOMPARE(signPost(url, BuildTextSample(), access(MessageMode::Plain), kInputs).url, expected);
    }

    void openIdEncoded()
    {
        AccessSettings settings = access(MessageMode::Plain);
        settings.openId = u"o&x=1 中"_s;
        const SignedPost post = signPost(u"http://h/"_s, BuildTextSample(), settings, kInputs);
        QVERIFY(post.url.endsWith(u"&openid=o%26x%3D1%20%E4%B8%AD"_s));
    }

    void encryptedBody_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("shape"); // %1: the Encrypt element
        const QString text = BuildTextSample();
        QTest::newRow("compatible: before </xml>") << int(MessageMode::Compatible) << text
                                                   << text.chopped(6) + u"%1</xml>"_s;
        QTest::newRow("compatible: no </xml>, appended") << int(MessageMode::Compatible) << u"hi"_s << u"hi%1"_s;
        QTest::newRow("safe: ToUserName and Encrypt") << int(MessageMode::Safe) << text
            << u"<xml><ToUserName><![CDATA[toUser]]></ToUserName>%1</xml>"_s;
        QTest::newRow("safe: no ToUserName") << int(MessageMode::Safe) << u"hi"_s
            << u"<xml><ToUserName><![CDATA[]]></ToUserName>%1</xml>"_s;
    }
    void encryptedBody()
    {
        QFETCH(int, mode);
        QFETCH(QString, body);
        QFETCH(QString, shape);
        const SignedPost post = signPost(u"http://h/api/"_s, body, access(MessageMode(mode)), kInputs);
        QVERIFY(!post.problem);
        QCOMPARE(post.plainMessage, std::optional<QString>(body));

        const QUrlQuery query(post.url.mid(post.url.indexOf(u'?') + 1));
        const QString encrypt = encryptMessage(*decodeAesKey(kKey), kInputs.random16, body.toUtf8(), "wxb11529c136998cb6");
        QCOMPARE(post.body, shape.arg(u"<Encrypt><![CDATA["_s + encrypt + u"]]></Encrypt>"_s));
        QCOMPARE(query.queryItemValue(u"encrypt_type"_s), u"aes"_s);
        QCOMPARE(query.queryItemValue(u"signature"_s), kSignature);
        QCOMPARE(query.queryItemValue(u"msg_signature"_s),
                 platformSignature({u"AAAAA"_s, kInputs.timestamp, kInputs.nonce, encrypt}));
    }

    void badKeyRefused()
    {
        AccessSettings settings = access(MessageMode::Safe);
        settings.aesKey.chop(1);
        QVERIFY(signPost(u"http://h/"_s, BuildTextSample(), settings, kInputs).problem);
    }

    // One table for the checks of an encrypted answer: "+" passed, "-" failed,
    // for 签名, 解密, AppID in order.
    void answer_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("aesKey");
        QTest::addColumn<QString>("checks");
        const QString good = encrypted("<xml>reply</xml>");
        QTest::newRow("sound") << signedAnswer(good) << kKey << u"+++"_s;
        QTest::newRow("milliseconds timestamp") << signedAnswer(good, u"1714036504123"_s) << kKey << u"+++"_s;
        QString altered = good;
        altered[30] = altered[30] == u'A' ? u'B' : u'A';
        QTest::newRow("one byte of Encrypt changed")
            << encryptedAnswer(altered, u"1714036504"_s, platformSignature({u"AAAAA"_s, u"1714036504"_s, u"42"_s, good}))
            << kKey << u"-"_s;
        QTest::newRow("wrong AppID") << signedAnswer(encrypted("<xml>reply</xml>", "wxother")) << kKey << u"++-"_s;
        const QByteArray raw = QByteArray::fromBase64(good.toLatin1());
        QTest::newRow("bad padding") << signedAnswer(QString::fromLatin1(raw.chopped(16).toBase64())) << kKey << u"+-"_s;
        QTest::newRow("wrong MsgSignature") << encryptedAnswer(good, u"1714036504"_s, QString(40, u'0')) << kKey << u"-++"_s;
        QTest::newRow("no MsgSignature") << u"<xml><Encrypt>%1</Encrypt></xml>"_s.arg(good) << kKey << u"-++"_s;
        QTest::newRow("no key set") << signedAnswer(good) << QString() << u"+-"_s;
    }
    void answer()
    {
        QFETCH(QString, answer);
        QFETCH(QString, aesKey);
        QFETCH(QString, checks);
        AccessSettings settings = access(MessageMode::Safe);
        settings.aesKey = aesKey;
        const OpenedAnswer opened = openAnswer(answer, settings);
        QVERIFY(opened.encrypted);
        QString found;
        for (const AnswerCheck &check : opened.checks)
            found += check.passed ? u'+' : u'-';
        // A changed byte may or may not break the decryption; the signature catches it either way.
        QCOMPARE(found.left(checks.size()), checks);
        const bool allPassed = !found.contains(u'-');
        QCOMPARE(opened.text.has_value(), allPassed);
        QCOMPARE(opened.problem.has_value(), !allPassed);
        if (allPassed)
            QCOMPARE(*opened.text, u"<xml>reply</xml>"_s);
    }
};

QTEST_APPLESS_MAIN(TestSignedPost)
#include "test_signed_post.moc"
