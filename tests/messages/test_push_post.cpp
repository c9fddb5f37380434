#include "message_crypto.h"
#include "platform_signature.h"
#include "post_failure.h"
#include "push_post.h"
#include "recording_server.h"
#include "samples.h"
#include "xml_post.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
const QString kAppId = u"wxb11529c136998cb6"_s;
const QString kReply = u"<xml><ToUserName><![CDATA[fromUser]]></ToUserName><FromUserName><![CDATA[toUser]]>"
                       u"</FromUserName><CreateTime>1</CreateTime><MsgType><![CDATA[text]]></MsgType>"
                       u"<Content><![CDATA[收到]]></Content></xml>"_s;

// An endpoint's encrypted answer to any push, as the SDKs send it; `alter`
// spoils it the way the row says.
std::string encryptedAnswer(const QString &appId, bool badSignature)
{
    const QString encrypt = encryptMessage(*decodeAesKey(kKey), "0123456789abcdef", kReply.toUtf8(), appId.toUtf8());
    const QString signature = platformSignature({u"tok"_s, u"1714036504"_s, u"42"_s, encrypt});
    const QString answer = u"<xml><Encrypt><![CDATA[%1]]></Encrypt><MsgSignature><![CDATA[%2]]></MsgSignature>"
                           u"<TimeStamp>1714036504</TimeStamp><Nonce><![CDATA[42]]></Nonce></xml>"_s
                               .arg(encrypt, badSignature ? QString(40, u'0') : signature);
    return answer.toStdString();
}

} // namespace

class TestPushPost : public QObject {
    Q_OBJECT

private slots:
    // With no token the push goes out as XmlPost sends it, byte for byte.
    void withoutTokenIsThePlainPost()
    {
        RecordingServer server;
        server.setAnswer({200, "text/plain", "success"});
        XmlPost(server.url(u"/api/?a=1"_s), BuildLocationSample());
        const PushPostOutcome outcome = postPush({server.url(u"/api/?a=1"_s), BuildLocationSample(), {}});
        const auto requests = server.requests();
        QCOMPARE(requests.size(), 2u);
        QCOMPARE(requests[1].target, requests[0].target);
        QCOMPARE(requests[1].body, requests[0].body);
        QCOMPARE(requests[1].headers.find("Content-Type")->second, requests[0].headers.find("Content-Type")->second);
        QCOMPARE(outcome.shownText, u"success"_s);
        QVERIFY(!outcome.record.failure);
        QVERIFY(!outcome.verdict.isEmpty());
    }

    // An encrypted answer is shown opened when every check holds, and as it
    // came, with the failed check named, when one does not.
    void encryptedAnswers_data()
    {
        QTest::addColumn<QString>("answerAppId");
        QTest::addColumn<bool>("badSignature");
        QTest::addColumn<bool>("opened");
        QTest::newRow("sound") << kAppId << false << true;
        QTest::newRow("another AppID") << u"wx0000000000000000"_s << false << false;
        QTest::newRow("bad signature") << kAppId << true << false;
    }
    void encryptedAnswers()
    {
        QFETCH(QString, answerAppId);
        QFETCH(bool, badSignature);
        QFETCH(bool, opened);
        RecordingServer server;
        const std::string answer = encryptedAnswer(answerAppId, badSignature);
        server.setAnswer({200, "application/xml", answer});
        const AccessSettings access{u"tok"_s, kKey, kAppId, QString(), MessageMode::Safe};
        const PushPostOutcome outcome = postPush({server.url(), BuildTextSample(), access});

        QCOMPARE(server.requests().size(), 1u);
        QVERIFY(server.requests()[0].target.find("msg_signature=") != std::string::npos);
        QCOMPARE(outcome.record.plainMessage, std::optional<QString>(BuildTextSample()));
        QCOMPARE(outcome.record.answerChecks.size(), 3);
        QCOMPARE(outcome.shownText, opened ? kReply : QString::fromStdString(answer));
        QCOMPARE(outcome.answerProblem.has_value(), !opened);
        QCOMPARE(verdictPassed(outcome.verdict), opened);
    }

    // Settings that cannot encrypt send nothing and say why.
    void badKeySendsNothing()
    {
        RecordingServer server;
        const AccessSettings access{u"tok"_s, u"short"_s, kAppId, QString(), MessageMode::Compatible};
        const PushPostOutcome outcome = postPush({server.url(), BuildTextSample(), access});
        QVERIFY(outcome.record.failure);
        QCOMPARE(outcome.record.failure->number, int(PostFailure::BadAccessSettings));
        QVERIFY(outcome.record.failure->description.contains(u"EncodingAESKey"_s));
        QVERIFY(!verdictPassed(outcome.verdict));
        QCOMPARE(server.requests().size(), 0u);
    }
};

QTEST_GUILESS_MAIN(TestPushPost)
#include "test_push_post.moc"
