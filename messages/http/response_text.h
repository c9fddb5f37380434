#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The text of an answer's body, decoded as browsers' request objects decode a
// response text: a byte-order mark wins; else the charset of the Content-Type;
// else, for an XML type or no Content-Type at all, the encoding that the XML
// declaration names; else UTF-8. Bytes that do not decode become U+FFFD.
QString decodeResponseText(const QByteArray &body, const std::optional<QByteArray> &contentType);

// The same, and the name of the encoding it decoded with.
QString decodeResponseText(const QByteArray &body, const std::optional<QByteArray> &contentType, QString *encodingUsed);
