#include "xml/xml_fields.h"

#include "xml/partwise_xml_reader.h"

QMap<QString, QString> rootChildFields(const QString &xml)
{
    PartwiseXmlReader reader(xml);
    QMap<QString, QString> fields;
    // A child's own text: what lies below its children is not part of it.
    QString name, text;
    int depth = 0; // 1 inside the root, 2 inside one of its children
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth == 2) {
                name = reader.reader().name().toString();
                text.clear();
            }
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (depth == 2)
                text += reader.reader().text();
            break;
        case QXmlStreamReader::EndElement:
            if (--depth == 0)
                return fields;
            if (depth == 1 && !fields.contains(name))
                fields.insert(name, text);
            break;
        default:
            break;
        }
    }
    return fields;
}
