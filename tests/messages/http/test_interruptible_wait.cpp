#include "http/interruptible_wait.h"

#include <QTest>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace {

// An exchange that ends only when cancelled; its wake runs on another thread, as a worker's does.
// (Cancelling exchanges already under way is tested end to end: test_veltrane_post's interrupted run.)
class CancellableExchange : public ExchangeInProgress {
public:
    bool isFinished() const override { return finished_; }
    void cancel() override
    {
        std::function<void()> wake;
        {
            const std::lock_guard lock(mutex_);
            if (finished_)
                return;
            finished_ = true;
            wake = std::move(wake_);
        }
        // The wake runs on another thread than the waiter's, as it does on a worker.
        std::thread([wake] {
            if (wake)
                wake();
        }).detach();
    }
    void setWake(std::function<void()> wake) override
    {
        std::unique_lock lock(mutex_);
        if (!finished_) {
            wake_ = std::move(wake);
            return;
        }
        lock.unlock();
        wake();
    }

private:
    std::mutex mutex_;
    std::atomic<bool> finished_ = false;
    std::function<void()> wake_;
};

} // namespace

class TestInterruptibleWait : public QObject {
    Q_OBJECT
private slots:
    void cancelsAnExchangeThatStartsAfterwards();
};

void TestInterruptibleWait::cancelsAnExchangeThatStartsAfterwards()
{
    InterruptibleWait waiter;
    waiter.cancelAll();
    CancellableExchange late;
    waiter.wait(late); // would block for ever if the cancel were lost
    QVERIFY(late.isFinished());
}

QTEST_GUILESS_MAIN(TestInterruptibleWait)
#include "test_interruptible_wait.moc"
