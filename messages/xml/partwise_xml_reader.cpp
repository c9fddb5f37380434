#include "xml/partwise_xml_reader.h"

#include <algorithm>

PartwiseXmlReader::PartwiseXmlReader(QStringView text, qsizetype part)
    : text_(text)
    , rest_(text)
    , part_(std::max<qsizetype>(part, 1))
{
}

QXmlStreamReader::TokenType PartwiseXmlReader::readNext()
{
    for (;;) {
        const QXmlStreamReader::TokenType token = reader_.readNext();
        if (token == QXmlStreamReader::Invalid && reader_.error() == QXmlStreamReader::PrematureEndOfDocumentError
            && !rest_.isEmpty()) {
            // The reader takes up where it stopped once it has more.
            afterRoot_ ? feed(rest_.size()) : feed(std::min(part_, rest_.size()));
            continue;
        }
        if (token == QXmlStreamReader::StartElement)
            ++depth_;
        else if (token == QXmlStreamReader::EndElement && --depth_ == 0 && !afterRoot_) {
            afterRoot_ = true;
            feedAfterRoot();
        }
        return token;
    }
}

// After the root, a reader whose data runs out takes that for the end of the
// document, even in the middle of what follows: it is given at once all that
// decides whether anything but space, comments and processing instructions
// follows the root.
void PartwiseXmlReader::feedAfterRoot()
{
    // Where the reader is, in the text: the root may have ended anywhere in
    // what it was given.
    const QStringView after = text_.sliced(std::min<qsizetype>(reader_.characterOffset(), text_.size()));
    qsizetype space = 0;
    while (space < after.size() && (after[space] == u' ' || after[space] == u'\t' || after[space] == u'\r' || after[space] == u'\n'))
        ++space;
    const QStringView next = after.sliced(space);
    // Anything else is an error at its very start: a part of it tells.
    const bool decidedByItsStart = !next.isEmpty() && !next.startsWith(u"<!--") && !next.startsWith(u"<?");
    const qsizetype until = decidedByItsStart ? std::min(text_.size(), text_.size() - next.size() + part_) : text_.size();
    const qsizetype given = text_.size() - rest_.size();
    if (until > given)
        feed(until - given);
}

void PartwiseXmlReader::feed(qsizetype length)
{
    // A surrogate pair stays whole: half of one would reach the reader as '?'.
    if (length < rest_.size() && length > 0 && rest_[length - 1].isHighSurrogate())
        ++length;
    reader_.addData(rest_.first(length).toString());
    rest_ = rest_.sliced(length);
}
