#include "http/browser_utf8.h"

#include "http/huge_pages.h"

#include <QStringDecoder>

namespace {

QString decodeIllFormed(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text += QChar(lead);
            ++i;
            continue;
        }
        int needed = 0;
        char32_t code = 0;
        unsigned char lower = 0x80, upper = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            code = lead & 0x0F;
            lower = lead == 0xE0 ? 0xA0 : 0x80;
            upper = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            code = lead & 0x07;
            lower = lead == 0xF0 ? 0x90 : 0x80;
            upper = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            text += QChar::ReplacementCharacter;
            ++i;
            continue;
        }
        qsizetype next = i + 1;
        bool whole = true;
        for (int k = 0; k < needed; ++k, ++next) {
            const auto byte = next < size ? static_cast<unsigned char>(bytes[next]) : 0;
            if (next >= size || byte < lower || byte > upper) {
                whole = false;
                break;
            }
            lower = 0x80;
            upper = 0xBF;
            code = (code << 6) | (byte & 0x3F);
        }
        // A sequence cut short is one U+FFFD; the byte that cut it is read again.
        if (whole)
            text += QChar::fromUcs4(code);
        else
            text += QChar::ReplacementCharacter;
        i = next;
    }
    return text;
}

} // namespace

QString decodeUtf8LikeBrowsers(QByteArrayView bytes)
{
    // Well-formed text, nearly every answer, takes Qt's fast path.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text(decoder.requiredSpace(bytes.size()), Qt::Uninitialized);
    preferHugePages(text.data(), text.size() * qsizetype(sizeof(QChar)));
    text.truncate(decoder.appendToBuffer(text.data(), bytes) - text.constData());
    return decoder.hasError() ? decodeIllFormed(bytes) : text;
}
