#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "platform/forged_requests.h"
#include "platform/samples.h"
#include "xml/xml_fields.h"

#include <QDateTime>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

const AccessSettings kSafe{u"tok"_s, u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s, u"wxappid"_s, {}, MessageMode::Safe};

ForgedProbe probeNamed(const QString &name, const AccessSettings &access)
{
    for (const ForgedProbe &probe : forgedProbes(access)) {
        if (probe.name == name)
            return probe;
    }
    return {};
}

ExchangeRecord answered(long status, const QString &body)
{
    ExchangeRecord record;
    ExchangeHop hop;
    hop.status = status;
    hop.answerBody = body.toUtf8();
    record.hops.append(hop);
    record.answerText = body;
    return record;
}

} // namespace

class TestForgedRequests : public QObject {
    Q_OBJECT

private slots:
    // What each probe breaks, checked the way an endpoint checks it; the rest
    // must still hold, or the probe tests something else.
    void probesBreakOneThing_data()
    {
        QTest::addColumn<QString>("probe");
        QTest::addColumn<bool>("signatureHolds");   // present and right
        QTest::addColumn<bool>("msgSignatureHolds"); // present and right for the Encrypt sent
        QTest::addColumn<bool>("openedIntact");      // decrypts to the push, for this AppID
        QTest::addColumn<bool>("timestampFresh");
        QTest::newRow("no signature") << u"no-signature"_s << false << false << true << true;
        QTest::newRow("wrong signature") << u"wrong-signature"_s << false << true << true << true;
        QTest::newRow("day-old timestamp") << u"day-old-timestamp"_s << true << true << true << false;
        QTest::newRow("wrong msg_signature") << u"wrong-msg-signature"_s << true << false << true << true;
        QTest::newRow("Encrypt changed") << u"changed-encrypt"_s << true << false << false << true;
        QTest::newRow("another AppID") << u"other-appid"_s << true << true << false << true;
    }
    void probesBreakOneThing()
    {
        QFETCH(QString, probe);
        QFETCH(bool, signatureHolds);
        QFETCH(bool, msgSignatureHolds);
        QFETCH(bool, openedIntact);
        QFETCH(bool, timestampFresh);
        const ForgedPost post = forgePost(probeNamed(probe, kSafe), u"http://127.0.0.1:1/api/?x=1"_s, BuildTextSample(), kSafe);
        const QUrlQuery query(QUrl(post.url).query());
        QCOMPARE(query.queryItemValue(u"x"_s), u"1"_s);
        const QString timestamp = query.queryItemValue(u"timestamp"_s);
        const QString nonce = query.queryItemValue(u"nonce"_s);
        const QString encrypt = rootChildFields(post.body).value(u"Encrypt"_s);
        QCOMPARE(query.queryItemValue(u"signature"_s) == platformSignature({kSafe.token, timestamp, nonce}), signatureHolds);
        QCOMPARE(query.queryItemValue(u"msg_signature"_s) == platformSignature({kSafe.token, timestamp, nonce, encrypt}),
                 msgSignatureHolds);
        const auto opened = decryptMessage(*decodeAesKey(kSafe.aesKey), encrypt);
        const auto *message = std::get_if<DecryptedMessage>(&opened);
        QCOMPARE(message && message->appId == kSafe.appId.toUtf8() && message->message == BuildTextSample().toUtf8(),
                 openedIntact);
        const qint64 age = QDateTime::currentSecsSinceEpoch() - timestamp.toLongLong();
        QCOMPARE(age < 600, timestampFresh);
    }

    // Plain mode cannot be probed with a changed body: the scorecard says why instead.
    void probesPerMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("probes");
        QTest::addColumn<bool>("saysBodyUncovered");
        QTest::addColumn<bool>("weCom");
        QTest::newRow("plain") << int(MessageMode::Plain) << 3 << true << false;
        QTest::newRow("compatible") << int(MessageMode::Compatible) << 6 << false << false;
        QTest::newRow("safe") << int(MessageMode::Safe) << 6 << false << false;
        // WeCom sends no signature, so there is none to get wrong.
        QTest::newRow("WeCom") << int(MessageMode::Safe) << 5 << false << true;
    }
    void probesPerMode()
    {
        QFETCH(int, mode);
        QFETCH(int, probes);
        QFETCH(bool, saysBodyUncovered);
        QFETCH(bool, weCom);
        AccessSettings access = kSafe;
        access.mode = MessageMode(mode);
        if (weCom)
            access.platform = Platform::WeCom;
        const QList<ForgedProbe> made = forgedProbes(access);
        QCOMPARE(made.size(), probes);
        // Only beside a msg_signature may a wrong signature be let through.
        for (const ForgedProbe &probe : made) {
            if (probe.name == u"wrong-signature")
                QCOMPARE(probe.acceptanceWarns, access.encrypts());
        }
        QCOMPARE(uncoveredBody(access).has_value(), saysBodyUncovered);
        QVERIFY(forgedProbes(AccessSettings{}).isEmpty());
    }

    void judgement_data()
    {
        QTest::addColumn<QString>("probe");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("says");
        const QString reply = u"<xml><ToUserName><![CDATA[fromUser]]></ToUserName><MsgType>text</MsgType></xml>"_s;
        QTest::newRow("403") << u"wrong-signature"_s << 403 << u"Invalid signature"_s << int(VerdictLine::Pass) << u"已拒绝"_s;
        QTest::newRow("200 that refuses") << u"wrong-signature"_s << 200 << u"Invalid signature"_s << int(VerdictLine::Pass)
                                         << u"说明拒绝"_s;
        QTest::newRow("passive reply") << u"wrong-msg-signature"_s << 200 << reply << int(VerdictLine::Fail)
                                       << u"接收端接受了伪造的请求"_s;
        QTest::newRow("signature alone wrong, msg_signature right")
            << u"wrong-signature"_s << 200 << reply << int(VerdictLine::Warn) << u"只校验了 msg_signature"_s;
        QTest::newRow("encrypted passive reply")
            << u"wrong-msg-signature"_s << 200
            << u"<xml><Encrypt><![CDATA[abc]]></Encrypt><MsgSignature><![CDATA[0a]]></MsgSignature></xml>"_s
            << int(VerdictLine::Fail) << u"接收端接受了伪造的请求"_s;
        QTest::newRow("empty") << u"no-signature"_s << 200 << QString() << int(VerdictLine::Warn) << u"无法区分"_s;
        QTest::newRow("success") << u"no-signature"_s << 200 << u"success"_s << int(VerdictLine::Warn) << u"无法区分"_s;
        QTest::newRow("day-old accepted") << u"day-old-timestamp"_s << 200 << reply << int(VerdictLine::Warn)
                                          << u"防重放"_s;
        QTest::newRow("day-old refused") << u"day-old-timestamp"_s << 401 << QString() << int(VerdictLine::Pass)
                                         << u"已拒绝"_s;
    }
    void judgement()
    {
        QFETCH(QString, probe);
        QFETCH(int, status);
        QFETCH(QString, body);
        QFETCH(int, outcome);
        QFETCH(QString, says);
        const ForgedJudgement judgement = judgeForgedAnswer(probeNamed(probe, kSafe), answered(status, body));
        QCOMPARE(int(judgement.outcome), outcome);
        QVERIFY2(judgement.text.contains(says), qPrintable(judgement.text));
    }
};

QTEST_GUILESS_MAIN(TestForgedRequests)
#include "test_forged_requests.moc"
