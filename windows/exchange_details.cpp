#include "exchange_details.h"

#include "http/browser_utf8.h"
#include "http/response_text.h"

#include <functional>

namespace {

const QString kSection = QStringLiteral("\n\n—— %1 ——\n");

// A head as text, one field a line, without the empty line that ends it.
QString headText(const QByteArray &head)
{
    QString text = QString::fromUtf8(head);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QString bytesNote(qsizetype shown, qsizetype whole)
{
    return QStringLiteral("\n……（只显示了开头的 %1 字节，后面还有 %2 字节）").arg(shown).arg(whole - shown);
}

// Up to kShownBytes of a body (of wholeSize bytes, of which the journal may
// keep fewer), as text or hex.
QString shownBody(const QByteArray &bytes, qsizetype wholeSize, bool hex,
                  const std::function<QString(const QByteArray &)> &decode)
{
    if (wholeSize == 0)
        return QStringLiteral("（正文为空）");
    const QByteArray shown = bytes.left(kShownBytes);
    QString text = hex ? hexDump(shown) : decode(shown);
    if (wholeSize > shown.size())
        text += bytesNote(shown.size(), wholeSize);
    return text;
}

// Up to kShownBytes characters of a text the program holds (of wholeSize
// characters), as text or as its UTF-8 bytes in hex.
QString shownText(const QString &text, qsizetype wholeSize, bool hex)
{
    const QString shown = text.left(kShownBytes);
    QString result = hex ? hexDump(shown.toUtf8().left(kShownBytes)) : shown;
    if (wholeSize > shown.size())
        result += QStringLiteral("\n……（只显示了开头的 %1 个字符，后面还有 %2 个字符）").arg(shown.size()).arg(wholeSize - shown.size());
    return result;
}

QString failureText(const ExchangeRecord &record)
{
    if (record.cancelled)
        return QStringLiteral("已取消：用户放弃了这次交互。");
    if (!record.failure)
        return {};
    return QStringLiteral("失败（%1）：%2").arg(record.failure->number).arg(record.failure->description);
}

QString hopTitle(const ExchangeRecord &record, qsizetype i)
{
    return record.hops.size() > 1 ? kSection.arg(QStringLiteral("第 %1 跳").arg(i + 1)).mid(2) : QString();
}

QString msText(double ms)
{
    return ms < 0 ? QStringLiteral("未到") : QStringLiteral("%1 ms").arg(ms, 0, 'f', 1);
}

} // namespace

QString hexDump(QByteArrayView bytes)
{
    static const char digits[] = "0123456789abcdef";
    QString text;
    text.reserve((bytes.size() / 16 + 1) * 78);
    for (qsizetype line = 0; line < bytes.size(); line += 16) {
        text += QStringLiteral("%1 ").arg(line, 8, 16, QLatin1Char('0'));
        QString ascii;
        for (qsizetype i = line; i < line + 16; ++i) {
            if (i - line == 8)
                text += QLatin1Char(' ');
            if (i < bytes.size()) {
                const auto byte = static_cast<unsigned char>(bytes[i]);
                text += QLatin1Char(' ');
                text += QLatin1Char(digits[byte >> 4]);
                text += QLatin1Char(digits[byte & 15]);
                ascii += byte >= 0x20 && byte < 0x7f ? QLatin1Char(char(byte)) : QLatin1Char('.');
            } else {
                text += QStringLiteral("   ");
            }
        }
        text += QStringLiteral("  |") + ascii + QStringLiteral("|\n");
    }
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QString shownRequest(const JournalEntry &entry, bool hex)
{
    const ExchangeRecord &record = entry.record;
    QString text;
    if (record.hops.isEmpty()) {
        text = QStringLiteral("（请求没有发出）\n%1 %2").arg(record.method, record.url);
        const QString failure = failureText(record);
        if (!failure.isEmpty())
            text += QLatin1Char('\n') + failure;
    }
    for (qsizetype i = 0; i < record.hops.size(); ++i) {
        const ExchangeHop &hop = record.hops.at(i);
        text += hopTitle(record, i);
        // A connection never made leaves no head; the body is what would have gone.
        text += hop.requestHead.isEmpty() ? QStringLiteral("（没有发出：连接没有建立）\n%1 %2").arg(record.method, record.url)
                                          : headText(hop.requestHead);
        text += QStringLiteral("\n\n");
        text += shownBody(hop.requestBody, entry.whole.request.value(i, hop.requestBody.size()), hex,
                          [](const QByteArray &bytes) { return decodeUtf8LikeBrowsers(bytes); });
        if (i + 1 < record.hops.size())
            text += QStringLiteral("\n\n");
    }
    if (record.plainMessage)
        text += kSection.arg(QStringLiteral("加密前的消息")) + shownText(*record.plainMessage, entry.whole.plainMessage, hex);
    return text;
}

QString shownAnswer(const JournalEntry &entry, bool hex)
{
    const ExchangeRecord &record = entry.record;
    QString text;
    for (qsizetype i = 0; i < record.hops.size(); ++i) {
        const ExchangeHop &hop = record.hops.at(i);
        const bool last = i + 1 == record.hops.size();
        text += hopTitle(record, i);
        if (hop.status == 0 && hop.answerHead.isEmpty()) {
            text += QStringLiteral("（没有收到应答）");
        } else {
            // The final answer is decoded as it was for the result window; an
            // earlier one (a redirect's) by its own Content-Type.
            const std::optional<QByteArray> contentType =
                last ? record.contentType : answerHeader(hop, "Content-Type");
            text += headText(hop.answerHead) + QStringLiteral("\n\n");
            text += shownBody(hop.answerBody, entry.whole.answer.value(i, hop.answerBody.size()), hex,
                              [&](const QByteArray &bytes) { return decodeResponseText(bytes, contentType); });
        }
        if (!last)
            text += QStringLiteral("\n\n");
    }
    const QString failure = failureText(record);
    if (!failure.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + failure;
    if (record.decryptedText)
        text += kSection.arg(QStringLiteral("解密后的应答")) + shownText(*record.decryptedText, entry.whole.decrypted, hex);
    return text;
}

QString shownTimings(const ExchangeRecord &record)
{
    QStringList hops;
    for (qsizetype i = 0; i < record.hops.size(); ++i) {
        const ExchangeHop &hop = record.hops.at(i);
        // Without an answer, the last time is when the hop gave up.
        QString line = (hop.status ? QStringLiteral("连接 %1，首字节 %2，应答完整 %3") : QStringLiteral("连接 %1，首字节 %2，结束于 %3"))
                           .arg(msText(hop.connectedMs), msText(hop.firstByteMs), msText(hop.wholeMs));
        if (record.hops.size() > 1)
            line = QStringLiteral("第 %1 跳：").arg(i + 1) + line;
        hops.append(line);
    }
    if (hops.isEmpty())
        hops.append(QStringLiteral("没有连接"));
    hops.append(QStringLiteral("从点击到应答完整共 %1").arg(msText(record.elapsedMs)));
    return hops.join(QLatin1Char('\n'));
}
