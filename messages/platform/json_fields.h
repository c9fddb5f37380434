#pragma once

#include <QMap>
#include <QString>

// JSON pushes and replies (the mini-program's), read and written the way
// the XML ones are.

// The text of each member of the top-level object: strings as they are,
// numbers as their digits, anything else empty. Not an object: none.
QMap<QString, QString> jsonObjectFields(const QString &json);

// The value as a JSON string literal, quotes included; non-ASCII kept as it is.
QString jsonString(const QString &value);
