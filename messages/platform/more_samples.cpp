#include "platform/more_samples.h"

#include "crypto/secure_random.h"
#include "pay/pay_notification.h"
#include "platform/family_rules.h"
#include "platform/family_samples.h"
#include "platform/json_fields.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

namespace {

QString cdata(const char *name, const QString &value)
{
    return QStringLiteral("<%1><![CDATA[%2]]></%1>").arg(QLatin1StringView(name), value);
}

QString plain(const char *name, const QString &value)
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1StringView(name), value);
}

// As the platform lays a push out: one element a line, CR LF between lines.
QString push(qint64 createTime, const char *msgType, const QStringList &fields)
{
    QStringList lines{QStringLiteral("<xml>"), cdata("ToUserName", QStringLiteral("toUser")),
                      cdata("FromUserName", QStringLiteral("fromUser")),
                      plain("CreateTime", QString::number(createTime)),
                      cdata("MsgType", QLatin1StringView(msgType))};
    lines += fields;
    lines.append(QStringLiteral("</xml>"));
    return lines.join(QStringLiteral("\r\n"));
}

QString msgId(quint64 id)
{
    return plain("MsgId", QString::number(id));
}

QString event(qint64 createTime, const char *name, const QStringList &fields = {})
{
    return push(createTime, "event", QStringList{cdata("Event", QLatin1StringView(name))} + fields);
}

QString media(qint64 createTime, quint64 id, const char *msgType)
{
    return push(createTime, msgType,
                {cdata("MediaId", QStringLiteral("media_id")), cdata("ThumbMediaId", QStringLiteral("thumb_media_id")),
                 msgId(id)});
}

} // namespace

const QList<PushSample> &pushSamples()
{
    static const QList<PushSample> samples = {
        {QStringLiteral("image"), QStringLiteral("图片消息"), true,
         [](qint64 t, quint64 id) {
             return push(t, "image", {cdata("PicUrl", QStringLiteral("this is a url")),
                                      cdata("MediaId", QStringLiteral("media_id")), msgId(id)});
         }},
        {QStringLiteral("voice"), QStringLiteral("语音消息"), true,
         [](qint64 t, quint64 id) {
             return push(t, "voice", {cdata("MediaId", QStringLiteral("media_id")),
                                      cdata("Format", QStringLiteral("amr")), msgId(id)});
         }},
        {QStringLiteral("video"), QStringLiteral("视频消息"), true,
         [](qint64 t, quint64 id) { return media(t, id, "video"); }},
        {QStringLiteral("shortvideo"), QStringLiteral("小视频消息"), true,
         [](qint64 t, quint64 id) { return media(t, id, "shortvideo"); }},
        {QStringLiteral("link"), QStringLiteral("链接消息"), true,
         [](qint64 t, quint64 id) {
             return push(t, "link", {cdata("Title", QStringLiteral("公众平台官网链接")),
                                     cdata("Description", QStringLiteral("公众平台官网链接")),
                                     cdata("Url", QStringLiteral("url")), msgId(id)});
         }},
        {QStringLiteral("subscribe"), QStringLiteral("关注事件"), false,
         [](qint64 t, quint64) { return event(t, "subscribe"); }},
        {QStringLiteral("subscribe-qrscene"), QStringLiteral("扫带参数二维码关注事件"), false,
         [](qint64 t, quint64) {
             return event(t, "subscribe", {cdata("EventKey", QStringLiteral("qrscene_123123")),
                                           cdata("Ticket", QStringLiteral("TICKET"))});
         }},
        {QStringLiteral("unsubscribe"), QStringLiteral("取消关注事件"), false,
         [](qint64 t, quint64) { return event(t, "unsubscribe"); }},
        {QStringLiteral("scan"), QStringLiteral("已关注用户扫码事件 (SCAN)"), false,
         [](qint64 t, quint64) {
             return event(t, "SCAN", {cdata("EventKey", QStringLiteral("SCENE_VALUE")),
                                      cdata("Ticket", QStringLiteral("TICKET"))});
         }},
        {QStringLiteral("location-event"), QStringLiteral("上报地理位置事件 (LOCATION)"), false,
         [](qint64 t, quint64) {
             return event(t, "LOCATION", {plain("Latitude", QStringLiteral("23.137466")),
                                          plain("Longitude", QStringLiteral("113.352425")),
                                          plain("Precision", QStringLiteral("119.385040"))});
         }},
        {QStringLiteral("click"), QStringLiteral("点击菜单拉取消息事件 (CLICK)"), false,
         [](qint64 t, quint64) { return event(t, "CLICK", {cdata("EventKey", QStringLiteral("EVENTKEY"))}); }},
        {QStringLiteral("view"), QStringLiteral("点击菜单跳转链接事件 (VIEW)"), false,
         [](qint64 t, quint64) { return event(t, "VIEW", {cdata("EventKey", QStringLiteral("www.qq.com"))}); }},
    };
    return samples;
}

