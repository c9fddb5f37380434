#pragma once

#include "form1.h"
#include "pay/pay_notification.h"
#include "pay/pay_retry.h"
#include "main_window_wait.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <optional>

class ExchangeActions;
class QLabel;
class QPushButton;
class QSpinBox;

// "模拟平台重试" with 微信支付 chosen: the resource in the XML box sent as
// one notification to the endpoint box's URL, and after each failure sent
// again (same id and resource, a fresh timestamp, nonce and signature) on
// the payment platform's schedule, shortened by the factor the user sets,
// until the endpoint takes it. The waits are timers, so the windows go on
// answering; 停止 (or closing the dialog) ends the course. Every sending is
// listed in 交互记录 in one group and judged in Label1.
class PayRetryDialog : public QDialog {
    Q_OBJECT
public:
    // The platform's key; throws PostFailure when it can be neither read nor made.
    using KeyLoader = std::function<PayPlatformKey()>;

    PayRetryDialog(Form1 &mainWindow, ExchangeActions &exchanges, PostRequestFactory createRequest = createNetworkRequest);
    ~PayRetryDialog() override;

    // Test seam; the default is the key beside the access settings.
    void setKeyLoader(KeyLoader loader) { loadKey_ = std::move(loader); }
    bool running() const { return course_.has_value(); }

public slots:
    // Shows the dialog (the course under way, if any, goes on).
    void present();
    void start();
    void stop();

signals:
    // The course ended: taken, given up by the schedule, or stopped.
    void finished();

protected:
    // Esc, 关闭 and the title bar's close all end the course: no sending goes out unseen.
    void reject() override;

private:
    void sendNext();
    void end(const QString &status);
    void showTotal();

    Form1 &mainWindow_;
    ExchangeActions &exchanges_;
    MainWindowWait wait_;
    KeyLoader loadKey_;
    QSpinBox *const scale_;
    QLabel *const total_;
    QLabel *const status_;
    QPushButton *const start_;
    QPushButton *const stop_;
    QTimer next_;

    // The course under way: what is sent, where, and how far it has gone.
    std::optional<PayRetryCourse> course_;
    PayNotification notification_;
    PayPlatformKey key_;
    QString url_;
    QString caFile_;
    int group_ = 0;
};
