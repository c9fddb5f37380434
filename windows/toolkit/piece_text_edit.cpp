#include "piece_text_edit.h"

#include "piece_text_accessible.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdlib> // defines __GLIBC__ where it is glibc
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A text this long (in characters) is a large one.
constexpr qsizetype kLargeText = 1'000'000;

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

void giveBackFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

PieceTextEdit::PieceTextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    installPieceTextAccessible();
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
void PieceTextEdit::postLoadTurn()
{
    if (std::exchange(loadTurnPosted_, true))
        return;
    QCoreApplication::postEvent(this, new LoadTurnEvent(false), Qt::LowEventPriority);
}

void PieceTextEdit::loadTurn(bool due)
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

QString PieceTextEdit::text() const
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

void PieceTextEdit::setText(const QString &text)
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
        giveBackFreedMemory();
    }
}

bool PieceTextEdit::loaded() const
{
    return loading_.atEnd();
}

bool PieceTextEdit::loadStep(qsizetype atLeast)
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
        giveBackFreedMemory();
    return false;
}

void PieceTextEdit::finishLoading() const
{
    if (loading_.atEnd())
        return;
    // Reading the box is no change of it, but it needs the whole text.
    const_cast<PieceTextEdit *>(this)->loadStep(loading_.left());
}

bool PieceTextEdit::continuesPrevious(const QTextBlock &block)
{
    return block.blockFormat().boolProperty(kJoinsPrevious);
}

void PieceTextEdit::keyPressEvent(QKeyEvent *event)
{
    // Keys edit, select, copy and move through the whole text.
    finishLoading();
    // The cursor keys whose move a join may cut short, as Qt's editor moves
    // the cursor for them.
    struct Move {
        QKeySequence::StandardKey key;
        QTextCursor::MoveOperation operation;
        QTextCursor::MoveMode mode;
        bool byWord;
    };
    static constexpr Move kMoves[] = {
        {QKeySequence::MoveToNextChar, QTextCursor::Right, QTextCursor::MoveAnchor, false},
        {QKeySequence::MoveToPreviousChar, QTextCursor::Left, QTextCursor::MoveAnchor, false},
        {QKeySequence::SelectNextChar, QTextCursor::Right, QTextCursor::KeepAnchor, false},
        {QKeySequence::SelectPreviousChar, QTextCursor::Left, QTextCursor::KeepAnchor, false},
        {QKeySequence::MoveToNextWord, QTextCursor::WordRight, QTextCursor::MoveAnchor, true},
        {QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, QTextCursor::MoveAnchor, true},
        {QKeySequence::SelectNextWord, QTextCursor::WordRight, QTextCursor::KeepAnchor, true},
        {QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, QTextCursor::KeepAnchor, true},
    };
    for (const Move &move : kMoves) {
        if (event->matches(move.key)) {
            const int from = textCursor().position();
            QPlainTextEdit::keyPressEvent(event);
            moveOverJoins(from, move.operation, move.mode, move.byWord);
            return;
        }
    }
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

void PieceTextEdit::insertFromMimeData(const QMimeData *source)
{
    finishLoading();
    if (isReadOnly() || !source || !source->hasText())
        return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    insertPieces(cursor, source->text());
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

void PieceTextEdit::insertPieces(QTextCursor &cursor, const QString &text)
{
    // Inserted paragraphs are real ones and a long one is cut into pieces,
    // as in setText; Qt's own paste would copy the paragraph's mark onto them.
    const ParagraphPieces pieces = cutLongParagraphs(text);
    cursor.removeSelectedText();
    const int first = cursor.blockNumber();
    cursor.insertText(pieces.text);
    if (cursor.blockNumber() > first)
        markJoins(document(), first, pieces.joins, cursor.blockNumber());
}

void PieceTextEdit::replaceText(const QString &text)
{
    finishLoading();
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    insertPieces(cursor, text);
    cursor.endEditBlock();
    // At the start, as a text set is shown.
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
}

// Plain text alone: Qt's rich formats would hold a paragraph for each piece.
QMimeData *PieceTextEdit::createMimeDataFromSelection() const
{
    finishLoading();
    auto *data = new QMimeData;
    data->setText(plainText(textCursor()));
    return data;
}

QString PieceTextEdit::plainText(const QTextCursor &selection) const
{
    if (!selection.hasSelection())
        return QString();
    // The selection's raw text has a paragraph separator for each break;
    // one pass copies the text between them, the joins' left out.
    const QString raw = selection.selectedText();
    const int start = selection.selectionStart(), end = selection.selectionEnd();
    QString text;
    text.reserve(raw.size());
    qsizetype from = 0;
    for (QTextBlock block = document()->findBlock(start).next(); block.isValid() && block.position() <= end;
         block = block.next()) {
        const qsizetype separator = block.position() - 1 - start;
        text.append(QStringView(raw).sliced(from, separator - from));
        if (!continuesPrevious(block))
            text.append(u'\n');
        from = separator + 1;
    }
    text.append(QStringView(raw).sliced(from));
    return text;
}

int PieceTextEdit::indexOf(int position) const
{
    int joins = 0;
    const QTextBlock at = document()->findBlock(position);
    for (QTextBlock block = document()->firstBlock(); block.isValid() && block.blockNumber() <= at.blockNumber();
         block = block.next())
        joins += continuesPrevious(block) ? 1 : 0;
    return position - joins;
}

int PieceTextEdit::positionOf(int index) const
{
    int joins = 0;
    QTextBlock block = document()->firstBlock();
    // Past the pieces the index lies beyond: at a join it stays at the end
    // of the piece before.
    for (QTextBlock next = block.next(); next.isValid(); next = next.next()) {
        const int joinsThen = joins + (continuesPrevious(next) ? 1 : 0);
        if (next.position() - joinsThen > index || (continuesPrevious(next) && next.position() - joinsThen == index))
            break;
        joins = joinsThen;
        block = next;
    }
    return std::clamp(index + joins, 0, document()->characterCount() - 1);
}

namespace {

// Whether a position stands at a join: at the end of a piece the next one
// continues, or at the start of such a piece.
QTextBlock joinedAt(const QTextDocument *document, int position)
{
    const QTextBlock block = document->findBlock(position);
    if (position == block.position() && PieceTextEdit::continuesPrevious(block))
        return block;
    const QTextBlock next = block.next();
    if (position == block.position() + block.length() - 1 && PieceTextEdit::continuesPrevious(next))
        return next;
    return QTextBlock();
}

// Whether a join falls inside a word, as the line break rules of the whole
// paragraph see it around there.
bool cutsWord(const QTextBlock &joined)
{
    const QString before = joined.previous().text().right(32);
    const QString around = before + joined.text().left(32);
    if (before.isEmpty() || around.size() == before.size())
        return false;
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, around);
    words.setPosition(before.size());
    return !words.isAtBoundary();
}

} // namespace

void PieceTextEdit::moveOverJoins(int from, QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode,
                                  bool byWord)
{
    QTextCursor cursor = textCursor();
    // Each two turns pass at least a join and a piece.
    for (int turns = 2 * document()->blockCount() + 1; turns > 0; --turns) {
        const int at = cursor.position();
        const QTextBlock join = joinedAt(document(), at);
        // From one side of a join to the other, no character passed.
        const bool sameIndex = join.isValid() && std::abs(at - from) == 1
                            && std::max(at, from) == join.position();
        if (!sameIndex && !(byWord && at != from && join.isValid() && cutsWord(join)))
            break;
        from = at;
        if (!cursor.movePosition(operation, mode))
            break;
    }
    if (cursor != textCursor()) {
        setTextCursor(cursor);
        ensureCursorVisible();
    }
}

void PieceTextEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    finishLoading();
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && textCursor().hasSelection())
        selectWholeWords();
}

