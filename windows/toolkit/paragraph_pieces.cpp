#include "paragraph_pieces.h"

#include <algorithm>
#include <utility>

namespace {

bool isParagraphEnd(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

// A last piece shorter than this is not cut off: it stays with the one before.
constexpr qsizetype kShortestLastPiece = kParagraphPiece / 4;

} // namespace

ParagraphPieceCutter::ParagraphPieceCutter(QString text)
    : text_(std::move(text))
{
}

// Where the paragraph going on at `from` ends, looking no further than
// `within` characters: the end of the text, or `from + within` if it goes on.
qsizetype ParagraphPieceCutter::paragraphEnd(qsizetype from, qsizetype within) const
{
    const QChar *const data = text_.constData();
    const qsizetype until = std::min(text_.size(), from + within);
    qsizetype at = from;
    while (at < until && !isParagraphEnd(data[at]))
        ++at;
    return at;
}

// Where a piece of a long paragraph starting at `from` ends, with more than
// a short last piece after it.
qsizetype ParagraphPieceCutter::pieceCut(qsizetype from) const
{
    const qsizetype limit = from + kParagraphPiece;
    // After the last space in the piece's second half: the cut then falls
    // where the wrap could have broken the line anyway.
    for (qsizetype i = limit; i > from + kParagraphPiece / 2; --i) {
        if (text_.at(i - 1).isSpace())
            return i;
    }
    qsizetype cut = limit;
    while (cut > from + 1 && (text_.at(cut).isLowSurrogate() || text_.at(cut).isMark()))
        --cut;
    return cut;
}

ParagraphPieces ParagraphPieceCutter::next(qsizetype atLeast)
{
    ParagraphPieces part;
    const qsizetype start = at_;
    const qsizetype until = atLeast >= text_.size() - at_ ? text_.size() : at_ + atLeast;
    qsizetype copied = at_;    // the text up to here is in part.text
    qsizetype paragraph = 0;   // index, in the part, of the paragraph at at_
    const auto copyUpTo = [&](qsizetype to) {
        part.text.append(QStringView(text_).sliced(copied, to - copied));
        copied = to;
    };
    // Past the paragraph, its end included (CR LF is one end).
    const auto passParagraph = [&](qsizetype end) {
        inLongParagraph_ = false;
        at_ = end;
        if (at_ < text_.size()) {
            at_ += text_.at(at_) == u'\r' && at_ + 1 < text_.size() && text_.at(at_ + 1) == u'\n' ? 2 : 1;
            ++paragraph;
        }
    };
    while (at_ < until) {
        if (!inLongParagraph_) {
            const qsizetype end = paragraphEnd(at_, kLongParagraph + 1);
            if (end - at_ <= kLongParagraph) {
                passParagraph(end);
                continue;
            }
            inLongParagraph_ = true;
        }
        const qsizetype end = paragraphEnd(at_, kParagraphPiece + kShortestLastPiece);
        if (end < at_ + kParagraphPiece + kShortestLastPiece) {
            passParagraph(end); // the last piece
            continue;
        }
        at_ = pieceCut(at_);
        copyUpTo(at_);
        part.text.append(QChar::ParagraphSeparator);
        part.joins.append(++paragraph);
    }
    if (part.joins.isEmpty())
        part.text = start == 0 && at_ == text_.size() ? text_ : text_.sliced(start, at_ - start);
    else
        copyUpTo(at_);
    return part;
}

ParagraphPieces cutLongParagraphs(const QString &text)
{
    return ParagraphPieceCutter(text).next(text.size());
}
