#include "http/post_failure.h"
#include "http/response_text.h"
#include "platform/samples.h"
#include "platform/verdict.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// An answer as the exchange records it.
ExchangeRecord answered(const QByteArray &body, long status = 200, double elapsedMs = 120,
                        const QByteArray &contentType = "text/xml; charset=utf-8")
{
    ExchangeRecord record;
    record.hops.append(ExchangeHop{{}, {}, {}, body, status});
    record.contentType = contentType;
    record.answerText = decodeResponseText(body, contentType);
    record.elapsedMs = elapsedMs;
    return record;
}

// A reply to the text sample (from toUser to fromUser) unless the users are given.
QByteArray reply(const QByteArray &rest, const QByteArray &users = "<ToUserName>fromUser</ToUserName><FromUserName>toUser</FromUserName>")
{
    return "<xml>" + users + "<CreateTime>1700000000</CreateTime>" + rest + "</xml>";
}

const QByteArray kText = "<MsgType><![CDATA[text]]></MsgType><Content><![CDATA[\xe4\xbd\xa0\xe5\xa5\xbd]]></Content>";
const QByteArray kItem = "<item><Title>t</Title><Description>d</Description><PicUrl>p</PicUrl><Url>u</Url></item>";

ExchangeRecord encrypted(bool appIdMatches)
{
    ExchangeRecord record = answered("<xml><Encrypt><![CDATA[abc]]></Encrypt></xml>");
    record.answerChecks = {{u"签名"_s, true, {}}, {u"解密"_s, true, {}}, {u"AppID"_s, appIdMatches, u"应为 wx1"_s}};
    record.decryptedText = QString::fromUtf8(reply(kText));
    return record;
}

} // namespace

class TestVerdict : public QObject {
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
};

