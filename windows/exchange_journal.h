#pragma once

#include "history/kept_exchange.h"

#include <QList>
#include <QString>

#include <algorithm>

// What the platform would make of an exchange, at a glance.
enum class VerdictMark { None, Pass, Warn, Fail };
VerdictMark verdictMark(const QList<VerdictLine> &lines);

// One exchange as the exchange window lists it.
using JournalEntry = KeptExchange;

// The exchanges listed, newest first: the last 200, and as many pages of
// older ones as the user asked the history for.
class ExchangeJournal {
public:
    static constexpr qsizetype kKept = 200;
    // The newest entries keep their requests whole (a curl command sends
    // them again); older ones keep their first kKeptBytes bytes (characters
    // for text), so 200 long ones never hold gigabytes. Answers keep their
    // first kKeptBytes from the start, all the window shows: a large answer
    // is given back once its result window is closed.
    static constexpr qsizetype kWholeEntries = 10;
    static constexpr qsizetype kKeptBytes = kKeptBodyBytes;

    // Puts the entry first, dropping the oldest beyond kKept; its serial.
    quint64 add(JournalEntry entry);
    void dropOldest() { entries_.removeLast(); }
    // Lists an older entry (from the history) last; its serial. Each page
    // of older ones makes room for a page more.
    quint64 addOlder(JournalEntry entry);
    void growBy(qsizetype rows) { limit_ += rows; }
    qsizetype limit() const { return limit_; }
    void clear();

    qsizetype size() const { return entries_.size(); }
    const JournalEntry &at(qsizetype row) const { return entries_.at(row); }
    // The row of the entry with this serial, or -1 when it is no longer kept.
    qsizetype rowOf(quint64 serial) const;
    // A group id for the tries of one simulated retry.
    int newGroup() { return ++lastGroup_; }
    // Groups already used (by the history's older entries) are not reused.
    void groupsUsedUpTo(int group) { lastGroup_ = std::max(lastGroup_, group); }

private:
    QList<JournalEntry> entries_;
    qsizetype limit_ = kKept;
    int lastGroup_ = 0;
    quint64 lastSerial_ = 0;
};
