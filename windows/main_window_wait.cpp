#include "main_window_wait.h"

#include <QEvent>

#include <utility>

MainWindowWait::MainWindowWait(Form1 &mainWindow, PostRequestFactory createRequest)
    : mainWindow_(mainWindow)
    , createRequest_(std::move(createRequest))
{
    waiting_.setTicker([this](int seconds) { mainWindow_.showWaiting(seconds); });
    mainWindow_.installEventFilter(this);
}

MainWindowWait::Hold::Hold(MainWindowWait &wait)
    : wait_(wait)
{
    wait_.underWay_ = true;
}

MainWindowWait::Hold::~Hold()
{
    wait_.underWay_ = false;
    if (std::exchange(wait_.closeHeldBack_, false))
        wait_.mainWindow_.close();
}

HttpRequestFactory MainWindowWait::requests(const QString &caFile)
{
    return [this, caFile] {
        ExchangeSettings settings;
        settings.waiter = &waiting_;
        settings.caFile = caFile;
        return createRequest_(settings);
    };
}

bool MainWindowWait::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &mainWindow_ && event->type() == QEvent::Close && underWay_) {
        closeHeldBack_ = true;
        waiting_.giveUp();
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
