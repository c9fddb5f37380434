#include "paragraph_pieces.h"

namespace {

bool isParagraphEnd(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

// Where to end a piece that starts at `from` of a paragraph ending at `end`.
qsizetype pieceEnd(const QString &text, qsizetype from, qsizetype end)
{
    const qsizetype limit = from + kParagraphPiece;
    if (end - limit < kParagraphPiece / 4)
        return end; // no short last piece
    // After the last space in the piece's second half: the cut then falls
    // where the wrap could have broken the line anyway.
    for (qsizetype i = limit; i > from + kParagraphPiece / 2; --i) {
        if (text.at(i - 1).isSpace())
            return i;
    }
    qsizetype cut = limit;
    while (cut > from + 1 && (text.at(cut).isLowSurrogate() || text.at(cut).isMark()))
        --cut;
    return cut;
}

} // namespace

ParagraphPieces cutLongParagraphs(const QString &text)
{
    // Positions (in the text) of the paragraphs' starts and ends, found once.
    struct Span { qsizetype from, to; };
    QList<Span> longOnes;
    for (qsizetype from = 0; from <= text.size();) {
        qsizetype to = from;
        while (to < text.size() && !isParagraphEnd(text.at(to)))
            ++to;
        if (to - from > kLongParagraph)
            longOnes.append({from, to});
        if (to == text.size())
            break;
        to += text.at(to) == u'\r' && to + 1 < text.size() && text.at(to + 1) == u'\n' ? 2 : 1;
        from = to;
    }
    if (longOnes.isEmpty())
        return {text, {}};

    ParagraphPieces pieces;
    pieces.text.reserve(text.size() + text.size() / kParagraphPiece * 2 + 1);
    qsizetype copied = 0;
    qsizetype paragraphIndex = 0; // of the text's paragraph at `copied`
    qsizetype joined = 0;         // separators added so far
    for (const Span &span : longOnes) {
        const QStringView before = QStringView(text).mid(copied, span.from - copied);
        for (qsizetype i = 0; i < before.size(); ++i) {
            if (isParagraphEnd(before[i])) {
                if (before[i] == u'\r' && i + 1 < before.size() && before[i + 1] == u'\n')
                    ++i;
                ++paragraphIndex;
            }
        }
        pieces.text.append(before);
        for (qsizetype from = span.from; from < span.to;) {
            const qsizetype to = pieceEnd(text, from, span.to);
            if (from != span.from) {
                pieces.text.append(QChar::ParagraphSeparator);
                ++joined;
                pieces.joins.append(paragraphIndex + joined);
            }
            pieces.text.append(QStringView(text).mid(from, to - from));
            from = to;
        }
        copied = span.to;
    }
    pieces.text.append(QStringView(text).mid(copied));
    return pieces;
}
