#include "event_loop.h"

#include "timing.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <ctime>

void processEventsFor(int ms)
{
    const auto start = Clock::now();
    while (msSince(start) < ms)
        QCoreApplication::processEvents();
}

bool spinUntil(const std::function<bool()> &done, double timeoutMs)
{
    const auto start = Clock::now();
    while (!done()) {
        QCoreApplication::processEvents();
        if (msSince(start) > timeoutMs)
            return false;
    }
    return true;
}

double idleCpuPercent(int ms)
{
    const auto threadCpuMs = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
    };
    const double cpuBefore = threadCpuMs();
    const auto start = Clock::now();
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
    return 100.0 * (threadCpuMs() - cpuBefore) / msSince(start);
}
