#include "text_boxes.h"

#include "heap_policy.h"
#include "paragraph_pieces.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
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

// A text longer than this is set stepwise: laying out 100,000 paragraphs
// takes Qt about a second.
constexpr qsizetype kStepwiseText = 256 * 1024;
// What goes in at once: more than any screen shows.
constexpr qsizetype kFirstPart = 64 * 1024;
// What one append of the loading takes at least, and how long a turn of
// appends lasts before the event loop has its turn: what a key pressed
// meanwhile may wait, at most.
constexpr qsizetype kLoadPart = 16 * 1024;
constexpr qint64 kLoadTurnMs = 5;

// A turn of the stepwise loading. It goes round the event loop once before
// it is due: posted while events are being sent, it would come in the same
// round.
class LoadTurnEvent final : public QEvent {
public:
    explicit LoadTurnEvent(bool due)
        : QEvent(type())
        , due(due)
    {
    }
    static Type type()
    {
        static const auto registered = Type(registerEventType());
        return registered;
    }
    const bool due;
};

// Whether any paragraph of the document may be a piece joining the one
// before: a format the document never registered is on no paragraph.
bool hasJoins(const QTextDocument *document)
{
    const QList<QTextFormat> formats = document->allFormats();
    return std::any_of(formats.cbegin(), formats.cend(),
                       [](const QTextFormat &format) { return format.boolProperty(kJoinsPrevious); });
}

// Where the last paragraph separator before `end` is, or -1. Eight
// characters at a time where the processor compares them so: read back,
// 50 MB of text are searched whole.
qsizetype lastSeparatorBefore(const QChar *data, qsizetype end)
{
    const auto *units = reinterpret_cast<const char16_t *>(data);
    qsizetype i = end;
#if defined(__SSE2__)
    const __m128i separator = _mm_set1_epi16(short(QChar::ParagraphSeparator));
    for (; i >= 8; i -= 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + i - 8));
        // Two bits a character found; the highest is in the last one.
        if (const int found = _mm_movemask_epi8(_mm_cmpeq_epi16(chunk, separator)))
            return i - 8 + (31 - __builtin_clz(unsigned(found))) / 2;
    }
#endif
    while (--i >= 0) {
        if (units[i] == QChar::ParagraphSeparator)
            return i;
    }
    return -1;
}

// Makes each paragraph separator of a raw text CR LF, going backward in
// memory grown where it lies. False, the text left half done, if it holds
// another number of separators than `separators`.
bool separatorsToCrLf(QString &text, qsizetype separators)
{
    qsizetype read = text.size();
    text.resize(read + separators);
    QChar *const data = text.data();
    qsizetype write = text.size();
    for (;;) {
        const qsizetype separator = lastSeparatorBefore(data, read);
        const qsizetype after = separator + 1;
        write -= read - after;
        std::copy_backward(data + after, data + read, data + write + (read - after));
        // What is still to be inserted lies between the text not yet moved
        // and the text moved.
        const qsizetype room = write - after;
        if (separator < 0)
            return room == 0;
        if (room < 1)
            return false;
        data[--write] = u'\n';
        data[--write] = u'\r';
        read = separator;
    }
}

