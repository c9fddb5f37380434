#pragma once

#include <QEvent>
#include <QObject>

#include <functional>

// Sees every event of the application: notes when the target widget is
// painted, and lets a hook find the target while it is not there yet.
class PaintWatch : public QObject {
public:
    QObject *target = nullptr;
    std::function<QObject *()> findTarget;
    bool painted = false;

    void arm(QObject *widget, std::function<QObject *()> find = {})
    {
        target = widget;
        findTarget = std::move(find);
        painted = false;
    }
    void disarm() { arm(nullptr); }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (!target && findTarget)
            target = findTarget();
        if (event->type() == QEvent::Paint && target && object == target)
            painted = true;
        return false;
    }
};
