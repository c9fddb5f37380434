#include "text_boxes.h"

#include "paragraph_pieces.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <QTimer>

#include <limits>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// The block format property that marks a piece continuing the one before.
constexpr int kJoinsPrevious = QTextFormat::UserProperty + 1;

// Sends a hidden widget the resize event it still owes itself, as showing it would.
void sendPendingResize(QWidget *widget)
{
    if (!widget->testAttribute(Qt::WA_PendingResizeEvent))
        return;
    widget->setAttribute(Qt::WA_PendingResizeEvent, false);
    QResizeEvent resize(widget->size(), QSize());
    QCoreApplication::sendEvent(widget, &resize);
}

// A text this long (in characters) is a large one.
constexpr qsizetype kLargeText = 1'000'000;

// glibc keeps freed blocks of up to 32 MB for reuse instead of giving them
// back: after a large text's passing copies (the answer's bytes, its decoding,
// the pieces) the program would hold several times its size, and keep it
// after the box is gone. Once the event loop is free again, they go back.
void giveBackFreedMemoryLater()
{
#if defined(__GLIBC__)
    QTimer::singleShot(0, [] { malloc_trim(0); });
#endif
}

// Marks as joins the paragraphs `joins` (counted from `first`), and every
// other paragraph after `first` up to `last` as a real one.
void markJoins(QTextDocument *document, int first, const QList<qsizetype> &joins, int last = -1)
{
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    QTextBlockFormat joined, real;
    joined.setProperty(kJoinsPrevious, true);
    auto join = joins.cbegin();
    int number = 1;
    for (QTextBlock block = document->findBlockByNumber(first + 1); block.isValid(); block = block.next(), ++number) {
        if (last >= 0 && first + number > last)
            break;
        const bool isJoin = join != joins.cend() && *join == number;
        if (isJoin)
            ++join;
        else if (last < 0)
            continue; // fresh from setPlainText: unmarked
        if (isJoin != block.blockFormat().boolProperty(kJoinsPrevious)) {
            cursor.setPosition(block.position());
            cursor.setBlockFormat(isJoin ? joined : real);
        }
        if (last < 0 && join == joins.cend())
            break;
    }
    cursor.endEditBlock();
}

} // namespace

void ClickDetector::press(const QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

bool ClickDetector::release(const QMouseEvent *event, const QRect &inside)
{
    const bool wasPressed = pressed_;
    pressed_ = false;
    return wasPressed && event->button() == Qt::LeftButton
        && inside.contains(event->position().toPoint());
}

SingleLineTextBox::SingleLineTextBox(QWidget *parent)
    : QLineEdit(parent)
{
    // Qt cuts a line edit's text at 32767 characters; an endpoint may be longer.
    setMaxLength(std::numeric_limits<int>::max());
}

void SingleLineTextBox::mousePressEvent(QMouseEvent *event)
{
    click_.press(event);
    QLineEdit::mousePressEvent(event);
}

void SingleLineTextBox::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (click_.release(event, rect()))
        emit clicked();
}

MultiLineTextBox::MultiLineTextBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Tab moves the focus on, as in every other box of the window.
    setTabChangesFocus(true);
}

QString MultiLineTextBox::text() const
{
    // Raw text keeps no-break spaces and U+2028 as they are; paragraph ends
    // read back as CR LF, pieces' joins as nothing. One pass over the copy,
    // into a string reserved for the most it can take.
    const QString raw = document()->toRawText();
    QString text;
    text.reserve(raw.size() + document()->blockCount());
    QTextBlock block = document()->firstBlock();
    for (qsizetype from = 0;;) {
        const qsizetype end = raw.indexOf(QChar::ParagraphSeparator, from);
        text.append(QStringView(raw).mid(from, (end < 0 ? raw.size() : end) - from));
        if (end < 0)
            break;
        block = block.next();
        if (!continuesPrevious(block))
            text.append(u"\r\n");
        from = end + 1;
    }
    return text;
}

