#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <variant>

// A push message as the endpoint read it: every child element of <xml> by
// name, the first of a name kept.
struct PushMessage {
    QMap<QString, QString> fields;

    QString value(const QString &name) const { return fields.value(name); }
};

// Why a body is not a push message, in one line of Chinese.
struct PushRejection {
    QString reason;
};

// Reads the body and checks it has the fields its MsgType needs.
std::variant<PushMessage, PushRejection> ParsePushMessage(const QByteArray &body);
