#pragma once

#include "http/exchange_wait.h"

#include <mutex>
#include <set>

// How a thread that is not the GUI's waits for exchanges (the command line,
// a storm's workers): the posting thread blocks,
// and cancelAll() (Ctrl+C, 停止) gives up every exchange under way
// and every one that starts afterwards. Several posting threads may wait at once.
class InterruptibleWait : public ExchangeWaiter {
public:
    void wait(ExchangeInProgress &exchange) override;
    void cancelAll();

private:
    std::mutex mutex_;
    std::set<ExchangeInProgress *> underWay_; // each lives while it is in here
    bool cancelling_ = false;
};
