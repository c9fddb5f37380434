#include "http/exchange_worker.h"

#include "http/exchange_threads.h"

ExchangeWorker::ExchangeWorker(std::function<void(ExchangeCancel &)> work)
{
    runOnExchangeThread([this, work = std::move(work)]() mutable {
        work(cancel_);
        work = nullptr; // what it holds goes while its caller still waits
        std::function<void()> wake;
        {
            // Told under the lock: once it is let go, nothing here is touched again.
            const std::lock_guard lock(mutex_);
            finished_ = true;
            wake = std::move(wake_);
            finishedChanged_.notify_all();
        }
        if (wake)
            wake();
    });
}

ExchangeWorker::~ExchangeWorker()
{
    cancel_.cancel();
    std::unique_lock lock(mutex_);
    finishedChanged_.wait(lock, [this] { return finished_; });
}
bool ExchangeWorker::isFinished() const
{
    const std::lock_guard lock(mutex_);
    return finished_;
}

void ExchangeWorker::cancel()
{
    cancel_.cancel();
}

void ExchangeWorker::setWake(std::function<void()> wake)
{
    std::unique_lock lock(mutex_);
    if (!finished_) {
        wake_ = std::move(wake);
        return;
    }
    lock.unlock();
    if (wake)
        wake();
}

void ExchangeWorker::waitWith(ExchangeWaiter *waiter)
{
    if (waiter) {
        waiter->wait(*this);
        return;
    }
    std::unique_lock lock(mutex_);
    finishedChanged_.wait(lock, [this] { return finished_; });
}