// Marks as joins the paragraphs `joins` (counted from `first`), and every
// other paragraph after `first` up to `last` as a real one. Runs of joins
// are marked at once: one change of the document each, not one a piece.
void markJoins(QTextDocument *document, int first, const QList<qsizetype> &joins, int last = -1)
{
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    const auto setFormat = [&](qsizetype from, qsizetype to, const QTextBlockFormat &format) {
        cursor.setPosition(document->findBlockByNumber(int(from)).position());
        cursor.setPosition(document->findBlockByNumber(int(to)).position(), QTextCursor::KeepAnchor);
        cursor.setBlockFormat(format);
    };
    if (last > first)
        setFormat(first + 1, last, QTextBlockFormat());
    QTextBlockFormat joined;
    joined.setProperty(kJoinsPrevious, true);
    for (qsizetype i = 0; i < joins.size();) {
        qsizetype j = i;
        while (j + 1 < joins.size() && joins[j + 1] == joins[j] + 1)
            ++j;
        setFormat(first + joins[i], first + joins[j], joined);
        i = j + 1;
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
    // The boxes have no scroll bars: the growing document cannot move the view.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Tab moves the focus on, as in every other box of the window.
    setTabChangesFocus(true);
}

// The loading's turns come as events of low priority, each after the event
// loop has gone round once more: whatever else waits or comes meanwhile
// (input, painting, a queued call) goes first.
void MultiLineTextBox::postLoadTurn()
{
    if (std::exchange(loadTurnPosted_, true))
        return;
    QCoreApplication::postEvent(this, new LoadTurnEvent(false), Qt::LowEventPriority);
}

void MultiLineTextBox::loadTurn(bool due)
{
    if (!due) {
        QCoreApplication::postEvent(this, new LoadTurnEvent(true), Qt::LowEventPriority);
        return;
    }
    loadTurnPosted_ = false;
    if (loading_.atEnd())
        return;
    QElapsedTimer turn;
    turn.start();
    const int firstNew = document()->blockCount() - 1;
    // One change of the document a turn: the box lays out its last
    // screenful of paragraphs (for its scrolling range) once a turn, not
    // after every append.
    QTextCursor turnCursor(document());
    turnCursor.beginEditBlock();
    bool more = true;
    while ((more = loadStep(kLoadPart)) && turn.elapsed() < kLoadTurnMs) {
    }
    turnCursor.endEditBlock();
    // Those layouts would stay, a kilobyte or more a paragraph: the
    // paragraphs appended are laid out again when they come into view.
    for (QTextBlock block = document()->lastBlock(); block.isValid() && block.blockNumber() >= firstNew;
         block = block.previous())
        block.clearLayout();
    if (more)
        postLoadTurn();
}

QString MultiLineTextBox::text() const
{
    finishLoading();
    // Raw text keeps no-break spaces and U+2028 as they are; paragraph ends
    // read back as CR LF, pieces' joins as nothing. The raw copy is changed
    // in place, in memory grown where it lies.
    QString text = document()->toRawText();
    // Without joins, every paragraph separator is a paragraph end: they are
    // found in the text itself, not by walking the paragraphs (a quarter of
    // the time, for 500,000 of them).
    if (!hasJoins(document())) {
        if (separatorsToCrLf(text, document()->blockCount() - 1))
            return text;
        text = document()->toRawText();
    }
    // Else the joins are found by walking the paragraphs and taken out going
    // forward; the separators left are the paragraph ends.
    QList<qsizetype> joins; // positions of their separators
    qsizetype ends = 0, position = 0;
    for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next()) {
        if (position > 0) {
            if (continuesPrevious(block))
                joins.append(position - 1);
            else
                ++ends;
        }
        position += block.length();
    }
    if (!joins.isEmpty()) {
        QChar *const data = text.data();
        qsizetype to = joins.front();
        for (qsizetype i = 0; i < joins.size(); ++i) {
            const qsizetype from = joins[i] + 1;
            const qsizetype until = i + 1 < joins.size() ? joins[i + 1] : text.size();
            std::copy(data + from, data + until, data + to);
            to += until - from;
        }
        text.truncate(text.size() - joins.size());
    }
    [[maybe_unused]] const bool counted = separatorsToCrLf(text, ends);
    Q_ASSERT(counted);
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
    // A text still loading is replaced, not finished.
    loading_ = ParagraphPieceCutter();
    // Over a text already there, setPlainText lays a long paragraph out twice
    // (to select the whole document, then for the change); over an emptied
    // document, once. (The box reports the emptying as a change of text too.)
    if (!document()->isEmpty())
        clear();
    // Only the first part is cut into pieces now: the rest is cut as it
    // goes in. An assistive tool reads the document itself: it gets the
    // text whole at once.
    ParagraphPieceCutter cutter(text);
    const bool stepwise = text.size() > kStepwiseText && !QAccessible::isActive();
    const ParagraphPieces first = cutter.next(stepwise ? kFirstPart : text.size());
    setPlainText(first.text);
    if (!first.joins.isEmpty()) {
        // Marked as one step that cannot be undone, as setPlainText leaves it.
        document()->setUndoRedoEnabled(false);
        markJoins(document(), 0, first.joins);
        document()->setUndoRedoEnabled(true);
        // Turning undo back on counts as a change: the text as set is none.
        document()->setModified(false);
    }
    if (!cutter.atEnd()) {
        // The rest goes in once the first screenful has been painted; the
        // loading's end gives back what the text's passing copies took.
        loading_ = std::move(cutter);
        viewport()->update();
    } else if (text.size() > kLargeText) {
        giveBackFreedMemorySoon();
    }
}

