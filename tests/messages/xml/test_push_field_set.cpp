#include "xml/push_field_set.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestPushFieldSet : public QObject {
    Q_OBJECT
private slots:
    void setsOneFieldAndNothingElse_data();
    void setsOneFieldAndNothingElse();
};

// Every byte but the field's stays; what cannot be set is said and leaves the body alone.
void TestPushFieldSet::setsOneFieldAndNothingElse_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("expected"); // the body after, or the problem's start when it is refused
    QTest::addColumn<bool>("refused");

    const QString text = u"<xml>\n<ToUserName><![CDATA[gh_1]]></ToUserName>\n<CreateTime>1348831860</CreateTime>\n"
                         "<Content><![CDATA[hi]]></Content>\n<MsgId>1234567890123456</MsgId>\n</xml>"_s;
    auto textWith = [&](const QString &from, const QString &to) { return QString(text).replace(from, to); };
    QTest::newRow("xml cdata") << text << u"Content=退订"_s << textWith(u"[hi]"_s, u"[退订]"_s) << false;
    QTest::newRow("xml cdata end split") << text << u"Content=a]]>b"_s
                                         << textWith(u"[hi]]>"_s, u"[a]]]]><![CDATA[>b]]>"_s) << false;
    QTest::newRow("xml plain escaped") << text << u"CreateTime=<&>"_s
                                       << textWith(u">1348831860<"_s, u">&lt;&amp;&gt;<"_s) << false;
    QTest::newRow("xml value with =") << text << u"Content=a=b"_s << textWith(u"[hi]"_s, u"[a=b]"_s) << false;
    QTest::newRow("xml added text") << text << u"Event=subscribe"_s
                                    << textWith(u"\n</xml>"_s, u"\n<Event><![CDATA[subscribe]]></Event></xml>"_s) << false;
    QTest::newRow("xml added number") << text << u"AgentID=7"_s << textWith(u"\n</xml>"_s, u"\n<AgentID>7</AgentID></xml>"_s) << false;
    QTest::newRow("xml longer name not taken") << u"<xml><ContentType>x</ContentType><Content>y</Content></xml>"_s
                                               << u"Content=z"_s << u"<xml><ContentType>x</ContentType><Content>z</Content></xml>"_s << false;
    QTest::newRow("xml nested") << u"<?xml version=\"1.0\"?><xml><ScanCodeInfo><ScanType><![CDATA[qrcode]]></ScanType></ScanCodeInfo></xml>"_s
                                << u"ScanCodeInfo.ScanType=barcode"_s
                                << u"<?xml version=\"1.0\"?><xml><ScanCodeInfo><ScanType><![CDATA[barcode]]></ScanType></ScanCodeInfo></xml>"_s << false;
    QTest::newRow("xml empty element") << u"<xml><Content/></xml>"_s << u"Content=x"_s << u"<xml><Content>x</Content></xml>"_s << false;
    QTest::newRow("xml parent missing") << text << u"A.B=1"_s << u"推送里没有元素 <A>"_s << true;
    QTest::newRow("xml element holds elements") << u"<xml><A><B>1</B></A></xml>"_s << u"A=1"_s << u"元素 <A> 里还有元素"_s << true;
    QTest::newRow("no name") << text << u"=x"_s << u"字段应写成"_s << true;
    QTest::newRow("no equals") << text << u"Content"_s << u"字段应写成"_s << true;

    const QString json = u"{\"ToUserName\": \"gh_1\",\n \"CreateTime\": 1348831860, \"Inner\": {\"A\": \"x\"}}"_s;
    auto jsonWith = [&](const QString &from, const QString &to) { return QString(json).replace(from, to); };
    QTest::newRow("json string, order kept") << json << u"ToUserName=gh_\"2\""_s << jsonWith(u"\"gh_1\""_s, u"\"gh_\\\"2\\\"\""_s) << false;
    QTest::newRow("json number") << json << u"CreateTime=1"_s << jsonWith(u"1348831860"_s, u"1"_s) << false;
    QTest::newRow("json number refused") << json << u"CreateTime=soon"_s << u"字段 CreateTime 原来是数字"_s << true;
    QTest::newRow("json nested") << json << u"Inner.A=y"_s << jsonWith(u"\"A\": \"x\""_s, u"\"A\": \"y\""_s) << false;
    QTest::newRow("json added") << json << u"Inner.B=中"_s << jsonWith(u"\"x\"}"_s, u"\"x\",\"B\":\"中\"}"_s) << false;
    QTest::newRow("json object refused") << json << u"Inner=1"_s << u"字段 Inner 是对象"_s << true;
    QTest::newRow("json parent missing") << json << u"Outer.A=1"_s << u"推送里没有字段 Outer"_s << true;
    QTest::newRow("neither") << u"hello"_s << u"A=1"_s << u"正文既不是"_s << true;
}

void TestPushFieldSet::setsOneFieldAndNothingElse()
{
    QFETCH(QString, body);
    QFETCH(QString, assignment);
    QFETCH(QString, expected);
    QFETCH(bool, refused);

    QString changed = body;
    const std::optional<QString> problem = setPushField(changed, assignment);
    if (refused) {
        QVERIFY(problem);
        QVERIFY2(problem->startsWith(expected), qPrintable(*problem));
        QCOMPARE(changed, body);
    } else {
        QVERIFY2(!problem, qPrintable(problem.value_or(QString())));
        QCOMPARE(changed, expected);
    }
}

QTEST_APPLESS_MAIN(TestPushFieldSet)
#include "test_push_field_set.moc"
