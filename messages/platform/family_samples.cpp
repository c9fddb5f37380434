#include "platform/family_samples.h"

#include "crypto/secure_random.h"

using namespace Qt::Literals::StringLiterals;

namespace {

PushField text(const QString &name, const QString &value)
{
    return {name, value, false};
}

PushField number(const QString &name, qint64 value)
{
    return {name, QString::number(value), true};
}

PushField msgId(const SampleContext &c)
{
    return {u"MsgId"_s, QString::number(c.msgId), true};
}

// Stand-ins where the settings leave the receive id or AgentID empty.
QString receiveId(const SampleContext &c, const QString &standIn)
{
    return c.receiveId.isEmpty() ? standIn : c.receiveId;
}

// A code or ticket as the platform hands them out: a prefix and fresh letters.
QString freshCode(const QString &prefix)
{
    return prefix + QString::fromLatin1(secureRandomBytes(24).toBase64(QByteArray::Base64UrlEncoding));
}

// The mini-program addresses its pushes to its original id (gh_...), not its AppID.
QList<PushField> miniProgramHead(const SampleContext &c, const QString &msgType)
{
    return {text(u"ToUserName"_s, u"toUser"_s), text(u"FromUserName"_s, u"fromUser"_s), number(u"CreateTime"_s, c.createTime),
            text(u"MsgType"_s, msgType)};
}

// WeCom addresses a callback to the CorpID and names the application.
QList<PushField> weComPush(const SampleContext &c, const QString &msgType, const QList<PushField> &body,
                           const QString &from = u"fromUser"_s)
{
    QList<PushField> fields{text(u"ToUserName"_s, receiveId(c, u"toUser"_s)), text(u"FromUserName"_s, from),
                            number(u"CreateTime"_s, c.createTime), text(u"MsgType"_s, msgType)};
    fields += body;
    fields.append(number(u"AgentID"_s, c.agentId.isEmpty() ? 1 : c.agentId.toLongLong()));
    return fields;
}

QList<PushField> weComEvent(const SampleContext &c, const QString &event, const QList<PushField> &body = {},
                            const QString &from = u"fromUser"_s)
{
    return weComPush(c, u"event"_s, QList<PushField>{text(u"Event"_s, event)} + body, from);
}

// The third-party platform's events name the platform's own AppID.
QList<PushField> openEvent(const SampleContext &c, const QString &infoType, const QList<PushField> &body)
{
    return QList<PushField>{text(u"AppId"_s, receiveId(c, u"wx_component_appid"_s)), number(u"CreateTime"_s, c.createTime),
                            text(u"InfoType"_s, infoType)}
        + body;
}

QList<PushField> authorization(const SampleContext &c, const QString &infoType)
{
    return openEvent(c, infoType,
                     {text(u"AuthorizerAppid"_s, u"wx_authorizer_appid"_s),
                      text(u"AuthorizationCode"_s, freshCode(u"queryauthcode@@@"_s)),
                      number(u"AuthorizationCodeExpiredTime"_s, c.createTime + 3600),
                      text(u"PreAuthCode"_s, freshCode(u"preauthcode@@@"_s))});
}

} // namespace

