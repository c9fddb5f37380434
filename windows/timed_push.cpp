#include "timed_push.h"

#include <QAction>

namespace {

// How soon a put-off tick is tried again: a wait ends on its own or with Esc.
constexpr std::chrono::milliseconds kRetryAfterWait{500};

} // namespace

TimedPush::TimedPush(std::function<void()> post, std::function<bool()> busy, QObject *parent)
    : QObject(parent)
    , action_(new QAction(QStringLiteral("每 10 分钟推送一次"), this))
    , post_(std::move(post))
    , busy_(std::move(busy))
{
    action_->setObjectName(QStringLiteral("timedPush"));
    action_->setCheckable(true);
    action_->setToolTip(QStringLiteral("如第三方平台那样，每 10 分钟推送一次 component_verify_ticket，再点一次停止"));
    timer_.setInterval(kPlatformInterval);
    putOff_.setSingleShot(true);
    putOff_.setInterval(kRetryAfterWait);
    connect(&timer_, &QTimer::timeout, this, &TimedPush::tick);
    connect(&putOff_, &QTimer::timeout, this, &TimedPush::tick);
    connect(action_, &QAction::toggled, this, [this](bool on) {
        putOff_.stop();
        if (!on) {
            timer_.stop();
            return;
        }
        timer_.start();
        tick(); // the first one now, so that the user sees what it does
    });
}

void TimedPush::setAvailable(bool available)
{
    action_->setVisible(available);
    if (!available)
        action_->setChecked(false);
}

void TimedPush::tick()
{
    if (!action_->isChecked())
        return;
    if (busy_ && busy_()) {
        putOff_.start();
        return;
    }
    post_();
}
