#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class QAction;

// "每 10 分钟推送一次": a checkable entry that, while checked, posts once at
// once and then once every interval, as the third-party platform sends its
// component_verify_ticket. A tick that comes while another exchange is
// waited for is put off until that wait is over, never nested in it.
class TimedPush : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::minutes kPlatformInterval{10};

    // post makes one post; busy says whether one may not start now.
    TimedPush(std::function<void()> post, std::function<bool()> busy, QObject *parent = nullptr);

    QAction *action() const { return action_; }
    // Offered only where the entry means something; taken away, it stops.
    void setAvailable(bool available);
    bool isRunning() const { return timer_.isActive(); }

    // A test's seam: the platform's ten minutes, shortened.
    void setInterval(std::chrono::milliseconds interval) { timer_.setInterval(interval); }

private:
    void tick();

    QAction *const action_;
    std::function<void()> post_;
    std::function<bool()> busy_;
    QTimer timer_;
    QTimer putOff_; // the tick that met a wait, tried again shortly
};
