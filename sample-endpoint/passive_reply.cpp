#include "passive_reply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

QString DescribePush(const PushMessage &message)
{
    const QString type = message.value(u"MsgType"_s);
    if (type == u"text")
        return u"收到文本消息：%1"_s.arg(message.value(u"Content"_s));
    if (type == u"image")
        return u"收到图片消息：%1"_s.arg(message.value(u"PicUrl"_s));
    if (type == u"location")
        return u"收到位置：%1, %2（缩放 %3）%4"_s.arg(message.value(u"Location_X"_s), message.value(u"Location_Y"_s),
                                                    message.value(u"Scale"_s), message.value(u"Label"_s));
    return u"收到 %1 类型的消息（本示例只解读文本、图片和位置消息）"_s.arg(type);
}

QString CData(const QString &text)
{
    QString escaped = text;
    escaped.replace(u"]]>"_s, u"]]]]><![CDATA[>"_s);
    return u"<![CDATA["_s + escaped + u"]]>"_s;
}

QString BuildTextReply(const PushMessage &received, qint64 createTime, const QString &content)
{
    const QStringList lines = {
        u"<xml>"_s,
        u"<ToUserName>%1</ToUserName>"_s.arg(CData(received.value(u"FromUserName"_s))),
        u"<FromUserName>%1</FromUserName>"_s.arg(CData(received.value(u"ToUserName"_s))),
        u"<CreateTime>%1</CreateTime>"_s.arg(createTime),
        u"<MsgType>%1</MsgType>"_s.arg(CData(u"text"_s)),
        u"<Content>%1</Content>"_s.arg(CData(content)),
        u"</xml>"_s,
    };
    return lines.join(u'\n');
}

QString BuildJsonTextReply(const PushMessage &received, qint64 createTime, const QString &content)
{
    const QJsonObject reply{
        {u"ToUserName"_s, received.value(u"FromUserName"_s)},
        {u"FromUserName"_s, received.value(u"ToUserName"_s)},
        {u"CreateTime"_s, createTime},
        {u"MsgType"_s, u"text"_s},
        {u"Content"_s, content},
    };
    return QString::fromUtf8(QJsonDocument(reply).toJson(QJsonDocument::Compact));
}
