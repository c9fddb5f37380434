#pragma once

#include <QByteArray>
#include <QString>

#include <variant>

// Why a body file cannot be posted, in one line.
struct BodyFileError {
    QString reason;
};

// The body as the message layer carries it: text that goes out as UTF-8. Only
// bytes that come back unchanged from that round trip are accepted, so what
// is posted is the file byte for byte; anything else (bytes that are not
// UTF-8) is refused rather than sent altered.
std::variant<QString, BodyFileError> bodyFromBytes(const QByteArray &bytes);

// Reads the file, or standard input for "-", to its end.
std::variant<QString, BodyFileError> readBodyFile(const QString &path);
