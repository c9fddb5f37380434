#include "http/interruptible_wait.h"

#include <condition_variable>
#include <memory>

namespace {

// Shared with the wake, which may still be running on the worker when the wait returns.
struct Finished {
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
};

} // namespace

void InterruptibleWait::wait(ExchangeInProgress &exchange)
{
    {
        const std::lock_guard lock(mutex_);
        if (cancelling_)
            exchange.cancel();
        underWay_.insert(&exchange);
    }
    const auto finished = std::make_shared<Finished>();
    exchange.setWake([finished] {
        const std::lock_guard lock(finished->mutex);
        finished->finished = true;
        finished->changed.notify_all();
    });
    {
        std::unique_lock lock(finished->mutex);
        finished->changed.wait(lock, [&] { return finished->finished; });
    }
    const std::lock_guard lock(mutex_);
    underWay_.erase(&exchange);
}

void InterruptibleWait::cancelAll()
{
    const std::lock_guard lock(mutex_);
    cancelling_ = true;
    for (ExchangeInProgress *exchange : underWay_)
        exchange->cancel();
}
