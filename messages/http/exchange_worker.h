#pragma once

#include "http/curl_exchange.h"
#include "http/exchange_wait.h"

#include <condition_variable>
#include <functional>
#include <mutex>

// A piece of work, an exchange and what follows from it, on a thread kept
// for exchanges (exchange_threads.h). The caller waits through a waiter, or
// blocks; destroying it gives the work up and waits for it to end.
class ExchangeWorker : public ExchangeInProgress {
public:
    // The work must not throw; it sees the cancel to pass to runExchange.
    explicit ExchangeWorker(std::function<void(ExchangeCancel &)> work);
    ~ExchangeWorker() override;
    ExchangeWorker(const ExchangeWorker &) = delete;
    ExchangeWorker &operator=(const ExchangeWorker &) = delete;

    bool isFinished() const override;
    void cancel() override;
    void setWake(std::function<void()> wake) override;

    // Returns once the work is done: through the waiter, or blocking without one.
    void waitWith(ExchangeWaiter *waiter);

private:
    ExchangeCancel cancel_;
    mutable std::mutex mutex_;
    std::condition_variable finishedChanged_;
    bool finished_ = false;
    std::function<void()> wake_;
};
