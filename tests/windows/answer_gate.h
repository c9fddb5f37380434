#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Holds the test server's answers until opened (10 s at most), so a test can
// look at the window while posts are under way, or let them run late.
class AnswerGate {
public:
    void open()
    {
        const std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    void pass()
    {
        std::unique_lock lock(mutex_);
        opened_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};
