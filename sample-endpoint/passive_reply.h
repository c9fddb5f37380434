#pragma once

#include "push_message.h"

#include <QString>

// What arrived, told in Chinese, as the Content of the reply.
QString DescribePush(const PushMessage &message);

// A CDATA section holding the text; a "]]>" inside is split across two sections.
QString CData(const QString &text);

// The passive text reply to a push: the sender and receiver swapped, lines
// joined by LF, nothing after "</xml>".
QString BuildTextReply(const PushMessage &received, qint64 createTime, const QString &content);

// The same reply for a mini-program's JSON push, as one JSON object.
QString BuildJsonTextReply(const PushMessage &received, qint64 createTime, const QString &content);