// Each rule with an answer that passes it and one that fails it. "expected"
// is every line's mark in order (Pass, Warn, Fail); line "line" is the
// rule's own and names "mention".
void TestVerdict::rules_data()
{
    QTest::addColumn<ExchangeRecord>("record");
    QTest::addColumn<QString>("push");
    QTest::addColumn<AccessSettings>("access");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("mention");
    const QString push = BuildTextSample();
    const AccessSettings plain;
    const AccessSettings safe{u"token"_s, QString(43, u'a'), u"wx1"_s, {}, MessageMode::Safe};
    const auto row = [&](const char *name, const ExchangeRecord &record, const char *expected, int line,
                         const QString &mention, const AccessSettings &access = {}, const QString &pushed = {}) {
        QTest::newRow(name) << record << (pushed.isNull() ? push : pushed) << access << QString::fromLatin1(expected)
                            << line << mention;
    };
    row("in time", answered(reply(kText), 200, 4999), "PPPPPPP", 0, u"4999 毫秒"_s);
    row("at 5 s exactly", answered(reply(kText), 200, 5000), "PPPPPPP", 0, u"5000 毫秒"_s);
    row("late at 5.2 s", answered(reply(kText), 200, 5200), "FPPPPPP", 0, u"该公众号暂时无法提供服务"_s);
    // An error status: its likely cause, and nothing that only follows from it.
    row("status 500", answered("success", 500), "PF", 1, u"接收端自己的日志"_s);
    row("401 Invalid signature, safe mode", answered("Invalid signature", 401), "PF", 1, u"检查接入设置的 Token"_s, safe);
    row("400 非法请求", answered("非法请求", 400), "PF", 1, u"检查接入设置的 Token"_s);
    row("403 without words", answered("", 403), "PF", 1, u"签名没有通过校验"_s);
    row("500 in safe mode", answered("Internal Server Error", 500), "PF", 1, u"EncodingAESKey 或 AppID"_s, safe);
    row("404", answered("Cannot POST /api", 404), "PF", 1, u"检查 URL 的路径"_s);
    ExchangeRecord redirected = answered("", 302);
    redirected.hops.last().answerHead = "HTTP/1.1 302 Found\r\nlocation: https://example.com/api/\r\n\r\n";
    row("302", redirected, "PF", 1, u"302，是重定向（Location：“https://example.com/api/”）"_s);
    row("success", answered("success"), "PPPP", 2, u"不再重试"_s);
    // Near "success": the difference named, a warning.
    row("success and a line break", answered("success\n"), "PPWP", 2, u"末尾多了“\\n”"_s);
    row("SUCCESS", answered("SUCCESS"), "PPWP", 2, u"大小写不同（“SUCCESS”）"_s);
    row(" Success and CR LF", answered(" Success\r\n"), "PPWP", 2, u"开头多了“空格”，末尾多了“\\r\\n”，大小写不同"_s);
    row("empty 200", answered(""), "PPWP", 2, u"签名"_s);
    row("not xml", answered("<xml><ToUserName>"), "PPFP", 2, u"文档提前结束"_s);
    row("plain text", answered("hello"), "PPFP", 2, u"应以开始标签"_s);
    row("wrong root", answered("<reply/>"), "PPFP", 2, u"<reply>"_s);
    row("users not swapped", answered(reply(kText, "<ToUserName>toUser</ToUserName><FromUserName>fromUser</FromUserName>")),
        "PPPFPPP", 3, u"fromUser"_s);
    row("push not xml", answered(reply(kText)), "PPPWPPP", 3, u"无法比较"_s, plain, u"hello"_s);
    row("CreateTime a word", answered("<xml><ToUserName>fromUser</ToUserName><FromUserName>toUser</FromUserName>"
                                      "<CreateTime>soon</CreateTime>" + kText + "</xml>"),
        "PPPPFPP", 4, u"soon"_s);
    row("CreateTime every digit", answered("<xml><ToUserName>fromUser</ToUserName><FromUserName>toUser</FromUserName>"
                                           "<CreateTime>9876543210</CreateTime>" + kText + "</xml>"),
        "PPPPPPP", 4, u"9876543210"_s);
    row("MsgType unknown", answered(reply("<MsgType>location</MsgType>")), "PPPPPFP", 5, u"location"_s);
    row("image", answered(reply("<MsgType>image</MsgType><Image><MediaId>m</MediaId></Image>")), "PPPPPPP", 5, u"image"_s);
    row("image, MediaId outside", answered(reply("<MsgType>image</MsgType><MediaId>m</MediaId>")), "PPPPPFP", 5,
        u"Image/MediaId"_s);
    row("news", answered(reply("<MsgType>news</MsgType><ArticleCount>2</ArticleCount><Articles>" + kItem + kItem + "</Articles>")),
        "PPPPPPP", 5, u"news"_s);
    row("news, miscounted", answered(reply("<MsgType>news</MsgType><ArticleCount>1</ArticleCount><Articles>" + kItem + kItem + "</Articles>")),
        "PPPPPFP", 5, u"ArticleCount"_s);
    row("news, overcounted", answered(reply("<MsgType>news</MsgType><ArticleCount>3</ArticleCount><Articles>" + kItem + kItem + "</Articles>")),
        "PPPPPFP", 5, u"ArticleCount"_s);
    row("news, 8 items", answered(reply("<MsgType>news</MsgType><ArticleCount>8</ArticleCount><Articles>" + kItem.repeated(8) + "</Articles>")),
        "PPPPPPP", 5, u"news"_s);
    row("news, 9 items", answered(reply("<MsgType>news</MsgType><ArticleCount>9</ArticleCount><Articles>" + kItem.repeated(9) + "</Articles>")),
        "PPPPPFP", 5, u"超过 8 条"_s);
    row("GBK labelled gbk", answered(reply("<MsgType>text</MsgType><Content>\xc4\xe3\xba\xc3</Content>"), 200, 120,
                                     "text/xml; charset=gbk"),
        "PPPPPPF", 6, u"乱码"_s);
    row("BOM before success", answered("\xEF\xBB\xBFsuccess"), "PPPF", 3, u"BOM"_s);
    row("encrypted", encrypted(true), "PPPPPPPPPP", 9, u"AppID"_s, safe);
    row("encrypted, other AppID", encrypted(false), "PPPPPPPPPF", 9, u"wx1"_s, safe);
    row("safe mode, plain reply", answered(reply(kText)), "PPFPPPPP", 2, u"加密"_s, safe);

    // The families' own rules.
    AccessSettings open = safe;
    open.platform = Platform::OpenPlatform;
    open.mode = MessageMode::Plain;
    const QString ticket = u"<xml><AppId>wx1</AppId><InfoType>component_verify_ticket</InfoType></xml>"_s;
    row("third-party platform: success", answered("success"), "PPPP", 2, u"第三方平台"_s, open, ticket);
    row("third-party platform: empty", answered(""), "PPFP", 2, u"必须答复 success"_s, open, ticket);
    row("third-party platform: success and a line break", answered("success\n"), "PPFP", 2, u"必须答复 success"_s, open, ticket);
    AccessSettings weCom = open;
    weCom.platform = Platform::WeCom;
    row("WeCom: plain reply", answered(reply(kText)), "PPFPPPPP", 2, u"企业微信的被动回复必须加密"_s, weCom);
    const QString jsonPush = u"{\"ToUserName\":\"toUser\",\"FromUserName\":\"fromUser\",\"MsgType\":\"text\"}"_s;
    const QByteArray jsonReply = R"({"ToUserName":"fromUser","FromUserName":"toUser","CreateTime":1700000000,"MsgType":"text","Content":"hi"})";
    AccessSettings mini;
    mini.platform = Platform::MiniProgram;
    AccessSettings safeMini = safe;
    safeMini.platform = Platform::MiniProgram;
    row("JSON push, JSON reply", answered(jsonReply), "PPPPPPP", 2, u"JSON 对象"_s, mini, jsonPush);
    row("JSON push, users not swapped", answered(QByteArray(jsonReply).replace("\"fromUser\"", "\"x\"")), "PPPFPPP", 3,
        u"fromUser"_s, mini, jsonPush);
    row("JSON push, XML reply", answered(reply(kText)), "PPFP", 2, u"与推送同一格式"_s, mini, jsonPush);
    row("JSON push, no MsgType", answered(QByteArray(jsonReply).replace("MsgType", "Kind")), "PPPPPFP", 5, u"MsgType"_s,
        mini, jsonPush);
    ExchangeRecord sealedJson = answered(R"({"Encrypt":"abc","MsgSignature":"s","TimeStamp":1,"Nonce":"n"})");
    sealedJson.answerChecks = {{u"签名"_s, true, {}}, {u"解密"_s, true, {}}, {u"AppID"_s, true, {}}};
    sealedJson.decryptedText = QString::fromUtf8(jsonReply);
    row("JSON push, encrypted JSON reply", sealedJson, "PPPPPPPPPP", 2, u"JSON 对象"_s, safeMini, jsonPush);

    ExchangeRecord failed;
    failed.failure = ExchangeFailureNote{PostFailure::TimedOut, u"等待答复超时"_s};
    row("failed exchange", failed, "F", 0, u"错误 3"_s);
    ExchangeRecord cancelled;
    cancelled.cancelled = true;
    row("cancelled", cancelled, "F", 0, u"取消"_s);
}

void TestVerdict::rules()
{
    QFETCH(ExchangeRecord, record);
    QFETCH(QString, push);
    QFETCH(AccessSettings, access);
    QFETCH(QString, expected);
    QFETCH(int, line);
    QFETCH(QString, mention);

    const QList<VerdictLine> lines = judgeExchange(record, push, access);
    QString marks;
    for (const VerdictLine &l : lines)
        marks += l.outcome == VerdictLine::Pass ? u'P' : l.outcome == VerdictLine::Warn ? u'W' : u'F';
    QCOMPARE(marks, expected);
    QVERIFY2(lines[line].text.contains(mention), qPrintable(lines[line].text));
    QCOMPARE(verdictPassed(lines), !expected.contains(u'F'));
}

QTEST_APPLESS_MAIN(TestVerdict)
#include "test_verdict.moc"