void MultiLineTextBox::setText(const QString &text)
{
    // Laying out a long paragraph is what taking a text costs (a second or
    // more for 10 MB in one line), so it is done once, at the right width.
    // A box not shown yet sizes its viewport only when shown: until then its
    // text is laid out as one endless line, and once more when shown. Its
    // viewport is sized first, as showing it would.
    sendPendingResize(this);
    sendPendingResize(viewport());
    // Over a text already there, setPlainText lays a long paragraph out twice
    // (to select the whole document, then for the change); over an emptied
    // document, once. (The box reports the emptying as a change of text too.)
    if (!document()->isEmpty())
        clear();
    ParagraphPieces pieces = cutLongParagraphs(text);
    if (pieces.joins.isEmpty()) {
        setPlainText(text);
    } else {
        setPlainText(std::exchange(pieces.text, {}));
        // Marked as one step that cannot be undone, as setPlainText leaves it.
        document()->setUndoRedoEnabled(false);
        markJoins(document(), 0, pieces.joins);
        document()->setUndoRedoEnabled(true);
    }
    if (text.size() > kLargeText)
        giveBackFreedMemoryLater();
}

MultiLineTextBox::~MultiLineTextBox()
{
    if (document()->characterCount() > kLargeText)
        giveBackFreedMemoryLater();
}

bool MultiLineTextBox::continuesPrevious(const QTextBlock &block)
{
    return block.blockFormat().boolProperty(kJoinsPrevious);
}

void MultiLineTextBox::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    QTextCursor cursor = textCursor();
    // Shift+Enter would put a U+2028 line separator in: only a character the
    // user typed or pasted as such goes out as itself, a break made with
    // Enter goes out as CR LF. A new paragraph is never a piece's join.
    if (event->matches(QKeySequence::InsertParagraphSeparator)
        || event->matches(QKeySequence::InsertLineSeparator)) {
        QTextBlockFormat format = cursor.blockFormat();
        format.clearProperty(kJoinsPrevious);
        cursor.insertBlock(format);
        setTextCursor(cursor);
        ensureCursorVisible();
        return;
    }
    // Deleting across a join deletes the character beyond it: the join
    // itself is no character of the text.
    const bool plainKey = !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    if (plainKey && !cursor.hasSelection()) {
        const QTextBlock block = cursor.block();
        if (event->key() == Qt::Key_Backspace && cursor.atBlockStart() && continuesPrevious(block)
            && block.previous().length() > 1) {
            cursor.movePosition(QTextCursor::PreviousCharacter);
            cursor.deletePreviousChar();
            ensureCursorVisible();
            return;
        }
        if (event->key() == Qt::Key_Delete && cursor.atBlockEnd() && continuesPrevious(block.next())
            && block.next().length() > 1) {
            cursor.movePosition(QTextCursor::NextCharacter);
            cursor.deleteChar();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MultiLineTextBox::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source || !source->hasText())
        return;
    // Pasted paragraphs are real ones and a long one is cut into pieces, as
    // in setText; Qt's own paste would copy the paragraph's mark onto them.
    const ParagraphPieces pieces = cutLongParagraphs(source->text());
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int first = cursor.blockNumber();
    cursor.insertText(pieces.text);
    if (cursor.blockNumber() > first)
        markJoins(document(), first, pieces.joins, cursor.blockNumber());
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData *MultiLineTextBox::createMimeDataFromSelection() const
{
    QMimeData *data = QPlainTextEdit::createMimeDataFromSelection();
    const QTextCursor cursor = textCursor();
    if (!data || !cursor.hasSelection())
        return data;
    // The selection's plain text has one character for each break: the
    // joins' are taken out (from the end, so the positions hold).
    const int start = cursor.selectionStart(), end = cursor.selectionEnd();
    QList<int> joins;
    for (QTextBlock block = document()->findBlock(start).next(); block.isValid() && block.position() <= end;
         block = block.next()) {
        if (continuesPrevious(block))
            joins.append(block.position() - 1 - start);
    }
    if (joins.isEmpty())
        return data;
    QString text = data->text();
    for (auto join = joins.crbegin(); join != joins.crend(); ++join)
        text.remove(*join, 1);
    data->setText(text);
    return data;
}

void MultiLineTextBox::mousePressEvent(QMouseEvent *event)
{
    click_.press(event);
    QPlainTextEdit::mousePressEvent(event);
}

void MultiLineTextBox::mouseReleaseEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    if (click_.release(event, viewport()->rect()))
        emit clicked();
}