MultiLineTextBox::~MultiLineTextBox()
{
    if (document()->characterCount() + loading_.left() > kLargeText)
        giveBackFreedMemorySoon();
}

bool MultiLineTextBox::loaded() const
{
    return loading_.atEnd();
}

bool MultiLineTextBox::loadStep(qsizetype atLeast)
{
    if (loading_.atEnd())
        return false;
    const ParagraphPieces part = loading_.next(atLeast);
    QTextDocument *const document = this->document();
    // Appended as setText's first part went in: not to be undone, not a
    // change by the user, the cursor where it was.
    const bool modified = document->isModified();
    const int anchor = textCursor().anchor(), position = textCursor().position();
    const int first = document->blockCount() - 1;
    // New paragraphs take the format of the one they are appended to.
    const bool inheritsJoin = continuesPrevious(document->lastBlock());
    document->setUndoRedoEnabled(false);
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    end.insertText(part.text);
    if (inheritsJoin || !part.joins.isEmpty())
        markJoins(document, first, part.joins, inheritsJoin ? document->blockCount() - 1 : -1);
    document->setUndoRedoEnabled(true);
    document->setModified(modified);
    if (textCursor().anchor() != anchor || textCursor().position() != position) {
        QTextCursor cursor = textCursor();
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(cursor);
    }
    if (!loading_.atEnd())
        return true;
    // The text's last reference goes with the cutter.
    loading_ = ParagraphPieceCutter();
    if (document->characterCount() > kLargeText)
        giveBackFreedMemorySoon();
    return false;
}

void MultiLineTextBox::finishLoading() const
{
    if (loading_.atEnd())
        return;
    // Reading the box is no change of it, but it needs the whole text.
    const_cast<MultiLineTextBox *>(this)->loadStep(loading_.left());
}

bool MultiLineTextBox::continuesPrevious(const QTextBlock &block)
{
    return block.blockFormat().boolProperty(kJoinsPrevious);
}

void MultiLineTextBox::keyPressEvent(QKeyEvent *event)
{
    // Keys edit, select, copy and move through the whole text.
    finishLoading();
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
    finishLoading();
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
    finishLoading();
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

void MultiLineTextBox::inputMethodEvent(QInputMethodEvent *event)
{
    finishLoading();
    QPlainTextEdit::inputMethodEvent(event);
}

void MultiLineTextBox::dropEvent(QDropEvent *event)
{
    finishLoading();
    QPlainTextEdit::dropEvent(event);
}

// The context menu (the box's own or one built on it) selects all, copies,
// pastes and undoes: the whole text is there first. It comes to the box from
// the keyboard and to its viewport from the mouse.
bool MultiLineTextBox::event(QEvent *event)
{
    if (event->type() == LoadTurnEvent::type()) {
        loadTurn(static_cast<LoadTurnEvent *>(event)->due);
        return true;
    }
    if (event->type() == QEvent::ContextMenu)
        finishLoading();
    return QPlainTextEdit::event(event);
}

bool MultiLineTextBox::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ContextMenu)
        finishLoading();
    const bool handled = QPlainTextEdit::viewportEvent(event);
    if (event->type() == QEvent::Paint && !loading_.atEnd())
        postLoadTurn();
    return handled;
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
