#include "crypto/message_crypto.h"
#include "crypto/platform_signature.h"
#include "http/post_failure.h"
#include "recording_server.h"
#include "platform/url_check.h"

#include <QTest>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;

class TestUrlCheck : public QObject {
    Q_OBJECT

private slots:
    // The endpoint's answer: %1 stands for the echostr it was sent, %2 for its
    // first 5 digits. A 3xx leads to /moved, which echoes.
    void answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<QString>("shown"); // a part of the explanation
        QTest::newRow("echoed") << 200 << u"%1"_s << true << u"验证通过"_s;
        QTest::newRow("quoted") << 200 << u"\"%1\""_s << false << u"第 1 个字节"_s;
        QTest::newRow("line break after") << 200 << u"%1\n"_s << false << u"\\n"_s;
        QTest::newRow("line break before") << 200 << u"\n%1"_s << false << u"收到“\\n”"_s;
        QTest::newRow("Chinese before") << 200 << u"签%1"_s << false << u"收到“签”"_s;
        QTest::newRow("cut short") << 200 << u"12"_s << false << u"“12”"_s;
        QTest::newRow("not found") << 404 << u"%1"_s << false << u"HTTP 404"_s;
        QTest::newRow("created") << 201 << u"%1"_s << false << u"HTTP 201"_s;
        QTest::newRow("ends early") << 200 << u"%2"_s << false << u"回复在第 6 个字节处就结束了"_s;
        QTest::newRow("DEL after") << 200 << u"%1\x7f"_s << false << u"多出了 1 字节：\\x7f"_s;
        QTest::newRow("long answer cut") << 200 << QString(80, u'a') + QString(20, u'b') << false
                                         << QString(80, u'a') + u"…（共 100 字节）"_s;
        // The endpoint's Chinese as the result window shows it, not as escapes.
        QTest::newRow("refused in Chinese") << 403 << u"签名错误"_s << false << u"回复为：签名错误"_s;
        QTest::newRow("refused: the Token named") << 401 << u"Invalid signature"_s << false << u"检查接入设置的 Token"_s;
        QTest::newRow("Chinese after the echostr") << 200 << u"%1 成功"_s << false << u"多出了 7 字节： 成功"_s;
        // Not followed: the status and where it points are told.
        QTest::newRow("redirect") << 302 << u"%1"_s << false << u"HTTP 302 重定向（Location：“/moved/”）"_s;
    }
    void answers()
    {
        QFETCH(int, status);
        QFETCH(QString, answer);
        QFETCH(bool, passed);
        QFETCH(QString, shown);
        RecordingServer server;
        server.setAnswerer([&](const RecordingServer::Request &request) {
            const QString target = QString::fromStdString(request.target);
            const QUrlQuery query(target.mid(target.indexOf(u'?') + 1));
            const QString echostr = query.queryItemValue(u"echostr"_s);
            const QString body = QString(answer).replace(u"%1"_s, echostr).replace(u"%2"_s, echostr.left(5));
            RecordingServer::Answer answered{status, "text/plain; charset=utf-8", body.toStdString()};
            if (status == 302)
                answered.headers.emplace("Location", "/moved/");
            return answered;
        });
        const AccessSettings access{u"tok"_s, QString(), QString(), QString(), MessageMode::Safe};
        const UrlCheckResult result = checkUrl(server.url(u"/api/?keep=1"_s), access);
        QCOMPARE(result.passed, passed);
        QVERIFY2(result.explanation.contains(shown), qPrintable(result.explanation));

        // One check, though a redirect may be followed after it.
        const std::vector<RecordingServer::Request> requests = server.requests();
        QCOMPARE(std::count_if(requests.begin(), requests.end(), [](const auto &r) { return r.target.starts_with("/api/"); }),
                 1);
        const RecordingServer::Request request = requests.front();
        QCOMPARE(request.method, std::string("GET"));
        const QString target = QString::fromStdString(request.target);
        QVERIFY(target.startsWith(u"/api/?keep=1&signature="_s));
        const QUrlQuery query(target.mid(target.indexOf(u'?') + 1));
        QCOMPARE(query.queryItemValue(u"echostr"_s), result.echostr);
        QCOMPARE(query.queryItemValue(u"signature"_s),
                 platformSignature({u"tok"_s, query.queryItemValue(u"timestamp"_s), query.queryItemValue(u"nonce"_s)}));
    }

    // WeCom's check, answered by an endpoint that decrypts the echostr: %1
    // stands for the plaintext, %2 for the echostr as sent. The third-party
    // platform has no check and sends nothing.
    void families_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<QString>("shown");
        const int weCom = int(Platform::WeCom);
        QTest::newRow("WeCom: the plaintext") << weCom << u"%1"_s << true << u"验证通过"_s;
        QTest::newRow("WeCom: quoted") << weCom << u"\"%1\""_s << false << u"带了引号"_s;
        QTest::newRow("WeCom: a BOM") << weCom << u"\uFEFF%1"_s << false << u"BOM"_s;
        QTest::newRow("WeCom: a line break") << weCom << u"%1\r\n"_s << false << u"带了换行"_s;
        QTest::newRow("WeCom: still encrypted") << weCom << u"%2"_s << false << u"应先用 EncodingAESKey 解密"_s;
        QTest::newRow("third-party platform: none") << int(Platform::OpenPlatform) << u"%1"_s << false
                                                    << u"第三方平台没有 URL 验证"_s;
    }
    void families()
    {
        QFETCH(int, platform);
        QFETCH(QString, answer);
        QFETCH(bool, passed);
        QFETCH(QString, shown);
        const QString aesKey = u"jWmYm7qr5nMoAUwZRjGtBxmz3KA1tkAj3ykkR6q2B2C"_s;
        const QByteArray key = *decodeAesKey(aesKey);
        RecordingServer server;
        server.setAnswerer([&](const RecordingServer::Request &request) {
            const QString target = QString::fromStdString(request.target);
            const QString echostr = QUrlQuery(target.mid(target.indexOf(u'?') + 1)).queryItemValue(u"echostr"_s, QUrl::FullyDecoded);
            const auto opened = decryptMessage(key, echostr);
            const QString plain = std::holds_alternative<DecryptedMessage>(opened)
                ? QString::fromLatin1(std::get<DecryptedMessage>(opened).message) : u"?"_s;
            return RecordingServer::Answer{200, "text/plain", QString(answer).replace(u"%1"_s, plain).replace(u"%2"_s, echostr).toStdString()};
        });
        AccessSettings access{u"QDG6eK"_s, aesKey, u"wx5823bf96d3bd56c7"_s, QString(), MessageMode::Plain};
        access.platform = Platform(platform);
        const UrlCheckResult result = checkUrl(server.url(), access);
        QCOMPARE(result.passed, passed);
        QVERIFY2(result.explanation.contains(shown), qPrintable(result.explanation));
        const std::vector<RecordingServer::Request> requests = server.requests();
        if (access.platform == Platform::OpenPlatform) {
            QVERIFY(requests.empty());
            return;
        }
        QCOMPARE(requests.size(), std::size_t(1));
        const QString target = QString::fromStdString(requests.front().target);
        const QUrlQuery query(target.mid(target.indexOf(u'?') + 1));
        QStringList names;
        for (const auto &item : query.queryItems())
            names.append(item.first);
        QCOMPARE(names, (QStringList{u"msg_signature"_s, u"timestamp"_s, u"nonce"_s, u"echostr"_s}));
        const QString echostr = query.queryItemValue(u"echostr"_s, QUrl::FullyDecoded);
        QCOMPARE(echostr, result.echostr);
        QCOMPARE(query.queryItemValue(u"msg_signature"_s),
                 platformSignature({u"QDG6eK"_s, query.queryItemValue(u"timestamp"_s), query.queryItemValue(u"nonce"_s), echostr}));
        // Sealed for the CorpID.
        QCOMPARE(std::get<DecryptedMessage>(decryptMessage(key, echostr)).appId, QByteArray("wx5823bf96d3bd56c7"));
    }

    // WeCom waits 1 s for the answer.
    void weComEchoTime_data()
    {
        QTest::addColumn<double>("elapsedMs");
        QTest::addColumn<bool>("passed");
        QTest::newRow("in time") << 1000.0 << true;
        QTest::newRow("late") << 1001.0 << false;
    }
    void weComEchoTime()
    {
        QFETCH(double, elapsedMs);
        QFETCH(bool, passed);
        const EchoJudgement judged = judgeWeComEcho("123", "123", "ZA4H", elapsedMs);
        QCOMPARE(judged.passed, passed);
        QVERIFY2(passed || judged.explanation.contains(u"1 秒"_s), qPrintable(judged.explanation));
    }

    void failedExchange()
    {
        class RefusedRequest : public HttpRequest {
        public:
            void Open(const QString &, const QString &, bool) override {}
            void SetRequestHeader(const QString &, const QString &) override {}
            void send(const QString &) override
            {
                throw PostFailure(PostFailure::ConnectionRefused, u"连接被拒绝"_s);
            }
            int readyState() const override { return 0; }
            QString ResponseText() const override { return {}; }
        };
        const AccessSettings access{u"tok"_s, QString(), QString(), QString(), MessageMode::Plain};
        const UrlCheckResult result = checkUrl(u"http://127.0.0.1:9/"_s, access, [] {
            return std::make_unique<RefusedRequest>();
        });
        QVERIFY(!result.passed);
        QVERIFY(result.record.failure && result.record.failure->number == PostFailure::ConnectionRefused);
        QVERIFY2(result.explanation.contains(u"连接被拒绝"_s), qPrintable(result.explanation));
    }

    void needsToken()
    {
        int made = 0;
        const UrlCheckResult result = checkUrl(u"http://127.0.0.1:9/"_s, AccessSettings{}, [&] {
            ++made;
            return createHttpRequest();
        });
        QVERIFY(!result.passed);
        QCOMPARE(made, 0);
        QVERIFY(result.explanation.contains(u"Token"_s));
    }
};

QTEST_GUILESS_MAIN(TestUrlCheck)
#include "test_url_check.moc"
