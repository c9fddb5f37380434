#pragma once

#include "form1.h"
#include "toolkit/waiting_loop.h"

#include <QObject>

class QEvent;

// A post made beside the main window's own (a probe, a replay, a payment
// retry, the tries of a simulated retry, a timed push), waited for as the
// window's post is: Label1 counts the seconds and Esc gives it up. While one
// is under way, closing the main window gives it up at once, and the window
// closes once the post is over.
class MainWindowWait : public QObject {
public:
    MainWindowWait(Form1 &mainWindow, PostRequestFactory createRequest);

    // The post under way from construction to destruction; a close held
    // back meanwhile is carried out at the end.
    class Hold {
    public:
        explicit Hold(MainWindowWait &wait);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        MainWindowWait &wait_;
    };

    bool underWay() const { return underWay_; }
    // The user closed the main window during the post now under way.
    bool closeHeldBack() const { return closeHeldBack_; }
    void giveUp() { waiting_.giveUp(); }
    // Request objects that wait here, trusting the authorities in `caFile`.
    HttpRequestFactory requests(const QString &caFile);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Form1 &mainWindow_;
    PostRequestFactory createRequest_;
    WaitingLoop waiting_;
    bool underWay_ = false;
    bool closeHeldBack_ = false;
};
