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
    noteWholeSizes(entry);
    for (ExchangeHop &hop : entry.record.hops)
        cutBytes(hop.answerBody);
    entry.cut = false;

    entries_.prepend(std::move(entry));
    if (entries_.size() > kWholeEntries)
        cut(entries_[kWholeEntries]);
    while (entries_.size() > limit_)
        dropOldest();
    return lastSerial_;
}

quint64 ExchangeJournal::addOlder(JournalEntry entry)
{
    entry.serial = ++lastSerial_;
    entry.record.answerText = QString();
    keepBodyStarts(entry); // as the history kept them
    groupsUsedUpTo(entry.group);
    entries_.append(std::move(entry));
    limit_ = std::max(limit_, entries_.size());
    return lastSerial_;
}

void ExchangeJournal::clear()
{
    entries_.clear();
    limit_ = kKept;
}