const QList<PushSample> &miniProgramSamples()
{
    static const QList<PushSample> samples = {
        {u"text"_s, u"文本消息"_s, true, nullptr,
         [](const SampleContext &c) {
             return miniProgramHead(c, u"text"_s) + QList<PushField>{text(u"Content"_s, u"this is a test"_s), msgId(c)};
         }},
        {u"image"_s, u"图片消息"_s, true, nullptr,
         [](const SampleContext &c) {
             return miniProgramHead(c, u"image"_s)
                 + QList<PushField>{text(u"PicUrl"_s, u"this is a url"_s), text(u"MediaId"_s, u"media_id"_s), msgId(c)};
         }},
        {u"miniprogrampage"_s, u"小程序卡片消息"_s, true, nullptr,
         [](const SampleContext &c) {
             return miniProgramHead(c, u"miniprogrampage"_s)
                 + QList<PushField>{text(u"Title"_s, u"title"_s), text(u"AppId"_s, u"appid"_s),
                                    text(u"PagePath"_s, u"path"_s), text(u"ThumbUrl"_s, u"this is a url"_s),
                                    text(u"ThumbMediaId"_s, u"thumb_media_id"_s), msgId(c)};
         }},
        {u"user_enter_tempsession"_s, u"进入客服会话事件"_s, false, nullptr,
         [](const SampleContext &c) {
             return miniProgramHead(c, u"event"_s)
                 + QList<PushField>{text(u"Event"_s, u"user_enter_tempsession"_s), text(u"SessionFrom"_s, u"sessionFrom"_s)};
         }},
    };
    return samples;
}

const QList<PushSample> &weComSamples()
{
    static const QList<PushSample> samples = {
        {u"text"_s, u"文本消息"_s, true, nullptr,
         [](const SampleContext &c) {
             return weComPush(c, u"text"_s, {text(u"Content"_s, u"this is a test"_s), msgId(c)});
         }},
        {u"image"_s, u"图片消息"_s, true, nullptr,
         [](const SampleContext &c) {
             return weComPush(c, u"image"_s,
                              {text(u"PicUrl"_s, u"this is a url"_s), text(u"MediaId"_s, u"media_id"_s), msgId(c)});
         }},
        {u"location"_s, u"位置消息"_s, true, nullptr,
         [](const SampleContext &c) {
             return weComPush(c, u"location"_s,
                              {{u"Location_X"_s, u"23.134521"_s, true}, {u"Location_Y"_s, u"113.358803"_s, true},
                               number(u"Scale"_s, 20), text(u"Label"_s, u"位置信息"_s), msgId(c)});
         }},
        {u"enter_agent"_s, u"进入应用事件"_s, false, nullptr,
         [](const SampleContext &c) { return weComEvent(c, u"enter_agent"_s, {text(u"EventKey"_s, QString())}); }},
        {u"create_user"_s, u"通讯录新增成员事件 (change_contact)"_s, false, nullptr,
         [](const SampleContext &c) {
             return weComEvent(c, u"change_contact"_s,
                               {text(u"ChangeType"_s, u"create_user"_s), text(u"UserID"_s, u"zhangsan"_s),
                                text(u"Name"_s, u"张三"_s), text(u"Department"_s, u"1,2,3"_s)},
                               u"sys"_s);
         }},
        {u"click"_s, u"点击菜单拉取消息事件"_s, false, nullptr,
         [](const SampleContext &c) { return weComEvent(c, u"click"_s, {text(u"EventKey"_s, u"EVENTKEY"_s)}); }},
    };
    return samples;
}

const QList<PushSample> &openPlatformSamples()
{
    static const QList<PushSample> samples = {
        {u"component_verify_ticket"_s, u"验证票据 (component_verify_ticket)"_s, false, nullptr,
         [](const SampleContext &c) {
             return openEvent(c, u"component_verify_ticket"_s,
                              {text(u"ComponentVerifyTicket"_s, freshCode(u"ticket@@@"_s))});
         }},
        {u"authorized"_s, u"授权成功通知"_s, false, nullptr,
         [](const SampleContext &c) { return authorization(c, u"authorized"_s); }},
        {u"updateauthorized"_s, u"授权更新通知"_s, false, nullptr,
         [](const SampleContext &c) { return authorization(c, u"updateauthorized"_s); }},
        {u"unauthorized"_s, u"取消授权通知"_s, false, nullptr,
         [](const SampleContext &c) {
             return openEvent(c, u"unauthorized"_s, {text(u"AuthorizerAppid"_s, u"wx_authorizer_appid"_s)});
         }},
    };
    return samples;
}
