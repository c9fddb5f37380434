#pragma once

#include <QCoreApplication>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// A step the test takes in the program's thread while a post waits. The
// test server calls arrived() from its own thread once the request has
// reached it, and answers only after the step has run, or after a bound of
// seconds: a program that turns no event loop while it waits fails the test
// instead of hanging it. Declared before the server, so it outlives the
// server's thread.
class StepDuringPost {
public:
    explicit StepDuringPost(std::function<void()> step)
        : step_(std::move(step))
    {
    }

    // From the server's thread, once per request that should wait for it.
    void arrived()
    {
        std::unique_lock lock(mutex_);
        const int before = runs_;
        QMetaObject::invokeMethod(&context_, [this] {
            step_();
            const std::lock_guard ranLock(mutex_);
            ++runs_;
            changed_.notify_all();
        }, Qt::QueuedConnection);
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return runs_ > before; });
    }

    int runs()
    {
        const std::lock_guard lock(mutex_);
        return runs_;
    }

private:
    std::function<void()> step_;
    QObject context_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int runs_ = 0;
};
