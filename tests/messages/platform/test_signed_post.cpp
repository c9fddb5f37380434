#include "http/answer_opening.h"
#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "platform/samples.h"
#include "platform/signed_post.h"

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
        QTest::addColumn<QString>("body"); // empty: the text sample
        const QString signedOnly = u"signature="_s + kSignature + u"&timestamp=1714036504&nonce=1514711492"_s;
        const QString ours = signedOnly + u"&openid=fromUser"_s;
        QTest::newRow("no query") << u"http://h/api/"_s << u"http://h/api/?"_s + ours << QString();
        QTest::newRow("no FromUserName, no openid") << u"http://h/api/"_s << u"http://h/api/?"_s + signedOnly << u"hi"_s;
        QTest::newRow("empty query") << u"http://h/api/?"_s << u"http://h/api/?"_s + ours << QString();
        QTest::newRow("user's kept in order") << u"http://h/api/?b=2&a=1"_s << u"http://h/api/?b=2&a=1&"_s + ours << QString();
        QTest::newRow("same names replaced")
            << u"http://h/api/?timestamp=1&x=%20y&nonce=2&signature=3&openid=4"_s << u"http://h/api/?x=%20y&"_s + ours << QString();
        QTest::newRow("encoded name is the same name") << u"http://h/api/?n%6Fnce=1&k"_s << u"http://h/api/?k&"_s + ours << QString();
        QTest::newRow("fragment stays last") << u"http://h/api/?a=1#top"_s << u"http://h/api/?a=1&"_s + ours + u"#top"_s << QString();
    }
    void query()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QFETCH(QString, body);
        QCOMPARE(signPost(url, body.isEmpty() ? BuildTextSample() : body, access(MessageMode::Plain), kInputs).url, expected);
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
        QTest::newRow("compatible: </xml> in the text, before the last")
            << int(MessageMode::Compatible) << u"<xml><a><![CDATA[</xml>]]></a></xml>"_s
            << u"<xml><a><![CDATA[</xml>]]></a>%1</xml>"_s;
        QTest::newRow("safe: ToUserName and Encrypt") << int(MessageMode::Safe) << text
            << u"<xml><ToUserName><![CDATA[toUser]]></ToUserName>%1</xml>"_s;
        QTest::newRow("safe: no ToUserName") << int(MessageMode::Safe) << u"hi"_s
            << u"<xml><ToUserName><![CDATA[]]></ToUserName>%1</xml>"_s;
        QTest::newRow("safe: ]]> in ToUserName") << int(MessageMode::Safe) << u"<xml><ToUserName>a]]&gt;b</ToUserName></xml>"_s
            << u"<xml><ToUserName><![CDATA[a]]]]><![CDATA[>b]]></ToUserName>%1</xml>"_s;
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

    // Each family's post: the query's names in order and the body around the
    // Encrypt text (%1), sealed for the settings' receive id.
    void familyPost_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("shape");
        const QString text = BuildTextSample();
        const QString json = u"{\"ToUserName\":\"gh_1\",\"FromUserName\":\"oU\",\"MsgType\":\"text\"}"_s;
        const auto row = [](const char *name, Platform platform, MessageMode mode, const QString &body, const char *names,
                            const QString &shape) {
            QTest::newRow(name) << int(platform) << int(mode) << body << QString::fromLatin1(names) << shape;
        };
        row("mini-program XML, safe: as the official account", Platform::MiniProgram, MessageMode::Safe, text,
            "signature,timestamp,nonce,openid,encrypt_type,msg_signature",
            u"<xml><ToUserName><![CDATA[toUser]]></ToUserName><Encrypt><![CDATA[%1]]></Encrypt></xml>"_s);
        row("mini-program JSON, plain: as typed", Platform::MiniProgram, MessageMode::Plain, json,
            "signature,timestamp,nonce,openid", json);
        row("mini-program JSON, safe", Platform::MiniProgram, MessageMode::Safe, json,
            "signature,timestamp,nonce,openid,encrypt_type,msg_signature",
            u"{\"ToUserName\":\"gh_1\",\"Encrypt\":\"%1\"}"_s);
        row("mini-program JSON, compatible: Encrypt added", Platform::MiniProgram, MessageMode::Compatible, json,
            "signature,timestamp,nonce,openid,encrypt_type,msg_signature", json.chopped(1) + u",\"Encrypt\":\"%1\"}"_s);
        row("mini-program JSON, compatible: an empty object", Platform::MiniProgram, MessageMode::Compatible,
            u"{ }"_s, "signature,timestamp,nonce,encrypt_type,msg_signature", u"{ \"Encrypt\":\"%1\"}"_s);
        row("WeCom: encrypted in plain mode, msg_signature only", Platform::WeCom, MessageMode::Plain,
            u"<xml><ToUserName>x</ToUserName><FromUserName>u</FromUserName><AgentID>218</AgentID></xml>"_s,
            "msg_signature,timestamp,nonce",
            u"<xml><ToUserName><![CDATA[wxb11529c136998cb6]]></ToUserName><AgentID><![CDATA[218]]></AgentID>"
            "<Encrypt><![CDATA[%1]]></Encrypt></xml>"_s);
        row("WeCom: the settings' AgentID where the body has none", Platform::WeCom, MessageMode::Safe, u"hi"_s,
            "msg_signature,timestamp,nonce",
            u"<xml><ToUserName><![CDATA[wxb11529c136998cb6]]></ToUserName><AgentID><![CDATA[7]]></AgentID>"
            "<Encrypt><![CDATA[%1]]></Encrypt></xml>"_s);
        row("third-party platform: AppId and Encrypt, no openid", Platform::OpenPlatform, MessageMode::Plain, text,
            "signature,timestamp,nonce,encrypt_type,msg_signature",
            u"<xml><AppId><![CDATA[wxb11529c136998cb6]]></AppId><Encrypt><![CDATA[%1]]></Encrypt></xml>"_s);
    }
    void familyPost()
    {
        QFETCH(int, platform);
        QFETCH(int, mode);
        QFETCH(QString, body);
        QFETCH(QString, names);
        QFETCH(QString, shape);
        AccessSettings settings = access(MessageMode(mode));
        settings.platform = Platform(platform);
        settings.agentId = u"7"_s;
        const SignedPost post = signPost(u"http://h/api/"_s, body, settings, kInputs);
        QVERIFY(!post.problem);
        const QUrlQuery query(post.url.mid(post.url.indexOf(u'?') + 1));
        QStringList found;
        for (const auto &item : query.queryItems())
            found.append(item.first);
        QCOMPARE(found.join(u','), names);
        if (!names.contains(u"msg_signature"_s)) {
            QCOMPARE(post.body, shape);
            return;
        }
        const QString encrypt = encryptMessage(*decodeAesKey(kKey), kInputs.random16, body.toUtf8(), "wxb11529c136998cb6");
        QCOMPARE(post.body, shape.arg(encrypt));
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
    // for 签名, 解密, AppID in order; "problem" is a part of what is said.
    void answer_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("aesKey");
        QTest::addColumn<QString>("checks");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char *name, const QString &answer, const char *checks, const QString &problem = {},
                            const QString &token = u"AAAAA"_s, const QString &aesKey = kKey) {
            QTest::newRow(name) << answer << token << aesKey << QString::fromLatin1(checks) << problem;
        };
        const QString good = encrypted("<xml>reply</xml>");
        row("sound", signedAnswer(good), "+++");
        row("milliseconds timestamp", signedAnswer(good, u"1714036504123"_s), "+++");
        QString altered = good;
        altered[30] = altered[30] == u'A' ? u'B' : u'A';
        row("one byte of Encrypt changed",
            encryptedAnswer(altered, u"1714036504"_s, platformSignature({u"AAAAA"_s, u"1714036504"_s, u"42"_s, good})), "-",
            u"MsgSignature 为"_s);
        row("wrong AppID", signedAnswer(encrypted("<xml>reply</xml>", "wxother")), "++-", u"wxother"_s);
        const QByteArray raw = QByteArray::fromBase64(good.toLatin1());
        row("bad padding", signedAnswer(QString::fromLatin1(raw.chopped(16).toBase64())), "+-", u"填充"_s);
        row("wrong MsgSignature", encryptedAnswer(good, u"1714036504"_s, QString(40, u'0')), "-++", u"MsgSignature 为"_s);
        row("no MsgSignature", u"<xml><Encrypt>%1</Encrypt></xml>"_s.arg(good), "-++", u"缺少"_s);
        row("no TimeStamp", QString(signedAnswer(good)).remove(u"<TimeStamp>1714036504</TimeStamp>"_s), "-++", u"缺少"_s);
        row("no Nonce", QString(signedAnswer(good)).remove(u"<Nonce><![CDATA[42]]></Nonce>"_s), "-++", u"缺少"_s);
        row("no token set", signedAnswer(good), "-++", u"未设置 Token"_s, QString());
        row("no key set", signedAnswer(good), "+-", u"未设置 EncodingAESKey"_s, u"AAAAA"_s, QString());
    }
    void answer()
    {
        QFETCH(QString, answer);
        QFETCH(QString, token);
        QFETCH(QString, aesKey);
        QFETCH(QString, checks);
        QFETCH(QString, problem);
        AccessSettings settings = access(MessageMode::Safe, token);
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
        else
            QVERIFY2(opened.problem->contains(problem), qPrintable(*opened.problem));
    }

    // A mini-program's JSON reply carries the XML reply's members; the
    // official account's answers are XML whatever they look like.
    void jsonAnswer_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("checks"); // empty: not opened as encrypted
        const QString good = encrypted("<xml>reply</xml>");
        const QString signature = platformSignature({u"AAAAA"_s, u"1714036504"_s, u"42"_s, good});
        const QString sound = u"{\"Encrypt\":\"%1\",\"MsgSignature\":\"%2\",\"TimeStamp\":1714036504,\"Nonce\":\"42\"}"_s.arg(good, signature);
        QTest::newRow("mini-program") << int(Platform::MiniProgram) << sound << u"+++"_s;
        QTest::newRow("mini-program, no MsgSignature") << int(Platform::MiniProgram)
            << u"{\"Encrypt\":\"%1\",\"TimeStamp\":1714036504,\"Nonce\":\"42\"}"_s.arg(good) << u"-++"_s;
        QTest::newRow("official account") << int(Platform::OfficialAccount) << sound << QString();
    }
    void jsonAnswer()
    {
        QFETCH(int, platform);
        QFETCH(QString, answer);
        QFETCH(QString, checks);
        AccessSettings settings = access(MessageMode::Safe);
        settings.platform = Platform(platform);
        const OpenedAnswer opened = openAnswer(answer, settings);
        QString found;
        for (const AnswerCheck &check : opened.checks)
            found += check.passed ? u'+' : u'-';
        QCOMPARE(found, checks);
        QCOMPARE(opened.text.has_value(), checks == u"+++");
    }

    // A WeCom reply sealed for another CorpID is named as such.
    void weComReplyForAnotherCorpId()
    {
        AccessSettings settings = access(MessageMode::Plain);
        settings.platform = Platform::WeCom;
        const OpenedAnswer opened = openAnswer(signedAnswer(encrypted("<xml>reply</xml>", "wwother")), settings);
        QVERIFY(opened.problem);
        QVERIFY2(opened.problem->contains(u"CorpID 为“wwother”"_s), qPrintable(*opened.problem));
    }
};

QTEST_APPLESS_MAIN(TestSignedPost)
#include "test_signed_post.moc"
