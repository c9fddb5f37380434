#include "system_proxy.h"

#include <QHostAddress>

namespace {

bool isLoopback(const QString &host)
{
    const QString name = host.toLower();
    if (name == u"localhost" || name.endsWith(u".localhost"))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

QList<QNetworkProxy> SystemProxyFactory::queryProxy(const QNetworkProxyQuery &query)
{
    if (isLoopback(query.peerHostName()))
        return {QNetworkProxy::NoProxy};
    return systemProxyForQuery(query);
}
