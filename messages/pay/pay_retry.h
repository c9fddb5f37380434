#pragma once

#include <QList>

#include <chrono>
#include <functional>

// The platform's intervals between a failed notification and its next
// sending (15 s, 15 s, 30 s, 3 min … 6 h: fifteen retries over a day),
// each divided by the scale (1: as the platform waits; 1000: a day in 87 s).
QList<std::chrono::milliseconds> payRetryDelays(double timeScale);

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
