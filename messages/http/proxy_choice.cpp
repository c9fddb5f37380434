#include "http/proxy_choice.h"

#include <QUrl>

#include <arpa/inet.h>

#include <array>
#include <cstring>

namespace {

QByteArray environment(const char *lower, const char *upper)
{
    QByteArray value = qgetenv(lower);
    if (value.isEmpty() && upper)
        value = qgetenv(upper);
    return value.trimmed();
}

// An IP address as bytes, or empty when the text is not one.
QByteArray addressBytes(const QByteArray &text)
{
    std::array<unsigned char, 16> bytes{};
    if (inet_pton(AF_INET, text.constData(), bytes.data()) == 1)
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), 4);
    if (inet_pton(AF_INET6, text.constData(), bytes.data()) == 1)
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), 16);
    return {};
}

bool inNetwork(const QByteArray &address, const QByteArray &network, int bits)
{
    if (address.size() != network.size() || bits < 0 || bits > address.size() * 8)
        return false;
    for (int i = 0; i < bits; ++i) {
        const int mask = 0x80 >> (i % 8);
        if ((address[i / 8] & mask) != (network[i / 8] & mask))
            return false;
    }
    return true;
}

// Whether one entry of a no_proxy list covers the host: a domain and its
// subdomains, an address, or a network in CIDR form.
bool entryCovers(QByteArray entry, const QByteArray &host, const QByteArray &hostAddress)
{
    if (entry.startsWith('[') && entry.endsWith(']'))
        entry = entry.mid(1, entry.size() - 2);
    if (!hostAddress.isEmpty()) {
        const qsizetype slash = entry.indexOf('/');
        const QByteArray network = addressBytes(slash < 0 ? entry : entry.left(slash));
        if (network.isEmpty())
            return false;
        return inNetwork(hostAddress, network, slash < 0 ? int(network.size()) * 8 : entry.mid(slash + 1).toInt());
    }
    if (entry.startsWith('.'))
        entry.remove(0, 1);
    return !entry.isEmpty()
        && (host == entry || (host.endsWith(entry) && host[host.size() - entry.size() - 1] == '.'));
}

} // namespace

QByteArray proxyFor(const QByteArray &scheme, const QString &host)
{
    // Loopback never goes through a proxy, whatever no_proxy says.
    const QByteArray name = host.toLower().toUtf8();
    QByteArray noProxy = environment("no_proxy", "NO_PROXY");
    if (noProxy == "*")
        return {};
    noProxy += ",localhost,127.0.0.0/8,::1";
    const QByteArray address = addressBytes(name);
    for (const QByteArray &entry : noProxy.replace(' ', ',').split(',')) {
        if (entryCovers(entry.trimmed().toLower(), name, address))
            return {};
    }
    // http_proxy has no upper-case form: HTTP_PROXY may come from a request's Proxy header.
    QByteArray proxy = scheme == "https" ? environment("https_proxy", "HTTPS_PROXY") : environment("http_proxy", nullptr);
    if (proxy.isEmpty())
        proxy = environment("all_proxy", "ALL_PROXY");
    return proxy;
}

QString proxyAddressOf(const QByteArray &proxy)
{
    const QUrl url = QUrl::fromEncoded(proxy.contains("://") ? proxy : "http://" + proxy);
    const int port = url.port(url.scheme() == u"https" ? 443 : 1080);
    const QString host = url.host().contains(u':') ? u'[' + url.host() + u']' : url.host();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}
