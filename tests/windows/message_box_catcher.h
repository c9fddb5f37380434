#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// Watches for message boxes while it lives, notes what each said and
// dismisses it with its OK button, so no test is left waiting on one.
class MessageBoxCatcher {
public:
    struct Seen {
        QString title;
        QString text;
        bool okOnly;
    };

    MessageBoxCatcher()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            seen_.push_back({box->windowTitle(), box->text(),
                             box->buttons().size() == 1 && box->button(QMessageBox::Ok)});
            box->button(QMessageBox::Ok)->click();
        });
        timer_.start();
    }

    const std::vector<Seen> &seen() const { return seen_; }

private:
    QTimer timer_;
    std::vector<Seen> seen_;
};
