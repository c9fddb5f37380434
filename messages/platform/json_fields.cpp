#include "platform/json_fields.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

QMap<QString, QString> jsonObjectFields(const QString &json)
{
    QMap<QString, QString> fields;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    const QJsonObject object = document.object();
    for (auto member = object.begin(); member != object.end(); ++member) {
        const QJsonValue value = member.value();
        // A whole number keeps every digit (a MsgId passes 2^53): read as qint64, not double.
        fields.insert(member.key(), value.isString() ? value.toString()
                                       : value.isDouble() ? value.toVariant().toString()
                                                          : QString());
    }
    return fields;
}

QString jsonString(const QString &value)
{
    QString text = u"\""_s;
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\')
            text += u'\\' + QString(c);
        else if (c == u'\n')
            text += u"\\n"_s;
        else if (c == u'\r')
            text += u"\\r"_s;
        else if (c == u'\t')
            text += u"\\t"_s;
        else if (c.unicode() < 0x20)
            text += u"\\u%1"_s.arg(c.unicode(), 4, 16, QChar(u'0'));
        else
            text += c;
    }
    return text + u'"';
}
