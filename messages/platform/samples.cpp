#include "platform/samples.h"

#include <initializer_list>

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

// "<xml>" and a break, each further line with its break, then "</xml>" alone.
QString accumulate(std::initializer_list<const char16_t *> innerLines)
{
    QString text = QStringLiteral("<xml>") + kLineBreak;
    text += QStringLiteral("<ToUserName><![CDATA[toUser]]></ToUserName>") + kLineBreak;
    text += QStringLiteral("<FromUserName><![CDATA[fromUser]]></FromUserName>") + kLineBreak;
    for (const char16_t *line : innerLines)
        text += QString::fromUtf16(line) + kLineBreak;
    text += QStringLiteral("</xml>");
    return text;
}

} // namespace

QString BuildPictureSample()
{
    return accumulate({
        u"<CreateTime>1348831860</CreateTime>",
        u"<MsgType><![CDATA[image]]></MsgType>",
        u"<PicUrl><![CDATA[this is a url]]></PicUrl>",
    });
}

QString BuildTextSample()
{
    return accumulate({
        u"<CreateTime>1348831860</CreateTime>",
        u"<MsgType><![CDATA[text]]></MsgType>",
        u"<Content><![CDATA[this is a test]]></Content>",
    });
}

QString BuildLocationSample()
{
    return accumulate({
        u"<CreateTime>1351776360</CreateTime>",
        u"<MsgType><![CDATA[location]]></MsgType>",
        u"<Location_X>23.134521</Location_X>",
        u"<Location_Y>113.358803</Location_Y>",
        u"<Scale>20</Scale>",
        u"<Label><![CDATA[位置信息]]></Label>",
    });
}
