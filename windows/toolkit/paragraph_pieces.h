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

// The text as Qt takes it (paragraphs ended by CR LF, CR, LF or U+2029; a
// U+2028 line separator is a character of its paragraph), with every long
// paragraph cut into pieces, preferably after a space, never inside a
// surrogate pair or before a combining mark. A text without long paragraphs
// comes back as it is, with no joins.
ParagraphPieces cutLongParagraphs(const QString &text);
