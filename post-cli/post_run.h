#pragma once

#include "platform/push_post.h"
#include "repeat_summary.h"

#include <atomic>
#include <functional>
#include <mutex>

// N posts, C at a time, each on a worker thread with a request object and a
// connection of its own: nothing is reused from one post to the next.
struct PostJob {
    int count = 1;
    int concurrency = 1;
    // The order for the post of that index (from 0); called on the workers.
    std::function<PushPostOrder(int index)> orderFor;
    // Carries one post out; called on the workers, several at once.
    std::function<PushPostOutcome(const PushPostOrder &order)> post;
    // Sees each post as it ends, one at a time, in the order they end.
    std::function<void(int index, const PushPostOrder &order, const PushPostOutcome &outcome)> seen;
    // Gives up the posts under way (Ctrl+C); any thread. May be empty.
    std::function<void()> cancelUnderWay;
};

class PostRun {
public:
    explicit PostRun(PostJob job);

    // Runs the posts and returns once every started post has ended.
    RepeatSummary run();
    // Starts no further post and gives up those under way. Any thread.
    void stop();
    bool stopped() const { return stopping_; }

private:
    void work();

    const PostJob job_;
    std::atomic<int> next_ = 0;
    std::atomic<bool> stopping_ = false;
    std::mutex mutex_; // guards summary_ and the calls of job_.seen
    RepeatSummary summary_;
};
