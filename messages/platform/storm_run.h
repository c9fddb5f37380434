#pragma once

#include "platform/platform_delivery.h"

#include <QList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// One post of a storm: when it was due, how long its answer took, how it ended.
struct StormPost {
    int index = 0;
    double dueSeconds = 0;  // from the start of the run: index / rate
    double startLagMs = 0;  // how much later than due it started
    double answerMs = -1;   // negative: no answer came
    TryEnd end = TryEnd::NotSent;
};

// Posts at a fixed rate, open loop as the platform pushes: post i starts at
// i / rate seconds, whether or not the earlier ones have been answered. Each
// post is cut at `cut`, so `rate × cut` posts under way at once are enough
// to hold the rate; the run keeps that many workers.
struct StormJob {
    int count = 1;
    double rate = 1; // posts per second
    std::chrono::milliseconds cut{5000};
    // Carries out post `index`; called on the workers, several at once.
    std::function<PushPostOutcome(int index)> post;
    // Told of each post as it ends, on the worker that made it: a window
    // draws the run as it goes. May be left unset.
    std::function<void(const StormPost &post)> ended = {}; // "= {}": brace lists may stop before it
};

class StormRun {
public:
    explicit StormRun(StormJob job);
    // Runs the storm; every started post has ended when it returns. In index order.
    QList<StormPost> run();
    // Starts no further post, and wakes the workers waiting for their posts'
    // time at once. Any thread.
    void stop();

private:
    const StormJob job_;
    std::atomic<bool> stopping_ = false;
    std::mutex stopMutex_;
    std::condition_variable stopped_;
};

// How many workers hold the rate: one per post that can be under way at once.
int stormWorkers(const StormJob &job);
