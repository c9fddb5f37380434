#include "history/kept_exchange.h"

#include <QHash>

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

void noteWholeSizes(KeptExchange &entry)
{
    // Text kept as well would hold a large answer twice over (two bytes a character).
    entry.record.answerText = QString();
    // Only the tries of a retry are compared (a large answer's hash takes
    // a few milliseconds, on every post otherwise).
    if (const ExchangeHop *last = entry.record.finalHop(); last && entry.group)
        entry.answerFingerprint = qHash(last->answerBody);
    entry.whole = {};
    for (const ExchangeHop &hop : entry.record.hops) {
        entry.whole.request.append(hop.requestBody.size());
        entry.whole.answer.append(hop.answerBody.size());
    }
    entry.whole.plainMessage = entry.record.plainMessage ? entry.record.plainMessage->size() : 0;
    entry.whole.decrypted = entry.record.decryptedText ? entry.record.decryptedText->size() : 0;
}

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