void PieceTextEdit::selectWholeWords()
{
    QTextCursor cursor = textCursor();
    int start = cursor.selectionStart(), end = cursor.selectionEnd();
    QTextCursor word(document());
    // The word goes on past each join it is cut by.
    for (QTextBlock join = joinedAt(document(), end); join.isValid() && join.position() > end && cutsWord(join);
         join = joinedAt(document(), end)) {
        word.setPosition(join.position());
        word.select(QTextCursor::WordUnderCursor);
        if (word.selectionEnd() == join.position())
            break;
        end = word.selectionEnd();
    }
    for (QTextBlock join = joinedAt(document(), start); join.isValid() && join.position() == start && cutsWord(join);
         join = joinedAt(document(), start)) {
        word.setPosition(join.position() - 1);
        word.select(QTextCursor::WordUnderCursor);
        if (word.selectionStart() == join.position() - 1)
            break;
        start = word.selectionStart();
    }
    if (start == cursor.selectionStart() && end == cursor.selectionEnd())
        return;
    const bool forward = cursor.position() >= cursor.anchor();
    cursor.setPosition(forward ? start : end);
    cursor.setPosition(forward ? end : start, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void PieceTextEdit::inputMethodEvent(QInputMethodEvent *event)
{
    finishLoading();
    QPlainTextEdit::inputMethodEvent(event);
}

void PieceTextEdit::dropEvent(QDropEvent *event)
{
    finishLoading();
    QPlainTextEdit::dropEvent(event);
}

bool PieceTextEdit::event(QEvent *event)
{
    if (event->type() == LoadTurnEvent::type()) {
        loadTurn(static_cast<LoadTurnEvent *>(event)->due);
        return true;
    }
    return QPlainTextEdit::event(event);
}

bool PieceTextEdit::viewportEvent(QEvent *event)
{
    const bool handled = QPlainTextEdit::viewportEvent(event);
    if (event->type() == QEvent::Paint && !loading_.atEnd())
        postLoadTurn();
    return handled;
}

void PieceTextEdit::mousePressEvent(QMouseEvent *event)
{
    click_.press(event);
    QPlainTextEdit::mousePressEvent(event);
}

void PieceTextEdit::mouseReleaseEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    if (click_.release(event, viewport()->rect()))
        emit clicked();
}
