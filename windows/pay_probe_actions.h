#pragma once

#include "form1.h"
#include "pay/pay_notification.h"
#include "main_window_wait.h"

#include <QObject>

#include <functional>

class ExchangeActions;
class QAction;

// "发送验签探测" and "发送错误密钥探测" for the main window's context menu,
// seen only while the platform is 微信支付: a payment notification the
// endpoint must refuse (signed wrongly, or sealed under another APIv3 key)
// posted to the endpoint box's URL, listed in 交互记录, judged in Label1.
class PayProbeActions : public QObject {
    Q_OBJECT
public:
    // The platform's key; throws PostFailure when it can be neither read nor made.
    using KeyLoader = std::function<PayPlatformKey()>;

    PayProbeActions(Form1 &mainWindow, ExchangeActions &exchanges, PostRequestFactory createRequest = createNetworkRequest,
                    QObject *parent = nullptr);

    QList<QAction *> actions() const { return {signatureProbe_, wrongKeyProbe_}; }
    // Test seam; the default is the key beside the access settings.
    void setKeyLoader(KeyLoader loader) { loadKey_ = std::move(loader); }

public slots:
    void post(PayNotificationKind kind);

private:
    void followAccessSettings();

    Form1 &mainWindow_;
    ExchangeActions &exchanges_;
    MainWindowWait wait_;
    KeyLoader loadKey_;
    QAction *const signatureProbe_;
    QAction *const wrongKeyProbe_;
};
