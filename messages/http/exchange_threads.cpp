#include "http/exchange_threads.h"

#include <chrono>
#include <cstddef>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr auto kIdleLife = std::chrono::seconds(5);

class ExchangeThreads {
public:
    void run(std::function<void()> task)
    {
        std::unique_lock lock(mutex_);
        tasks_.push_back(std::move(task));
        if (idle_ >= tasks_.size()) {
            lock.unlock();
            taskCame_.notify_one();
            return;
        }
        try {
            std::thread([this] { serve(); }).detach();
        } catch (...) {
            tasks_.pop_back();
            throw;
        }
    }

private:
    void serve()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (tasks_.empty()) {
                ++idle_;
                const bool came = taskCame_.wait_for(lock, kIdleLife, [this] { return !tasks_.empty(); });
                --idle_;
                if (!came)
                    return;
            }
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            task = nullptr; // what it holds goes before the thread waits again
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable taskCame_;
    std::deque<std::function<void()>> tasks_;
    std::size_t idle_ = 0;
};

} // namespace

void runOnExchangeThread(std::function<void()> task)
{
    // Never destroyed: an idle thread may still wait on it as the program exits.
    static ExchangeThreads *const threads = new ExchangeThreads;
    threads->run(std::move(task));
}
