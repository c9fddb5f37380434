#pragma once

#include <QList>
#include <QString>

// Qt lays a paragraph out whole: its time grows with the square of the
// longest run without a break opportunity, and its memory with its length
// (about 40 bytes a character). A text box therefore holds a very long
// paragraph as pieces of bounded length, each a paragraph of its own that is
// laid out only when it comes into view, and the breaks between the pieces
// are marked so they never read back.

// A paragraph at most this long (in UTF-16 units) is held whole, as Qt would.
inline constexpr qsizetype kLongParagraph = 16'384;
// The pieces of a longer one are at most this long.
inline constexpr qsizetype kParagraphPiece = 1'024;

struct ParagraphPieces {
    QString text;            // the text with a paragraph separator between pieces
    QList<qsizetype> joins;  // 0-based indices of the paragraphs that continue the one before
};

// Cuts a text's long paragraphs into pieces from its start on, a part at a
// time, so a large text's first screenful is ready without going through
// the rest. The text is taken as Qt takes it: paragraphs ended by CR LF, CR,
// LF or U+2029; a U+2028 line separator is a character of its paragraph.
// Pieces are cut preferably after a space, never inside a surrogate pair or
// before a combining mark.
class ParagraphPieceCutter {
public:
    explicit ParagraphPieceCutter(QString text = {});

    bool atEnd() const { return at_ == text_.size(); }
    // How much of the text is still to come.
    qsizetype left() const { return text_.size() - at_; }

    // The next part, of at least `atLeast` characters of the text (or what
    // is left): it ends just after a paragraph's end or between two pieces,
    // so the parts joined are the whole text's pieces. Its joins count from
    // its own first paragraph, which never continues the part before: a
    // break between pieces ends the part it falls in.
    ParagraphPieces next(qsizetype atLeast);

private:
    qsizetype paragraphEnd(qsizetype from, qsizetype within) const;
    qsizetype pieceCut(qsizetype from) const;

    QString text_;
    qsizetype at_ = 0;
    bool inLongParagraph_ = false; // at_ is the start of a piece, not of a paragraph
};

// The whole text cut at once. A text without long paragraphs comes back as
// it is, with no joins.
ParagraphPieces cutLongParagraphs(const QString &text);
