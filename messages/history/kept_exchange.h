#pragma once

#include "http/exchange_record.h"
#include "platform/verdict.h"

#include <QList>
#include <QString>

#include <cstddef>

// One exchange as the exchange window lists it and the history keeps it.
struct KeptExchange {
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
    // Its row in the history file; negative: kept in memory only; 0: not yet kept.
    qint64 historyId = 0;
};

// How much of each body is kept once an entry is no longer among the newest:
// the first this many bytes (characters for text).
inline constexpr qsizetype kKeptBodyBytes = 256 * 1024;

// Notes the sizes of the entry's bodies while they are whole, and for a
// try of a retry its answer's fingerprint; its answer's text is let go (the
// answer is shown decoded from its bytes).
void noteWholeSizes(KeptExchange &entry);

// Cuts every body of the entry to its first kKeptBodyBytes; the whole sizes stay.
void keepBodyStarts(KeptExchange &entry);
