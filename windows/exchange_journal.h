#pragma once

#include "http/exchange_record.h"
#include "platform/verdict.h"

#include <QList>
#include <QString>

#include <cstddef>

// What the platform would make of an exchange, at a glance.
enum class VerdictMark { None, Pass, Warn, Fail };
VerdictMark verdictMark(const QList<VerdictLine> &lines);

// One exchange of this run as the exchange window lists it.
struct JournalEntry {
    ExchangeRecord record;
    QList<VerdictLine> verdict;
    int group = 0;              // 0: a post of its own; else shared by the tries of one simulated retry
    int tryNumber = 0;          // within a group: 1, 2, 3

    // An older entry keeps only the start of each long body, which is all the
    // window shows: these are the sizes the bodies had.
    struct Sizes {
        QList<qsizetype> request; // bytes, hop by hop
        QList<qsizetype> answer;
        qsizetype plainMessage = 0; // characters
        qsizetype decrypted = 0;
    } whole;
    // The final answer's body, whole, told apart from another's: tries of
    // one retry (the only entries that have it) are compared by it, whatever
    // was kept of them.
    std::size_t answerFingerprint = 0;
    bool cut = false;
    // Tells this entry from every other of the run, however rows move.
    quint64 serial = 0;
};

// The exchanges of this run, newest first, as far back as the last 200.
class ExchangeJournal {
public:
    static constexpr qsizetype kKept = 200;
    // The newest entries keep their requests whole (a curl command sends
    // them again); older ones keep their first kKeptBytes bytes (characters
    // for text), so 200 long ones never hold gigabytes. Answers keep their
    // first kKeptBytes from the start, all the window shows: a large answer
    // is given back once its result window is closed.
    static constexpr qsizetype kWholeEntries = 10;
    static constexpr qsizetype kKeptBytes = 256 * 1024;

    // Puts the entry first, dropping the oldest beyond kKept; its serial.
    quint64 add(JournalEntry entry);
    void dropOldest() { entries_.removeLast(); }

    qsizetype size() const { return entries_.size(); }
    const JournalEntry &at(qsizetype row) const { return entries_.at(row); }
    // The row of the entry with this serial, or -1 when it is no longer kept.
    qsizetype rowOf(quint64 serial) const;
    // A group id for the tries of one simulated retry.
    int newGroup() { return ++lastGroup_; }

private:
    QList<JournalEntry> entries_;
    int lastGroup_ = 0;
    quint64 lastSerial_ = 0;
};
