#include "post_run.h"

#include <QElapsedTimer>

#include <algorithm>
#include <thread>
#include <vector>

PostRun::PostRun(PostJob job)
    : job_(std::move(job))
{
}

RepeatSummary PostRun::run()
{
    QElapsedTimer wall;
    wall.start();
    const int workers = std::clamp(job_.concurrency, 1, std::max(job_.count, 1));
    {
        std::vector<std::jthread> threads;
        threads.reserve(std::size_t(workers));
        for (int i = 0; i < workers; ++i)
            threads.emplace_back([this] { work(); });
    } // joined here
    summary_.setWallSeconds(double(wall.nsecsElapsed()) / 1e9);
    return summary_;
}

void PostRun::stop()
{
    stopping_ = true;
    if (job_.cancelUnderWay)
        job_.cancelUnderWay();
}

void PostRun::work()
{
    for (;;) {
        if (stopping_)
            return;
        const int index = next_++;
        if (index >= job_.count)
            return;
        const PushPostOrder order = job_.orderFor(index);
        const PushPostOutcome outcome = job_.post(order);
        const std::lock_guard lock(mutex_);
        summary_.add(tallyOf(outcome));
        if (job_.seen)
            job_.seen(index, order, outcome);
    }
}
