#include "http/curl_command.h"

#include "http/browser_url.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

QString octal(unsigned char byte)
{
    return QStringLiteral("\\%1").arg(byte, 3, 8, QLatin1Char('0'));
}

// The body as a printf format that prints exactly its bytes. Control bytes
// become escapes, so the command stays on one line and a terminal's paste
// cannot turn CR into LF; text stays readable where it is UTF-8.
QString printfFormat(const QByteArray &body)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(body);
    Q_UNUSED(text);
    const bool keepText = !utf8.hasError();

    QByteArray format;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const unsigned char byte = body[i];
        switch (byte) {
        case '%': format += "%%"; break;
        case '\\': format += "\\\\"; break;
        case '\n': format += "\\n"; break;
        case '\r': format += "\\r"; break;
        case '\t': format += "\\t"; break;
        default:
            // A format that starts with '-' would be read as an option.
            if (byte < 0x20 || byte == 0x7f || (byte >= 0x80 && !keepText) || (i == 0 && byte == '-'))
                format += octal(byte).toLatin1();
            else
                format += char(byte);
        }
    }
    return QString::fromUtf8(format);
}

} // namespace

QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString curlCommand(const QString &url, const QByteArray &body, const QByteArray &contentType)
{
    // -g: brackets and braces in the query are the URL's, not curl's globbing.
    // -H 'Expect:': curl would hold a large body back for "100 Continue".
    // --data-binary @-: the body from standard input, unchanged.
    const QString contentTypeField = contentType.isEmpty()
        ? QStringLiteral("Content-Type:")
        : QStringLiteral("Content-Type: ") + QString::fromUtf8(contentType);
    // The URL as the program puts it on the wire.
    const QByteArray wire = wireUrlOf(url);
    const QString sentUrl = wire.isEmpty() ? url : QString::fromLatin1(wire);
    return QStringLiteral("printf %1 | curl -sS -g --compressed -H %2 -H 'Expect:' --data-binary @- --url %3")
        .arg(shellQuoted(printfFormat(body)), shellQuoted(contentTypeField), shellQuoted(sentUrl));
}
