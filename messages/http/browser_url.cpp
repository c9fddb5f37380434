#include "http/browser_url.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

bool isC0OrSpace(QChar c)
{
    return c.unicode() <= 0x20;
}

// Where the path starts: after "scheme:", the slashes and the authority.
qsizetype pathStart(const QString &address)
{
    qsizetype at = address.indexOf(u':') + 1;
    while (at < address.size() && address[at] == u'/')
        ++at;
    while (at < address.size() && address[at] != u'/' && address[at] != u'?' && address[at] != u'#')
        ++at;
    return at;
}

void appendEncoded(QByteArray &wire, QByteArrayView part, QByteArrayView alsoEncoded)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : part) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || alsoEncoded.contains(c)) {
            wire += '%';
            wire += kHex[byte >> 4];
            wire += kHex[byte & 0xF];
        } else {
            wire += c;
        }
    }
}

} // namespace

QString cleanedAddress(const QString &typed)
{
    qsizetype begin = 0, end = typed.size();
    while (begin < end && isC0OrSpace(typed[begin]))
        ++begin;
    while (end > begin && isC0OrSpace(typed[end - 1]))
        --end;
    QString address = typed.sliced(begin, end - begin);
    address.remove(u'\t').remove(u'\n').remove(u'\r');

    const QString scheme = address.section(u':', 0, 0).toLower();
    if (scheme == u"http" || scheme == u"https") {
        // Compiled once: a run of posts cleans an address for each.
        static const QRegularExpression queryOrFragmentStart(QStringLiteral("[?#]"));
        const qsizetype queryOrFragment = address.indexOf(queryOrFragmentStart);
        const qsizetype stop = queryOrFragment < 0 ? address.size() : queryOrFragment;
        for (qsizetype i = 0; i < stop; ++i) {
            if (address[i] == u'\\')
                address[i] = u'/';
        }
    }
    return address;
}

QByteArray pathAndQueryForTheWire(const QString &cleaned)
{
    const qsizetype start = pathStart(cleaned);
    const qsizetype fragment = cleaned.indexOf(u'#', start);
    const QByteArray rest = cleaned.sliced(start, (fragment < 0 ? cleaned.size() : fragment) - start).toUtf8();
    const qsizetype query = rest.indexOf('?');
    const QByteArrayView path = QByteArrayView(rest).first(query < 0 ? rest.size() : query);

    QByteArray wire;
    wire.reserve(rest.size() + 1);
    if (!path.startsWith('/'))
        wire += '/';
    appendEncoded(wire, path, "\"#<>?`{}");
    if (query >= 0) {
        wire += '?';
        appendEncoded(wire, QByteArrayView(rest).sliced(query + 1), "\"#<>'");
    }
    return wire;
}

QByteArray wireUrlOf(const QString &typed)
{
    const QString address = cleanedAddress(typed);
    const QUrl parsed(address);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return {};
    // The path and query go out as browsers send them, not as QUrl would
    // mend them ("%zz" stays "%zz").
    return parsed.toEncoded(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
         + pathAndQueryForTheWire(address);
}
