#pragma once

#include <QNetworkProxyFactory>

// The system's proxy settings (on Linux http_proxy, https_proxy, no_proxy),
// except for this machine's own addresses, which are always reached directly.
class SystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override;
};
