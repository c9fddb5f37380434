#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>
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

// Reads a mini-program's JSON push: each member of the top-level object as
// text, then the same checks as an XML push.
std::variant<PushMessage, PushRejection> ParseJsonPushMessage(const QByteArray &body);

// Whether the fields its MsgType needs are there: the reason if not.
std::optional<PushRejection> CheckPushFields(const PushMessage &message);
