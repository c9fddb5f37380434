#include "xml_fields.h"

#include <QXmlStreamReader>

QMap<QString, QString> rootChildFields(const QString &xml)
{
    QXmlStreamReader reader(xml);
    QMap<QString, QString> fields;
    if (!reader.readNextStartElement())
        return fields;
    while (reader.readNextStartElement()) {
        const QString name = reader.name().toString();
        const QString text = reader.readElementText(QXmlStreamReader::SkipChildElements);
        if (reader.hasError())
            break;
        if (!fields.contains(name))
            fields.insert(name, text);
    }
    return fields;
}
