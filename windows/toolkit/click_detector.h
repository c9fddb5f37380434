#pragma once

#include <QMouseEvent>
#include <QRect>

// A click is a press and a release of the left button, both inside the box.
// Focus arriving by keyboard is no click.
class ClickDetector {
public:
    void press(const QMouseEvent *event) { pressed_ = event->button() == Qt::LeftButton; }
    bool release(const QMouseEvent *event, const QRect &inside)
    {
        const bool wasPressed = pressed_;
        pressed_ = false;
        return wasPressed && event->button() == Qt::LeftButton && inside.contains(event->position().toPoint());
    }

private:
    bool pressed_ = false;
};
