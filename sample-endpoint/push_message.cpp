#include "push_message.h"

#include "http/library_words.h"

#include <QXmlStreamReader>

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace {

struct TypeField {
    QStringView type;
    QStringView field;
};

constexpr std::array kBaseFields = {u"ToUserName", u"FromUserName", u"MsgType"};

constexpr std::array<TypeField, 6> kTypeFields = {{
    {u"text", u"Content"},
    {u"image", u"PicUrl"},
    {u"location", u"Location_X"},
    {u"location", u"Location_Y"},
    {u"location", u"Scale"},
    {u"location", u"Label"},
}};

// Free text is echoed exactly; names and numbers may be padded by XML typed by hand.
bool keepsSpaces(QStringView name)
{
    return name == u"Content" || name == u"Label";
}

bool missing(const PushMessage &message, QStringView name)
{
    const auto found = message.fields.constFind(name.toString());
    return found == message.fields.cend() || (!keepsSpaces(name) && found->isEmpty());
}

QString typeName(QStringView type)
{
    if (type == u"text")
        return u"文本消息"_s;
    if (type == u"image")
        return u"图片消息"_s;
    return u"位置消息"_s;
}

PushRejection notWellFormed(const QXmlStreamReader &reader)
{
    return {u"正文不是格式正确的 XML（%1）"_s.arg(xmlProblem(reader))};
}

} // namespace

std::variant<PushMessage, PushRejection> ParsePushMessage(const QByteArray &body)
{
    QXmlStreamReader reader(body);
    if (!reader.readNextStartElement())
        return notWellFormed(reader);
    if (reader.name() != u"xml")
        return PushRejection{u"推送消息的根元素应为 <xml>，收到的是 <%1>"_s.arg(reader.name())};

    PushMessage message;
    while (reader.readNextStartElement()) {
        const QString name = reader.name().toString();
        QString text = reader.readElementText(QXmlStreamReader::SkipChildElements);
        if (!keepsSpaces(name))
            text = text.trimmed();
        if (!message.fields.contains(name))
            message.fields.insert(name, text);
    }
    // Whatever follows </xml> must be well-formed too.
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        return notWellFormed(reader);
    if (auto rejection = CheckPushFields(message))
        return *rejection;
    return message;
}

std::optional<PushRejection> CheckPushFields(const PushMessage &message)
{
    for (QStringView name : kBaseFields) {
        if (missing(message, name))
            return PushRejection{u"推送消息缺少 %1 字段"_s.arg(name)};
    }
    const QString type = message.value(u"MsgType"_s);
    for (const TypeField &required : kTypeFields) {
        if (required.type == type && missing(message, required.field))
            return PushRejection{u"%1缺少 %2 字段"_s.arg(typeName(type), required.field)};
    }
    return std::nullopt;
}
