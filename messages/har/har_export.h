#pragma once

#include "http/exchange_record.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>

// One exchange for a HAR file, and the whole sizes of its answers' bodies
// where only their starts were kept (empty: the bodies are whole).
struct HarExchange {
    ExchangeRecord record;
    QList<qsizetype> wholeAnswerSizes;
};

// HAR 1.2 as browsers' developer tools write it: one entry per hop (a
// redirect's next request is an entry of its own), request and answer with
// their headers as they went over the wire, bodies as text, or base64 with
// "encoding" where they are not UTF-8. The access settings are never in an
// exchange's bytes, so they cannot reach the file; a proxy's credentials,
// which can, are left out.
QJsonObject harLog(const QList<HarExchange> &exchanges);
// The file's bytes: {"log": …}, indented.
QByteArray harFile(const QList<HarExchange> &exchanges);
