#pragma once

#include "http/interruptible_wait.h"
#include "platform/push_post.h"
#include "platform/storm_run.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>
#include <thread>

Q_DECLARE_METATYPE(StormPost)

// What one storm posts: where, what, how often. A built-in sample is built
// afresh for every post (a fresh MsgId where it has one); a body given (the
// XML box's, a user's sample) is posted as it is every time.
struct StormOrder {
    QString url;
    QString sampleName;
    std::optional<QString> body;
    AccessSettings access;
    int count = 1;
    double rate = 1;
};

// Runs a storm on a thread of its own, so the window stays live; each ended
// post and the end of the run come back as signals, queued to the GUI thread.
// Stopping gives up the exchanges under way at once.
class StormRunner : public QObject {
    Q_OBJECT
public:
    explicit StormRunner(QObject *parent = nullptr);
    ~StormRunner() override; // stops and waits for the thread

    // Starts a run; false while one is under way.
    bool start(const StormOrder &order);
    void stop();
    bool isRunning() const { return thread_ != nullptr; }

    // A test's seam: the platform's 5 s cut, shortened.
    void setCut(std::chrono::milliseconds cut) { cut_ = cut; }

signals:
    void postEnded(const StormPost &post);
    // Every post that started has ended; in index order.
    void finished(const QList<StormPost> &posts);

private:
    void join();

    std::chrono::milliseconds cut_{5000};
    std::unique_ptr<InterruptibleWait> waiter_;
    std::unique_ptr<StormRun> run_;
    std::unique_ptr<std::thread> thread_;
};