const PushSample *findPushSample(QStringView name)
{
    for (const PushSample &sample : pushSamples()) {
        if (sample.name == name)
            return &sample;
    }
    return nullptr;
}

quint64 freshMsgId()
{
    return qFromBigEndian<quint64>(secureRandomBytes(8).constData()) >> 1;
}

QString buildPushSample(const PushSample &sample)
{
    if (sample.text)
        return sample.text(sample, AccessSettings{});
    if (!sample.build)
        return buildPushSample(sample, AccessSettings{});
    return sample.build(QDateTime::currentSecsSinceEpoch(), sample.hasMsgId ? freshMsgId() : 0);
}

namespace {

// The resource as the window's XML box shows it: laid out to be edited,
// sealed byte for byte as it then stands.
QString payResourceText(const PushSample &sample, const AccessSettings &access)
{
    const std::optional<PaySample> found = findPaySample(sample.name);
    if (!found)
        return QString();
    const QJsonObject resource = paySampleResource(*found, access, QDateTime::currentDateTime());
    return QString::fromUtf8(QJsonDocument(resource).toJson(QJsonDocument::Indented)).trimmed();
}

// Made from the payment module's own list, so that a notification it adds is in the menu too.
const QList<PushSample> &paySampleList()
{
    static const QList<PushSample> samples = [] {
        QList<PushSample> list;
        for (const PaySample &sample : paySamples())
            list.append({sample.name, QStringLiteral("%1 (%2)").arg(sample.summary, sample.eventType), false, nullptr,
                         nullptr, &payResourceText});
        return list;
    }();
    return samples;
}

} // namespace

const QList<PushSample> &pushSamples(Platform platform)
{
    switch (platform) {
    case Platform::MiniProgram:
        return miniProgramSamples();
    case Platform::WeCom:
        return weComSamples();
    case Platform::OpenPlatform:
        return openPlatformSamples();
    case Platform::Pay:
        return paySampleList();
    default:
        return pushSamples();
    }
}

const PushSample *findPushSample(Platform platform, QStringView name)
{
    for (const PushSample &sample : pushSamples(platform)) {
        if (sample.name == name)
            return &sample;
    }
    return nullptr;
}

QString buildPushSample(const PushSample &sample, const AccessSettings &access)
{
    if (sample.text)
        return sample.text(sample, access);
    if (sample.build)
        return buildPushSample(sample);
    const SampleContext context{QDateTime::currentSecsSinceEpoch(), sample.hasMsgId ? freshMsgId() : 0, access.appId,
                                access.agentId};
    const QList<PushField> fields = sample.fields(context);
    return pushesJson(access) ? pushJson(fields) : pushXml(fields);
}

QString pushXml(const QList<PushField> &fields)
{
    QStringList lines{QStringLiteral("<xml>")};
    for (const PushField &field : fields) {
        const QByteArray name = field.name.toLatin1();
        lines.append(field.number ? plain(name.constData(), field.value) : cdata(name.constData(), field.value));
    }
    lines.append(QStringLiteral("</xml>"));
    return lines.join(QStringLiteral("\r\n"));
}

QString pushJson(const QList<PushField> &fields)
{
    QStringList members;
    for (const PushField &field : fields)
        members.append(jsonString(field.name) + u':' + (field.number ? field.value : jsonString(field.value)));
    return u'{' + members.join(u',') + u'}';
}

QString withMsgId(const QString &push, quint64 msgId)
{
    static const QRegularExpression element(QStringLiteral("<MsgId>\\s*([0-9]+)\\s*</MsgId>"));
    // A mini-program's JSON push: "MsgId": digits.
    static const QRegularExpression member(QStringLiteral("\"MsgId\"\\s*:\\s*([0-9]+)"));
    const QRegularExpressionMatch found = (looksLikeJson(push) ? member : element).match(push);
    if (!found.hasMatch())
        return push;
    QString changed = push;
    return changed.replace(found.capturedStart(1), found.capturedLength(1), QString::number(msgId));
}

QString withFreshMsgId(const QString &push)
{
    return withMsgId(push, freshMsgId());
}
