#include "crypto/message_crypto.h"
#include "platform/platform_delivery.h"
#include "platform/samples.h"
#include "recording_server.h"
#include "scripted_server.h"

#include <QTest>
#include <QUrlQuery>

#include <chrono>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// The platform's 5 s and an answer in 6 s, scaled down for the test.
constexpr DeliveryRules kRules{600ms, 3};
constexpr auto kLate = 720ms;

const std::string kReply = "<xml><ToUserName><![CDATA[fromUser]]></ToUserName><FromUserName><![CDATA[toUser]]>"
                           "</FromUserName><CreateTime>1</CreateTime><MsgType><![CDATA[text]]></MsgType>"
                           "<Content><![CDATA[ok]]></Content></xml>";

// How the test endpoint answers its n-th request; the last entry goes on.
RecordingServer::Answer answerFor(const QString &what)
{
    if (what == u"late") {
        std::this_thread::sleep_for(kLate); // the server answering late, past the cut
        return {200, "text/plain", "success"};
    }
    if (what == u"500")
        return {500, "text/plain", "oops"};
    if (what == u"reply")
        return {200, "text/xml", kReply};
    if (what == u"garbage")
        return {200, "text/plain", "hello"};
    return {200, "text/plain", "success"};
}

PushPostOutcome postOnce(const PushPostOrder &order)
{
    return postPush(order, deliveryRequests(kRules));
}

QString queryValue(const std::string &target, const QString &name)
{
    return QUrlQuery(QUrl(QString::fromStdString(target)).query()).queryItemValue(name);
}

} // namespace

Q_DECLARE_METATYPE(QList<TryEnd>)

class TestPlatformDelivery : public QObject {
    Q_OBJECT

private slots:
    void triesAsThePlatform_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QList<TryEnd>>("ends");
        QTest::addColumn<QString>("closing");
        QTest::newRow("answered in 6 s: three tries") << QStringList{u"late"_s} << QList<TryEnd>(3, TryEnd::TimedOut)
                                                     << u"共 3 次，平台放弃投递"_s;
        QTest::newRow("late once, then a reply") << QStringList{u"late"_s, u"reply"_s}
                                                 << QList<TryEnd>{TryEnd::TimedOut, TryEnd::Reply}
                                                 << u"共 2 次，消息已送达：接收端收到同一条消息 2 次"_s;
        QTest::newRow("500, then success") << QStringList{u"500"_s, u"success"_s}
                                           << QList<TryEnd>{TryEnd::ErrorStatus, TryEnd::NoReply} << u"共 2 次，消息已送达"_s;
        QTest::newRow("success at once") << QStringList{u"success"_s} << QList<TryEnd>{TryEnd::NoReply}
                                         << u"共 1 次，消息已送达"_s;
        QTest::newRow("unusable answer: no retry") << QStringList{u"garbage"_s} << QList<TryEnd>{TryEnd::Unusable}
                                                   << u"用户看到“该公众号暂时无法提供服务"_s;
        QTest::newRow("500 three times") << QStringList{u"500"_s} << QList<TryEnd>(3, TryEnd::ErrorStatus)
                                         << u"共 3 次，平台放弃投递"_s;
    }
    void triesAsThePlatform()
    {
        QFETCH(QStringList, script);
        QFETCH(QList<TryEnd>, ends);
        QFETCH(QString, closing);
        RecordingServer server;
        std::atomic<int> seen = 0;
        server.setAnswerer([&](const RecordingServer::Request &) {
            return answerFor(script[std::min<qsizetype>(seen++, script.size() - 1)]);
        });
        AccessSettings access;
        access.token = u"tok"_s;
        const PushDelivery delivery = deliverPush({server.url(), BuildTextSample(), access}, kRules, postOnce);

        QList<TryEnd> got;
        for (const DeliveryTry &attempt : delivery.tries)
            got.append(attempt.end);
        QCOMPARE(got, ends);
        const QString summary = deliverySummary(delivery, kRules);
        QVERIFY2(summary.contains(closing), qPrintable(summary));
        QCOMPARE(summary.count(u"第 "_s), ends.size());

        // The same message each time, signed afresh.
        const auto requests = server.requests();
        QCOMPARE(qsizetype(requests.size()), ends.size());
        QSet<QString> nonces;
        for (const auto &request : requests) {
            QCOMPARE(QString::fromStdString(request.body), BuildTextSample());
            nonces.insert(queryValue(request.target, u"nonce"_s));
        }
        QCOMPARE(nonces.size(), ends.size());
    }

    void connectionRefusedIsTriedThreeTimes()
    {
        const QString url = u"http://127.0.0.1:%1/api/"_s.arg(closedPort());
        const PushDelivery delivery = deliverPush({url, BuildTextSample(), {}}, kRules, postOnce);
        QCOMPARE(delivery.tries.size(), 3);
        QCOMPARE(delivery.tries.constLast().end, TryEnd::ConnectionFailed);
        QVERIFY(!delivery.delivered());
    }

    // An answer that keeps coming is cut as one that never starts: the platform's 5 s is for the whole answer.
    void trickledAnswerIsCut()
    {
        ScriptedServer server([](ScriptedServer::Connection &connection) {
            connection.readRequest();
            connection.write("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
            connection.trickleUntilStopped("x", 50ms);
        });
        const PushDelivery delivery = deliverPush({server.url(), BuildTextSample(), {}}, kRules, postOnce);
        QCOMPARE(delivery.tries.size(), 3);
        QCOMPARE(delivery.tries.constLast().end, TryEnd::TimedOut);
        QCOMPARE(server.connections(), 3);
    }

    // In safe mode each try is encrypted anew: another Encrypt, the same message inside.
    void safeModeEncryptsEachTryAnew()
    {
        RecordingServer server;
        server.setAnswerer([](const RecordingServer::Request &) { return answerFor(u"late"_s); });
        const AccessSettings access{u"tok"_s, u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s, u"wxappid"_s, {},
                                    MessageMode::Safe};
        const QString push = BuildTextSample();
        deliverPush({server.url(), push, access}, kRules, postOnce);
        QSet<QString> encrypts;
        for (const auto &request : server.requests()) {
            const QString body = QString::fromStdString(request.body);
            const QString encrypt = body.section(u"<Encrypt><![CDATA["_s, 1).section(u"]]>"_s, 0, 0);
            encrypts.insert(encrypt);
            const auto opened = decryptMessage(*decodeAesKey(access.aesKey), encrypt);
            QVERIFY(std::holds_alternative<DecryptedMessage>(opened));
            QCOMPARE(QString::fromUtf8(std::get<DecryptedMessage>(opened).message), push);
        }
        QCOMPARE(encrypts.size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestPlatformDelivery)
#include "test_platform_delivery.moc"
