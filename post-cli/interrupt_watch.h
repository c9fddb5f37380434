#pragma once

#include <functional>
#include <thread>

// Turns the first Ctrl+C (SIGINT) or SIGTERM into a call of `onInterrupt` on
// a thread of its own, so a run can end cleanly; a second one ends the
// program at once, as usual. Make it before any other thread: threads made
// afterwards inherit the blocked signals, so only this one takes them.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

private:
    std::thread thread_;
};
