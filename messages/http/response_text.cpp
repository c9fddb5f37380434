#include "http/response_text.h"

#include "http/browser_utf8.h"
#include "http/encoding_labels.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

struct MimeType {
    QByteArray essence; // type/subtype, lower case
    QByteArray charset; // the charset parameter's value, as given
};

bool isHttpWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArray trimmedHttp(QByteArrayView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isHttpWhitespace(text[begin]))
        ++begin;
    while (end > begin && isHttpWhitespace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

// A Content-Type that does not parse counts as text/xml, as does none.
MimeType parseMimeType(const std::optional<QByteArray> &contentType)
{
    static const MimeType kXml{"text/xml", {}};
    if (!contentType)
        return kXml;
    const QList<QByteArray> parts = contentType->split(';');
    const QByteArray essence = trimmedHttp(parts.first()).toLower();
    const qsizetype slash = essence.indexOf('/');
    if (slash <= 0 || slash == essence.size() - 1 || essence.indexOf('/', slash + 1) >= 0
        || essence.contains(' ') || essence.contains('\t'))
        return kXml;

    MimeType mime{essence, {}};
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = trimmedHttp(parts[i]);
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || trimmedHttp(parameter.left(equals)).toLower() != "charset")
            continue;
        QByteArray value = trimmedHttp(parameter.mid(equals + 1));
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        mime.charset = value;
        break;
    }
    return mime;
}

bool isXml(const QByteArray &essence)
{
    return essence == "text/xml" || essence == "application/xml" || essence.endsWith("+xml");
}

// The encoding that <?xml ... encoding="..."?> at the start of the body names.
QByteArray xmlDeclaredEncoding(const QByteArray &body)
{
    static const QRegularExpression declaration(
        QStringLiteral(R"(^<\?xml\s[^>]*?\bencoding\s*=\s*["']([A-Za-z][A-Za-z0-9._-]*)["'])"));
    const QString head = QString::fromLatin1(body.left(1024));
    const QRegularExpressionMatch match = declaration.match(head);
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

QString decodeWith(const QByteArray &decoder, QByteArrayView bytes)
{
    if (decoder == "UTF-8")
        return decodeUtf8LikeBrowsers(bytes);
    if (decoder == "replacement")
        return bytes.isEmpty() ? QString() : QString(QChar::ReplacementCharacter);
    if (decoder == "x-user-defined") {
        QString text(bytes.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            text[i] = byte < 0x80 ? QChar(byte) : QChar(0xF780 + byte - 0x80);
        }
        return text;
    }
    // The mark, if there was one, is gone: a second one is text. Stateless:
    // a sequence cut off at the end becomes U+FFFD, not nothing.
    QStringDecoder decode(decoder.constData(), QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decode(bytes);
}

} // namespace

QString decodeResponseText(const QByteArray &body, const std::optional<QByteArray> &contentType)
{
    return decodeResponseText(body, contentType, nullptr);
}

QString decodeResponseText(const QByteArray &body, const std::optional<QByteArray> &contentType, QString *encodingUsed)
{
    const auto decode = [encodingUsed](const QByteArray &decoder, QByteArrayView bytes) {
        if (encodingUsed)
            *encodingUsed = QString::fromLatin1(decoder);
        return decodeWith(decoder, bytes);
    };
    if (body.startsWith("\xEF\xBB\xBF"))
        return decode("UTF-8", QByteArrayView(body).sliced(3));
    if (body.startsWith("\xFE\xFF"))
        return decode("UTF-16BE", QByteArrayView(body).sliced(2));
    if (body.startsWith("\xFF\xFE"))
        return decode("UTF-16LE", QByteArrayView(body).sliced(2));

    const MimeType mime = parseMimeType(contentType);
    QByteArray decoder = decoderForEncodingLabel(mime.charset);
    if (decoder.isEmpty() && isXml(mime.essence)) {
        decoder = decoderForEncodingLabel(xmlDeclaredEncoding(body));
        // A document without a byte-order mark cannot be UTF-16 by its declaration alone.
        if (decoder.startsWith("UTF-16"))
            decoder.clear();
    }
    if (decoder.isEmpty())
        decoder = "UTF-8";
    return decode(decoder, body);
}
