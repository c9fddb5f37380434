#pragma once

#include <QByteArray>
#include <QString>

// The proxy from the environment that an exchange with the host goes
// through, by the rules curl's tools follow (http_proxy, https_proxy,
// all_proxy, no_proxy and their upper-case forms, http_proxy only in lower
// case), or an empty array: straight to the host. Loopback (localhost,
// 127.0.0.0/8, ::1) is always reached directly. Choosing here, rather than
// leaving it to the library, lets a failure name the proxy it came from.
QByteArray proxyFor(const QByteArray &scheme, const QString &host);

// The proxy's address for a message: host and port, never its credentials.
QString proxyAddressOf(const QByteArray &proxy);
