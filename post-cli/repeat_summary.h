#pragma once

#include "platform/push_post.h"

#include <QList>
#include <QMap>
#include <QString>

// What the exit status and the summary need of one exchange; the record
// itself is printed (or not) as it comes and then let go.
struct ExchangeTally {
    std::optional<ExchangeFailureNote> failure;
    bool cancelled = false;
    double elapsedMs = -1;
    QList<VerdictLine> failedLines; // the verdict lines that failed
};

ExchangeTally tallyOf(const PushPostOutcome &outcome);

// Latencies of the completed exchanges, nearest-rank percentiles.
struct LatencyFigures {
    double minimum = 0, median = 0, p95 = 0, p99 = 0, maximum = 0;
};

// The posts of one run, added up.
class RepeatSummary {
public:
    void add(const ExchangeTally &tally);
    // Wall-clock time of the whole run, for the posts per second.
    void setWallSeconds(double seconds) { wallSeconds_ = seconds; }

    int count() const { return count_; }
    int completed() const { return int(latenciesMs_.size()); }
    int failed() const { return count_ - completed(); }
    int cancelled() const { return cancelled_; }
    int slowerThanPlatform() const { return slow_; }   // completed, but after more than 5 s
    int verdictsFailed() const { return verdictsFailed_; }
    std::optional<LatencyFigures> latency() const;     // none when nothing completed
    // The first failure of each number, and how often that number occurred.
    const QMap<int, QPair<int, QString>> &failuresByNumber() const { return failures_; }
    // The first exchange's failed verdict lines.
    const QList<VerdictLine> &firstFailedLines() const { return firstFailedLines_; }

    // The summary as printed: a few lines in Chinese.
    QString text(int requested, int concurrency) const;

private:
    int count_ = 0;
    int cancelled_ = 0;
    int slow_ = 0;
    int verdictsFailed_ = 0;
    QList<double> latenciesMs_;
    QMap<int, QPair<int, QString>> failures_;
    QList<VerdictLine> firstFailedLines_;
    double wallSeconds_ = 0;
};

// The platform waits this long for an answer before it gives up and retries.
inline constexpr double kPlatformWaitMs = 5000;
