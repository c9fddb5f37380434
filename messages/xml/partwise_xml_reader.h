#pragma once

#include <QStringView>
#include <QXmlStreamReader>

// Reads an XML text token by token as QXmlStreamReader reads it whole, but
// hands the reader the text a part at a time, only as far as it gets. Given
// the whole, the reader converts all of it before the first token: a large
// answer that stops being XML near its start (an error page, JSON, a second
// root) would cost its whole size to find that out. The text must outlive
// the reader.
class PartwiseXmlReader {
public:
    explicit PartwiseXmlReader(QStringView text, qsizetype part = 64 * 1024);

    QXmlStreamReader::TokenType readNext();
    bool atEnd() const { return reader_.atEnd(); }
    // For the current token's name, text and position, and the error.
    const QXmlStreamReader &reader() const { return reader_; }

private:
    void feed(qsizetype length);
    void feedAfterRoot();

    QXmlStreamReader reader_;
    const QStringView text_;
    QStringView rest_; // not handed to the reader yet
    const qsizetype part_;
    int depth_ = 0;
    bool afterRoot_ = false;
};
