#include "platform/json_fields.h"
#include "platform/more_samples.h"
#include "platform/samples.h"
#include "xml/xml_fields.h"

#include <QDateTime>
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
    void familyShape_data();
    void familyShape();
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

// Each family's samples in each body format it has: the fields the
// platform's push carries ("name=value": with that value; "name~": fresh on
// every build), addressed to the settings' receive id and AgentID, stamped now.
void TestMoreSamples::familyShape_data()
{
    QTest::addColumn<int>("platform");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("required");
    const auto row = [](Platform platform, BodyFormat format, const char *name, const QString &fields) {
        QTest::addRow("%s %s %s", qPrintable(platformName(platform)), format == BodyFormat::Json ? "json" : "xml", name)
            << int(platform) << int(format) << QString::fromLatin1(name) << fields.split(u' ');
    };
    for (BodyFormat format : {BodyFormat::Xml, BodyFormat::Json}) {
        const auto mini = [&](const char *name, const QString &fields) {
            row(Platform::MiniProgram, format, name, u"ToUserName=toUser FromUserName=fromUser "_s + fields);
        };
        mini("text", u"MsgType=text Content MsgId~"_s);
        mini("image", u"MsgType=image PicUrl MediaId MsgId~"_s);
        mini("miniprogrampage", u"MsgType=miniprogrampage Title AppId PagePath ThumbUrl ThumbMediaId MsgId~"_s);
        mini("user_enter_tempsession", u"MsgType=event Event=user_enter_tempsession SessionFrom"_s);
    }
    const auto weCom = [&](const char *name, const QString &fields) {
        row(Platform::WeCom, BodyFormat::Xml, name, u"ToUserName=wxRECEIVE AgentID=218 "_s + fields);
    };
    weCom("text", u"MsgType=text Content MsgId~"_s);
    weCom("image", u"MsgType=image PicUrl MediaId MsgId~"_s);
    weCom("location", u"MsgType=location Location_X Location_Y Scale Label MsgId~"_s);
    weCom("enter_agent", u"MsgType=event Event=enter_agent"_s);
    weCom("create_user", u"MsgType=event Event=change_contact ChangeType=create_user UserID"_s);
    weCom("click", u"MsgType=event Event=click EventKey"_s);
    const auto open = [&](const char *name, const QString &fields) {
        row(Platform::OpenPlatform, BodyFormat::Xml, name, u"AppId=wxRECEIVE InfoType="_s + QLatin1StringView(name) + u' ' + fields);
    };
    open("component_verify_ticket", u"ComponentVerifyTicket~"_s);
    const QString authorization = u"AuthorizerAppid AuthorizationCode~ AuthorizationCodeExpiredTime PreAuthCode~"_s;
    open("authorized", authorization);
    open("updateauthorized", authorization);
    open("unauthorized", u"AuthorizerAppid"_s);
}

void TestMoreSamples::familyShape()
{
    QFETCH(int, platform);
    QFETCH(int, format);
    QFETCH(QString, name);
    QFETCH(QStringList, required);
    AccessSettings access;
    access.platform = Platform(platform);
    access.format = BodyFormat(format);
    access.appId = u"wxRECEIVE"_s;
    access.agentId = u"218"_s;
    const PushSample *sample = findPushSample(access.platform, name);
    QVERIFY(sample && !sample->caption.isEmpty());
    const auto read = [&](const QString &text) {
        return access.format == BodyFormat::Json ? jsonObjectFields(text) : topLevel(text);
    };
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const QString text = buildPushSample(*sample, access);
    const QMap<QString, QString> fields = read(text);
    const QMap<QString, QString> again = read(buildPushSample(*sample, access));
    QVERIFY2(!fields.isEmpty(), qPrintable(text));
    const qint64 createTime = fields.value(u"CreateTime"_s).toLongLong();
    QVERIFY2(createTime >= before && createTime <= QDateTime::currentSecsSinceEpoch(), qPrintable(text));
    for (const QString &element : std::as_const(required)) {
        const QString field = element.section(u'=', 0, 0).remove(u'~');
        QVERIFY2(fields.contains(field) && !fields.value(field).isEmpty(), qPrintable(field + u" in "_s + text));
        if (element.contains(u'='))
            QCOMPARE(fields.value(field), element.section(u'=', 1));
        if (element.endsWith(u'~'))
            QVERIFY2(fields.value(field) != again.value(field), qPrintable(field));
    }
    QCOMPARE(fields.contains(u"MsgId"_s), sample->hasMsgId);
}

QTEST_APPLESS_MAIN(TestMoreSamples)
#include "test_more_samples.moc"
