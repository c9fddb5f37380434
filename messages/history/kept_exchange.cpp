#include "history/kept_exchange.h"

namespace {

void cutBytes(QByteArray &bytes)
{
    if (bytes.size() > kKeptBodyBytes)
        bytes.truncate(kKeptBodyBytes);
}

void cutText(QString &text)
{
    if (text.size() > kKeptBodyBytes)
        text.truncate(kKeptBodyBytes);
}

} // namespace

void keepBodyStarts(KeptExchange &entry)
{
    ExchangeRecord &record = entry.record;
    for (ExchangeHop &hop : record.hops) {
        cutBytes(hop.requestBody);
        cutBytes(hop.answerBody);
    }
    if (record.plainMessage)
        cutText(*record.plainMessage);
    if (record.decryptedText)
        cutText(*record.decryptedText);
    cutText(record.answerText);
    entry.cut = true;
}
