#pragma once

#include <functional>

// An exchange under way on its worker thread, as its caller sees it.
class ExchangeInProgress {
public:
    virtual ~ExchangeInProgress() = default;
    // Whether the worker is done (answer, failure or given up).
    virtual bool isFinished() const = 0;
    // Ends the exchange at once; the post then fails as cancelled. Any thread.
    virtual void cancel() = 0;
    // Runs `wake` on the worker's thread when it is finished, or at once
    // when it already is. One wake function at a time.
    virtual void setWake(std::function<void()> wake) = 0;
};

// How the caller of a synchronous post waits for its worker. Without one the
// calling thread simply blocks; the window layer keeps its windows painted
// and drops the user's input meanwhile, and may give the post up.
class ExchangeWaiter {
public:
    virtual ~ExchangeWaiter() = default;
    // Returns once exchange.isFinished().
    virtual void wait(ExchangeInProgress &exchange) = 0;
};
