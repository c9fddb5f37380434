#include "exchange_journal.h"

#include <QHash>

namespace {

void cutBytes(QByteArray &bytes)
{
    if (bytes.size() > ExchangeJournal::kKeptBytes)
        bytes.truncate(ExchangeJournal::kKeptBytes);
}

void cutText(QString &text)
{
    if (text.size() > ExchangeJournal::kKeptBytes)
        text.truncate(ExchangeJournal::kKeptBytes);
}

void cut(JournalEntry &entry)
{
    if (entry.cut)
        return;
    entry.cut = true;
    // Answers were cut, and their text dropped, as the entry came in.
    ExchangeRecord &record = entry.record;
    for (ExchangeHop &hop : record.hops)
        cutBytes(hop.requestBody);
    if (record.plainMessage)
        cutText(*record.plainMessage);
    if (record.decryptedText)
        cutText(*record.decryptedText);
}

} // namespace

VerdictMark verdictMark(const QList<VerdictLine> &lines)
{
    if (lines.isEmpty())
        return VerdictMark::None;
    VerdictMark mark = VerdictMark::Pass;
    for (const VerdictLine &line : lines) {
        if (line.outcome == VerdictLine::Fail)
            return VerdictMark::Fail;
        if (line.outcome == VerdictLine::Warn)
            mark = VerdictMark::Warn;
    }
    return mark;
}

qsizetype ExchangeJournal::rowOf(quint64 serial) const
{
    // Serials fall row by row from the newest, first.
    for (qsizetype row = 0; row < entries_.size(); ++row) {
        if (entries_.at(row).serial == serial)
            return row;
    }
    return -1;
}

quint64 ExchangeJournal::add(JournalEntry entry)
{
    entry.serial = ++lastSerial_;
    // The answer is shown decoded from its bytes: its text kept as well
    // would hold a large answer twice over (two bytes a character).
    entry.record.answerText = QString();
    // Only the tries of a retry are compared (a large answer's hash takes
    // a few milliseconds, on every post otherwise).
    if (const ExchangeHop *last = entry.record.finalHop(); last && entry.group)
        entry.answerFingerprint = qHash(last->answerBody);
    entry.whole = {};
    for (ExchangeHop &hop : entry.record.hops) {
        entry.whole.request.append(hop.requestBody.size());
        entry.whole.answer.append(hop.answerBody.size());
        cutBytes(hop.answerBody);
    }
    entry.whole.plainMessage = entry.record.plainMessage ? entry.record.plainMessage->size() : 0;
    entry.whole.decrypted = entry.record.decryptedText ? entry.record.decryptedText->size() : 0;
    entry.cut = false;

    entries_.prepend(std::move(entry));
    if (entries_.size() > kWholeEntries)
        cut(entries_[kWholeEntries]);
    while (entries_.size() > kKept)
        dropOldest();
    return lastSerial_;
}
