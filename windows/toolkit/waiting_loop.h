#pragma once

#include "http/exchange_wait.h"

#include <QObject>

#include <functional>

// How the windows wait for an exchange: in a local event loop, so they
// repaint and timers and close requests are handled, while the user's input
// to any window of the program is dropped, not kept for later. Esc gives the
// exchange up.
class WaitingLoop : public QObject, public ExchangeWaiter {
public:
    void wait(ExchangeInProgress &exchange) override;
    // Ends the exchange under way, if any, at once.
    void giveUp();
    // Whether any window of the program waits for an exchange now: a timer
    // that fires meanwhile should not start one more inside that wait.
    static bool anyWaiting();
    // Told the whole seconds waited as each wait begins (0) and every second
    // after, so the window can say that it waits and for how long.
    void setTicker(std::function<void(int secondsWaited)> ticker) { ticker_ = std::move(ticker); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ExchangeInProgress *exchange_ = nullptr;
    std::function<void(int)> ticker_;
};
