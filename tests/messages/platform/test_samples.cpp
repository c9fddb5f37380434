#include "platform/samples.h"

#include <QTest>
#include <QXmlStreamReader>

class TestSamples : public QObject {
    Q_OBJECT
private slots:
    void exactText_data();
    void exactText();
    void shape_data();
    void shape();
    void locationLabelIsUtf8();
};

using Builder = QString (*)();
Q_DECLARE_METATYPE(Builder)

void TestSamples::exactText_data()
{
    QTest::addColumn<Builder>("build");
    QTest::addColumn<QString>("expected");
    const QString head = QStringLiteral("<xml>\r\n<ToUserName><![CDATA[toUser]]></ToUserName>\r\n"
                                        u"<FromUserName><![CDATA[fromUser]]></FromUserName>\r\n");
    QTest::newRow("picture") << Builder(BuildPictureSample)
        << head + QStringLiteral("<CreateTime>1348831860</CreateTime>\r\n<MsgType><![CDATA[image]]></MsgType>\r\n"
                   u"<PicUrl><![CDATA[this is a url]]></PicUrl>\r\n</xml>");
    QTest::newRow("text") << Builder(BuildTextSample)
        << head + QStringLiteral("<CreateTime>1348831860</CreateTime>\r\n<MsgType><![CDATA[text]]></MsgType>\r\n"
                   u"<Content><![CDATA[this is a test]]></Content>\r\n</xml>");
    QTest::newRow("location") << Builder(BuildLocationSample)
        << head + QStringLiteral("<CreateTime>1351776360</CreateTime>\r\n<MsgType><![CDATA[location]]></MsgType>\r\n"
                   u"<Location_X>23.134521</Location_X>\r\n<Location_Y>113.358803</Location_Y>\r\n"
                   u"<Scale>20</Scale>\r\n<Label><![CDATA[位置信息]]></Label>\r\n</xml>");
}

void TestSamples::exactText()
{
    QFETCH(Builder, build);
    QFETCH(QString, expected);
    QCOMPARE(build(), expected);
    QCOMPARE(build(), build()); // a constant, not a function of the clock or of earlier calls
}

void TestSamples::shape_data()
{
    QTest::addColumn<Builder>("build");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("characters");
    QTest::addColumn<QString>("msgType");
    QTest::newRow("picture") << Builder(BuildPictureSample) << 7 << 228 << "image";
    QTest::newRow("text") << Builder(BuildTextSample) << 7 << 230 << "text";
    QTest::newRow("location") << Builder(BuildLocationSample) << 10 << 312 << "location";
}

void TestSamples::shape()
{
    QFETCH(Builder, build);
    QFETCH(int, lines);
    QFETCH(int, characters);
    QFETCH(QString, msgType);
    const QString text = build();

    QCOMPARE(text.size(), characters);
    QVERIFY(text.startsWith(u"<xml>\r\n"));
    QVERIFY(text.endsWith(u"\r\n</xml>"));
    QCOMPARE(text.count(u"\r\n"), lines - 1);
    // No lone CR or LF: every break is CR LF.
    QCOMPARE(text.count(u'\r'), lines - 1);
    QCOMPARE(text.count(u'\n'), lines - 1);

    // Well-formed, rooted at <xml>, every CDATA section closed, no message id.
    QXmlStreamReader xml(text);
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name(), u"xml");
    QString foundType;
    while (xml.readNextStartElement()) {
        QVERIFY2(xml.name() != u"MsgId", "the samples carry no message identifier");
        if (xml.name() == u"MsgType")
            foundType = xml.readElementText();
        else
            xml.skipCurrentElement();
    }
    xml.readNext();
    QVERIFY(xml.atEnd());
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(foundType, msgType);
    QCOMPARE(text.count(u"<![CDATA["), text.count(u"]]>"));
}

void TestSamples::locationLabelIsUtf8()
{
    const QByteArray bytes = BuildLocationSample().toUtf8();
    QCOMPARE(bytes.size(), 320);
    QVERIFY(bytes.contains("<Label><![CDATA[\xe4\xbd\x8d\xe7\xbd\xae\xe4\xbf\xa1\xe6\x81\xaf]]></Label>"));
}

QTEST_APPLESS_MAIN(TestSamples)
#include "test_samples.moc"
