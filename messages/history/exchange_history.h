#pragma once

#include "history/kept_exchange.h"

#include <QList>
#include <QString>

#include <chrono>
#include <optional>

class QSqlDatabase;
class QSqlError;

struct HistoryOptions {
    QString file; // empty: kept in memory only, as tests of other things want
    std::chrono::milliseconds busyTimeout{3000};
    qsizetype maxExchanges = 10'000;
    qint64 maxBytes = 500LL * 1024 * 1024;
    // SQLite's bound on the file's pages; 0: none. A disk that fills can be
    // had by a small one.
    int maxPageCount = 0;
};

// Every exchange of every run, newest first, in an SQLite file of the
// owner's only. The file never stops a post: when it cannot be written
// (another program holds it, the disk is full, the folder is read-only)
// the exchanges of the session stay in memory and the reason is told once;
// a corrupt file is moved aside and a new one begun.
class ExchangeHistory {
public:
    explicit ExchangeHistory(HistoryOptions options);
    ~ExchangeHistory();
    ExchangeHistory(const ExchangeHistory &) = delete;
    ExchangeHistory &operator=(const ExchangeHistory &) = delete;

    // history.sqlite in the user's data folder.
    static QString defaultFile();

    // Keeps the entry (its bodies cut to their first kKeptBodyBytes);
    // its id, negative when it is kept in memory only.
    qint64 add(const KeptExchange &entry);
    // Up to `count` entries matching `search`, newest first, after the first `skip`.
    QList<KeptExchange> page(const QString &search, qsizetype skip, qsizetype count);
    // Empties the file and the memory; false when the file could not be emptied.
    bool clear();
    // The greatest retry group number kept, so a new one is not mistaken for it.
    int lastGroup();

    // Whether exchanges are being written to the file.
    bool keptInFile() const { return writable_; }
    // Why they are not (in Chinese, with the file's name); empty while they are.
    const QString &problem() const { return problem_; }
    // What the user should be told, once: the history stopped being kept,
    // or a corrupt file was moved aside. Later calls give nothing.
    std::optional<QString> takeNotice() { return std::exchange(notice_, std::nullopt); }

private:
    bool open();
    void close();
    QSqlDatabase database() const;
    bool prepareFile();
    bool setUp();
    bool insert(const KeptExchange &entry, qint64 &id);
    // Reacts to a failed statement: a corrupt file moved aside (true: try
    // again), anything else ends writing for the session.
    bool recover(const QSqlError &error);
    void stopWriting(const QString &shortReason);

    const HistoryOptions options_;
    const QString connection_;
    bool open_ = false;
    bool writable_ = false;
    bool movedAside_ = false; // once a session: a file that is corrupt again is not moved twice
    QList<KeptExchange> memory_; // newest first: what the file could not take
    qint64 lastMemoryId_ = 0;
    QString problem_;
    std::optional<QString> notice_;
};
