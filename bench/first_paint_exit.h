#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

// Ends the process as soon as the window has been painted for the first
// time, writing that moment on the steady clock to standard output: the
// process's start to its first window, without its exit.
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
            QTimer::singleShot(0, [] { // once this paint is over
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("painted %lld\n", static_cast<long long>(std::chrono::nanoseconds(now).count()));
                std::fflush(stdout);
                std::_Exit(0);
            });
        return false;
    }

private:
    QObject *window_;
};
