#include "platform/more_samples.h"
#include "platform/samples.h"
#include "xml/xml_fields.h"

#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 kTime = 1700000000;
constexpr quint64 kId = 6'054'768'590'064'713'728ULL;

// The children of <xml> by name; empty unless the text is one well-formed document.
QMap<QString, QString> topLevel(const QString &text)
{
    QXmlStreamReader xml(text);
    while (!xml.atEnd())
        xml.readNext();
    return xml.hasError() ? QMap<QString, QString>() : rootChildFields(text);
}

} // namespace

class TestMoreSamples : public QObject {
    Q_OBJECT
private slots:
    void shape_data();
    void shape();
    void freshMsgId();
};

// Each sample by name, with the elements its type requires ("name=value": with that value).
void TestMoreSamples::shape_data()
{
    QTest::addColumn<QStringList>("required");
    const auto row = [](const char *name, const QString &fields) { QTest::newRow(name) << fields.split(u' '); };
    const QString message = u"MsgId=%1 "_s.arg(kId);
    row("image", message + u"MsgType=image PicUrl MediaId"_s);
    row("voice", message + u"MsgType=voice MediaId Format"_s);
    row("video", message + u"MsgType=video MediaId ThumbMediaId"_s);
    row("shortvideo", message + u"MsgType=shortvideo MediaId ThumbMediaId"_s);
    row("link", message + u"MsgType=link Title Description Url"_s);
    row("subscribe", u"MsgType=event Event=subscribe"_s);
    row("subscribe-qrscene", u"MsgType=event Event=subscribe EventKey=qrscene_123123 Ticket"_s);
    row("unsubscribe", u"MsgType=event Event=unsubscribe"_s);
    row("scan", u"MsgType=event Event=SCAN EventKey Ticket"_s);
    row("location-event", u"MsgType=event Event=LOCATION Latitude Longitude Precision"_s);
    row("click", u"MsgType=event Event=CLICK EventKey"_s);
    row("view", u"MsgType=event Event=VIEW EventKey"_s);
}

void TestMoreSamples::shape()
{
    QFETCH(QStringList, required);
    const PushSample *sample = findPushSample(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(sample && !sample->caption.isEmpty());
    const QString text = sample->build(kTime, kId);

    // The fixed samples' layout: CR LF only, no indentation, nothing after </xml>.
    QVERIFY(text.startsWith(u"<xml>\r\n") && text.endsWith(u"\r\n</xml>"));
    QCOMPARE(text.count(u'\r') + text.count(u'\n'), 2 * text.count(u"\r\n"));
    QVERIFY(!text.contains(u"\n ") && !text.contains(u"\n\t"));

    const QMap<QString, QString> fields = topLevel(text);
    QVERIFY2(!fields.isEmpty(), qPrintable(text));
    required << u"ToUserName=toUser"_s << u"FromUserName=fromUser"_s << u"CreateTime=%1"_s.arg(kTime);
    for (const QString &element : required) {
        const QString name = element.section(u'=', 0, 0);
        QVERIFY2(fields.contains(name), qPrintable(name));
        if (element.contains(u'='))
            QCOMPARE(fields.value(name), element.section(u'=', 1));
    }
    QCOMPARE(fields.contains(u"MsgId"_s), sample->hasMsgId); // events carry none
}

// Two posts of a message are two messages; a repeat can be made a new one.
void TestMoreSamples::freshMsgId()
{
    QCOMPARE(pushSamples().size(), 12);
    for (const PushSample &sample : pushSamples()) {
        const QString first = topLevel(buildPushSample(sample)).value(u"MsgId"_s);
        QCOMPARE(first.toLongLong() > 0, sample.hasMsgId); // fits a signed 64-bit reader
        QVERIFY(!sample.hasMsgId || first != topLevel(buildPushSample(sample)).value(u"MsgId"_s));
    }
    const PushSample *image = findPushSample(u"image");
    QCOMPARE(withMsgId(image->build(kTime, 1), kId), image->build(kTime, kId));
    QVERIFY(withFreshMsgId(image->build(kTime, 1)) != image->build(kTime, 1));
    QCOMPARE(withFreshMsgId(BuildTextSample()), BuildTextSample());
}

QTEST_APPLESS_MAIN(TestMoreSamples)
#include "test_more_samples.moc"
