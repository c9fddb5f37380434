#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdlib>

// Ends the process as soon as the window has been painted for the first
// time, so that a process's wall time is its start to its first window.
class FirstPaintExit : public QObject {
public:
    explicit FirstPaintExit(QObject *window)
        : window_(window)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object == window_ && event->type() == QEvent::Paint)
            QTimer::singleShot(0, [] { std::_Exit(0); }); // once this paint is over
        return false;
    }

private:
    QObject *window_;
};
