#include "platform/storm_run.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kMaxWorkers = 1024;

} // namespace

int stormWorkers(const StormJob &job)
{
    const double underWay = std::ceil(job.rate * double(job.cut.count()) / 1000.0) + 1;
    return int(std::clamp(underWay, 1.0, double(std::min(job.count, kMaxWorkers))));
}

StormRun::StormRun(StormJob job)
    : job_(std::move(job))
{
}

void StormRun::stop()
{
    {
        const std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
}

QList<StormPost> StormRun::run()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::vector<StormPost> posts(std::size_t(std::max(job_.count, 0)));
    std::vector<bool> done(posts.size(), false);
    std::mutex mutex;
    std::atomic<int> next = 0;
    const auto work = [&] {
        for (;;) {
            const int index = next++;
            if (index >= job_.count || stopping_)
                return;
            const double due = double(index) / job_.rate;
            // The schedule, not the previous answer, decides when a post starts.
            const Clock::time_point at = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due));
            {
                std::unique_lock lock(stopMutex_);
                if (stopped_.wait_until(lock, at, [this] { return stopping_.load(); }))
                    return;
            }
            StormPost post;
            post.index = index;
            post.dueSeconds = due;
            post.startLagMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count() - due * 1000.0;
            const PushPostOutcome outcome = job_.post(index);
            post.end = tryEndOf(outcome);
            post.answerMs = outcome.record.status() > 0 ? outcome.record.elapsedMs : -1;
            {
                const std::lock_guard lock(mutex);
                posts[std::size_t(index)] = post;
                done[std::size_t(index)] = true;
            }
            if (job_.ended)
                job_.ended(post);
        }
    };
    {
        std::vector<std::jthread> workers;
        for (int i = 0; i < stormWorkers(job_); ++i)
            workers.emplace_back(work);
    } // joined here
    QList<StormPost> ended;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        if (done[i])
            ended.append(posts[i]);
    }
    return ended;
}
