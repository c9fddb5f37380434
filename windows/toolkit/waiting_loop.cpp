#include "waiting_loop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QScopeGuard>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// The worker's call that its exchange is finished. It may come from the
// worker's thread after the wait has ended; by then it reaches nothing.
class Wakeup {
public:
    explicit Wakeup(QEventLoop *loop) : loop_(loop) {}

    void ring()
    {
        const std::lock_guard lock(mutex_);
        rung_ = true;
        if (loop_)
            QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
        rang_.notify_all();
    }
    bool hasRung()
    {
        const std::lock_guard lock(mutex_);
        return rung_;
    }
    // For a wait that can no longer turn an event loop.
    void block()
    {
        std::unique_lock lock(mutex_);
        rang_.wait(lock, [this] { return rung_; });
    }
    void detach()
    {
        const std::lock_guard lock(mutex_);
        loop_ = nullptr;
    }

private:
    std::mutex mutex_;
    std::condition_variable rang_;
    QEventLoop *loop_;
    bool rung_ = false;
};

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

int &waitsUnderWay()
{
    static int count = 0;
    return count;
}

} // namespace

bool WaitingLoop::anyWaiting()
{
    return waitsUnderWay() > 0;
}

void WaitingLoop::wait(ExchangeInProgress &exchange)
{
    QEventLoop loop;
    const auto wakeup = std::make_shared<Wakeup>(&loop);
    exchange.setWake([wakeup] { wakeup->ring(); });
    exchange_ = &exchange;
    ++waitsUnderWay();
    QCoreApplication::instance()->installEventFilter(this);
    const auto restore = qScopeGuard([&] {
        --waitsUnderWay();
        QCoreApplication::instance()->removeEventFilter(this);
        exchange_ = nullptr;
        wakeup->detach();
    });

    QTimer tick;
    int seconds = 0;
    if (ticker_) {
        ticker_(0);
        tick.setInterval(1000);
        tick.callOnTimeout([this, &seconds] { ticker_(++seconds); });
        tick.start();
    }
    while (!wakeup->hasRung()) {
        loop.exec();
        if (!wakeup->hasRung()) {
            // The loop was ended from outside (the program is quitting): no
            // loop turns any more, so the exchange ends now.
            exchange.cancel();
            wakeup->block();
        }
    }
}

void WaitingLoop::giveUp()
{
    if (exchange_)
        exchange_->cancel();
}

bool WaitingLoop::eventFilter(QObject *, QEvent *event)
{
    if (!isUserInput(event->type()))
        return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        giveUp();
    return true;
}
