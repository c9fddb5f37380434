#include "pay/pay_retry.h"

#include <cmath>

using namespace std::chrono_literals;

QList<std::chrono::milliseconds> payRetryDelays(double timeScale)
{
    static const QList<std::chrono::milliseconds> platform{
        15s, 15s, 30s, 3min, 10min, 20min, 30min, 30min, 30min, 60min, 3h, 3h, 3h, 6h, 6h,
    };
    QList<std::chrono::milliseconds> scaled;
    for (const std::chrono::milliseconds delay : platform)
        scaled.append(std::chrono::milliseconds(std::llround(double(delay.count()) / timeScale)));
    return scaled;
}

int runPayRetries(const PayRetryPlan &plan)
{
    int attempt = 1;
    if (plan.send(attempt))
        return attempt;
    for (const std::chrono::milliseconds delay : payRetryDelays(plan.timeScale)) {
        if (!plan.wait(delay))
            return attempt;
        if (plan.send(++attempt))
            return attempt;
    }
    return attempt;
}
