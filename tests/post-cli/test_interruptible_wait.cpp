#include "interruptible_wait.h"

#include <QTest>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace {

// An exchange that ends only when cancelled, on a thread of its own, as the worker does.
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
        waitedOn = true;
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

public:
    std::atomic<bool> waitedOn = false; // a wait has begun
};

} // namespace

class TestInterruptibleWait : public QObject {
    Q_OBJECT
private slots:
    void cancelsEveryExchangeUnderWay();
    void cancelsAnExchangeThatStartsAfterwards();
};

void TestInterruptibleWait::cancelsEveryExchangeUnderWay()
{
    InterruptibleWait waiter;
    CancellableExchange first, second;
    std::atomic<int> returned = 0;
    std::thread a([&] { waiter.wait(first); ++returned; });
    std::thread b([&] { waiter.wait(second); ++returned; });
    QTRY_VERIFY(first.waitedOn && second.waitedOn);
    waiter.cancelAll();
    a.join();
    b.join();
    QCOMPARE(returned.load(), 2);
    QVERIFY(first.isFinished() && second.isFinished());
}

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
