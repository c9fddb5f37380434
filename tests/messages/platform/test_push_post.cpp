#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "http/post_failure.h"
#include "platform/push_post.h"
#include "recording_server.h"
#include "platform/samples.h"
#include "http/xml_post.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s;
const QString kAppId = u"wxb11529c136998cb6"_s;
const QString kReply = u"<xml><ToUserName><![CDATA[fromUser]]></ToUserName><FromUserName><![CDATA[toUser]]>"
                       u"</FromUserName><CreateTime>1</CreateTime><MsgType><![CDATA[text]]></MsgType>"
                       u"<Content><![CDATA[收到]]></Content></xml>"_s;

// The reply to the text sample with its users left unswapped.
const QString kUnswappedReply = QString(kReply).replace(u"fromUser"_s, u"x"_s).replace(u"toUser"_s, u"fromUser"_s)
                                    .replace(u"[x]"_s, u"[toUser]"_s);

// An endpoint's encrypted answer to any push, as the SDKs send it, spoilt
// the way the row says.
std::string encryptedAnswer(const QString &reply, const QString &appId, bool badSignature)
{
    const QString encrypt = encryptMessage(*decodeAesKey(kKey), "0123456789abcdef", reply.toUtf8(), appId.toUtf8());
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
    // came, with the failed check named, when one does not. An opened reply
    // is judged against the push as typed.
    void encryptedAnswers_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("answerAppId");
        QTest::addColumn<bool>("badSignature");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("passed");
        QTest::newRow("sound") << kReply << kAppId << false << true << true;
        QTest::newRow("another AppID") << kReply << u"wx0000000000000000"_s << false << false << false;
        QTest::newRow("bad signature") << kReply << kAppId << true << false << false;
        QTest::newRow("users not swapped") << kUnswappedReply << kAppId << false << true << false;
    }
    void encryptedAnswers()
    {
        QFETCH(QString, reply);
        QFETCH(QString, answerAppId);
        QFETCH(bool, badSignature);
        QFETCH(bool, opened);
        QFETCH(bool, passed);
        RecordingServer server;
        const std::string answer = encryptedAnswer(reply, answerAppId, badSignature);
        server.setAnswer({200, "application/xml", answer});
        const AccessSettings access{u"tok"_s, kKey, kAppId, QString(), MessageMode::Safe};
        const PushPostOutcome outcome = postPush({server.url(), BuildTextSample(), access});

        QCOMPARE(server.requests().size(), 1u);
        QVERIFY(server.requests()[0].target.find("msg_signature=") != std::string::npos);
        QCOMPARE(outcome.record.plainMessage, std::optional<QString>(BuildTextSample()));
        QCOMPARE(outcome.record.answerChecks.size(), 3);
        QCOMPARE(outcome.shownText, opened ? reply : QString::fromStdString(answer));
        QCOMPARE(outcome.answerProblem.has_value(), !opened);
        QCOMPARE(verdictPassed(outcome.verdict), passed);
    }

    // A post that fails is in the record with the failure the post ends in;
    // settings that cannot encrypt send nothing.
    void failures_data()
    {
        QTest::addColumn<AccessSettings>("access");
        QTest::addColumn<int>("recorded"); // the failure the request object's record holds; 0: none
        QTest::addColumn<int>("thrown");   // the failure send throws; 0: the real request object
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("mention");
        const AccessSettings badKey{u"tok"_s, u"short"_s, kAppId, QString(), MessageMode::Compatible};
        QTest::newRow("bad key") << badKey << 0 << 0 << int(PostFailure::BadAccessSettings) << u"EncodingAESKey"_s;
        QTest::newRow("told only by what is thrown")
            << AccessSettings{} << 0 << int(PostFailure::ConnectionRefused) << int(PostFailure::ConnectionRefused) << u"拒绝"_s;
        QTest::newRow("thrown unlike the record")
            << AccessSettings{} << int(PostFailure::TimedOut) << int(PostFailure::InvalidCall) << int(PostFailure::InvalidCall)
            << u"拒绝"_s;
    }
    void failures()
    {
        QFETCH(AccessSettings, access);
        QFETCH(int, recorded);
        QFETCH(int, thrown);
        QFETCH(int, number);
        QFETCH(QString, mention);
        class FailingRequest : public HttpRequest {
        public:
            int recorded = 0;
            int thrown = 0;
            void Open(const QString &, const QString &, bool) override {}
            void SetRequestHeader(const QString &, const QString &) override {}
            void send(const QString &) override { throw PostFailure(PostFailure::Number(thrown), u"拒绝"_s); }
            int readyState() const override { return 0; }
            QString ResponseText() const override { return {}; }
            ExchangeRecord record() const override
            {
                ExchangeRecord record;
                if (recorded)
                    record.failure = ExchangeFailureNote{recorded, u"记录中的"_s};
                return record;
            }
        };
        RecordingServer server;
        const PushPostOutcome outcome = postPush({server.url(), BuildTextSample(), access}, [&]() -> std::unique_ptr<HttpRequest> {
            if (!thrown)
                return createHttpRequest();
            auto request = std::make_unique<FailingRequest>();
            request->recorded = recorded;
            request->thrown = thrown;
            return request;
        });
        QVERIFY(outcome.record.failure);
        QCOMPARE(outcome.record.failure->number, number);
        QVERIFY2(outcome.record.failure->description.contains(mention), qPrintable(outcome.record.failure->description));
        QVERIFY(!verdictPassed(outcome.verdict));
        QCOMPARE(server.requests().size(), 0u);
    }
};

QTEST_GUILESS_MAIN(TestPushPost)
#include "test_push_post.moc"
