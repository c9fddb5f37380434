#include "http/exchange_worker.h"

ExchangeWorker::ExchangeWorker(std::function<void(ExchangeCancel &)> work)
{
    thread_ = std::thread([this, work = std::move(work)] {
        work(cancel_);
        std::function<void()> wake;
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
            wake = std::move(wake_);
        }
        finishedChanged_.notify_all();
        if (wake)
            wake();
    });
}

ExchangeWorker::~ExchangeWorker()
{
    cancel_.cancel();
    thread_.join();
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
