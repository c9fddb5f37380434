#include "pay/pay_retry.h"

#include <algorithm>
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

std::chrono::milliseconds payRetryTotal(double timeScale)
{
    std::chrono::milliseconds total{0};
    for (const std::chrono::milliseconds delay : payRetryDelays(timeScale))
        total += delay;
    return total;
}

bool payNotificationTaken(const QList<VerdictLine> &verdict)
{
    return std::none_of(verdict.cbegin(), verdict.cend(),
                        [](const VerdictLine &line) { return line.outcome == VerdictLine::Fail; });
}

std::optional<std::chrono::milliseconds> PayRetryCourse::after(bool taken)
{
    ++sendings_;
    if (taken || sendings_ > delays_.size())
        return std::nullopt;
    return delays_.at(sendings_ - 1);
}

int runPayRetries(const PayRetryPlan &plan)
{
    PayRetryCourse course(plan.timeScale);
    while (const std::optional<std::chrono::milliseconds> delay = course.after(plan.send(course.sendings() + 1))) {
        if (!plan.wait(*delay))
            break;
    }
    return course.sendings();
}
