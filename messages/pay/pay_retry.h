#pragma once

#include "platform/verdict.h"

#include <QList>

#include <chrono>
#include <functional>
#include <optional>

// The platform's intervals between a failed notification and its next
// sending (15 s, 15 s, 30 s, 3 min … 6 h: fifteen retries over a day),
// each divided by the scale (1: as the platform waits; 1000: a day in 87 s).
QList<std::chrono::milliseconds> payRetryDelays(double timeScale);

// All the waits of the schedule together, at that scale.
std::chrono::milliseconds payRetryTotal(double timeScale);

// Whether the platform counts a sending as received: nothing in the
// verdict failed (a late answer, a wrong status, a failed exchange did).
bool payNotificationTaken(const QList<VerdictLine> &verdict);

// Where a notification is in the schedule, one sending at a time: the
// command line waits in between, the window sets a timer.
class PayRetryCourse {
public:
    explicit PayRetryCourse(double timeScale) : delays_(payRetryDelays(timeScale)) {}
    // Told how the sending just made went: the wait before the next one;
    // nothing when it was taken or the schedule is over.
    std::optional<std::chrono::milliseconds> after(bool taken);
    // Sendings made so far.
    int sendings() const { return sendings_; }

private:
    QList<std::chrono::milliseconds> delays_;
    int sendings_ = 0;
};

struct PayRetryPlan {
    double timeScale = 1;
    // Sends the notification once more (fresh timestamp, nonce and
    // signature); true: the endpoint took it.
    std::function<bool(int attempt)> send;
    // Waits that long; false: given up (Ctrl+C), no more sendings.
    std::function<bool(std::chrono::milliseconds)> wait;
};

// Sends, and after each failure waits the next interval and sends again,
// until one is taken, the schedule ends or a wait is given up. Returns how
// many sendings were made.
int runPayRetries(const PayRetryPlan &plan);
