#include "platform/samples.h"
#include "toolkit/paragraph_pieces.h"
#include "toolkit/piece_text_edit.h"
#include "toolkit/text_boxes.h"

#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QInputMethodEvent>
#include <QMimeData>

#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace Qt::Literals::StringLiterals;

class TestTextBoxes : public QObject {
    Q_OBJECT
private slots:
    void multiLineReadsBackCrLf_data();
    void multiLineReadsBackCrLf();
    void typedBreaksReadBackCrLf();
    void clickComesFromTheMouseOnly();
    void singleLineHoldsLongText();
    void longLineSetWhileHiddenWrapsAtItsWidth();
    void largeTextReadsBackExactly_data();
    void largeTextReadsBackExactly();
    void editsAcrossPiecesKeepTheText_data();
    void editsAcrossPiecesKeepTheText();
    void lineSeparatorStaysItself();
    void copyHasNoBreak_data();
    void copyHasNoBreak();
    void cursorCrossesJoinsAsText_data();
    void cursorCrossesJoinsAsText();
    void inputMethodCommitsIntoLargeText();
    void piecesCutPartwiseAsWhole_data();
    void piecesCutPartwiseAsWhole();
    void largeTextLoadsStepwise_data();
    void largeTextLoadsStepwise();
    void editWhileLoadingTakesTheWholeText_data();
    void editWhileLoadingTakesTheWholeText();
    void setTextWhileLoadingReplaces();
    void freedMemoryIsGivenBack();
};

namespace {

// 40,000 characters in one paragraph: long enough to be held in pieces.
QString longWords() { return u"<item>word and word</item> "_s.repeated(1500); }
QString longHex() { return u"0123456789abcdef"_s.repeated(2500); }

// About 330,000 characters: set stepwise.
QString manyLines(QStringView end)
{
    QString text;
    for (int i = 0; i < 12'000; ++i) {
        text += u"line %1 of a large answer"_s.arg(i);
        text += end;
    }
    return text;
}
QString longestHex() { return u"0123456789abcdef"_s.repeated(20'000); }

double residentMb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

// The editor the box holds: what the user's keys and mouse reach.
PieceTextEdit *editorOf(const MultiLineTextBox &box)
{
    return box.findChild<PieceTextEdit *>();
}

QTextDocument *documentOf(const MultiLineTextBox &box)
{
    return editorOf(box)->document();
}

void place(MultiLineTextBox &box, int position)
{
    QTextCursor cursor = editorOf(box)->textCursor();
    cursor.setPosition(position);
    editorOf(box)->setTextCursor(cursor);
}

// The document position of `index` in the box's text, joins being no character.
int positionOf(const MultiLineTextBox &box, qsizetype index)
{
    int position = 0;
    for (QTextBlock block = documentOf(box)->firstBlock(); block.isValid(); block = block.next()) {
        if (index <= block.length() - 1)
            return block.position() + int(index);
        index -= block.length() - 1 + (PieceTextEdit::continuesPrevious(block.next()) ? 0 : 2);
        position = block.position() + block.length();
    }
    return position;
}

QAccessibleTextInterface *accessibleText(const MultiLineTextBox &box)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(editorOf(box));
    return accessible ? accessible->textInterface() : nullptr;
}

} // namespace

void TestTextBoxes::multiLineReadsBackCrLf_data()
{
    QTest::addColumn<QString>("put");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("picture sample") << BuildPictureSample() << BuildPictureSample();
    QTest::newRow("text sample") << BuildTextSample() << BuildTextSample();
    QTest::newRow("location sample") << BuildLocationSample() << BuildLocationSample();
    QTest::newRow("trailing break") << u"请载入本文\r\n"_s << u"请载入本文\r\n"_s;
    QTest::newRow("LF, CR and CR LF mixed") << u"a\nb\rc\r\nd\n"_s << u"a\r\nb\r\nc\r\nd\r\n"_s;
    QTest::newRow("empty lines kept") << u"\r\n\r\nx\r\n\r\n"_s << u"\r\n\r\nx\r\n\r\n"_s;
    QTest::newRow("no-break space kept") << u"a\u00a0b"_s << u"a\u00a0b"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestTextBoxes::multiLineReadsBackCrLf()
{
    QFETCH(QString, put);
    QFETCH(QString, readBack);
    MultiLineTextBox box;
    box.setText(put);
    QCOMPARE(box.text(), readBack);
}

void TestTextBoxes::typedBreaksReadBackCrLf()
{
    MultiLineTextBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setFocus();
    QTest::keyClicks(editorOf(box), "ab");
    QTest::keyClick(editorOf(box), Qt::Key_Return);
    QTest::keyClicks(editorOf(box), "cd");
    QTest::keyClick(editorOf(box), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(editorOf(box), "ef");
    QCOMPARE(box.text(), u"ab\r\ncd\r\nef"_s);
}

void TestTextBoxes::clickComesFromTheMouseOnly()
{
    QWidget window;
    auto *first = new SingleLineTextBox(&window);
    auto *single = new SingleLineTextBox(&window);
    auto *multi = new MultiLineTextBox(&window);
    single->move(0, 40);
    multi->setGeometry(0, 80, 200, 100);
    QSignalSpy singleClicks(single, &SingleLineTextBox::clicked);
    QSignalSpy multiClicks(multi, &MultiLineTextBox::clicked);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    first->setFocus();
    QTest::keyClick(first, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), single);
    QTest::keyClick(single, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), editorOf(*multi));
    QCOMPARE(singleClicks.count(), 0);
    QCOMPARE(multiClicks.count(), 0);

    QTest::mouseClick(single, Qt::LeftButton);
    QTest::mouseClick(editorOf(*multi)->viewport(), Qt::LeftButton);
    QCOMPARE(singleClicks.count(), 1);
    QCOMPARE(multiClicks.count(), 1);

    // A right click, or a press dragged out of the box before release, is no click.
    QTest::mouseClick(single, Qt::RightButton);
    QTest::mousePress(single, Qt::LeftButton);
    QTest::mouseRelease(single, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(singleClicks.count(), 1);
}

void TestTextBoxes::singleLineHoldsLongText()
{
    SingleLineTextBox box;
    const QString url = u"http://127.0.0.1/"_s + QString(65536, u'a');
    box.setText(url);
    QCOMPARE(box.text(), url);
}

void TestTextBoxes::longLineSetWhileHiddenWrapsAtItsWidth()
{
    // The result window fills its box before showing it: the text must be
    // laid out at the box's width, not as one endless line.
    QWidget window;
    auto *box = new MultiLineTextBox(&window);
    box->setGeometry(0, 0, 300, 200);
    const QString line = QString(u"<Content>word </Content>"_s).repeated(20000);
    box->setText(line);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QTextLayout *layout = documentOf(*box)->firstBlock().layout();
    QVERIFY(layout->lineCount() > 1);
    QVERIFY(layout->lineAt(0).naturalTextWidth() <= editorOf(*box)->viewport()->width());
    QCOMPARE(box->text(), line);

    // Given another text, it still holds exactly that.
    box->setText(u"short\r\nanswer"_s);
    QCOMPARE(box->text(), u"short\r\nanswer"_s);
}

void TestTextBoxes::largeTextReadsBackExactly_data()
{
    QTest::addColumn<QString>("put");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("one line of words") << longWords() << longWords();
    QTest::newRow("one line, no break opportunity") << longHex() << longHex();
    QTest::newRow("lines around a long one, LF") << u"a\n"_s + longHex() + u"\nb"_s << u"a\r\n"_s + longHex() + u"\r\nb"_s;
    QTest::newRow("two long lines, CR LF") << longWords() + u"\r\n"_s + longHex() + u"\r\n"_s
                                            << longWords() + u"\r\n"_s + longHex() + u"\r\n"_s;
    QTest::newRow("surrogate pairs and marks") << u"\U0001F600e\u0301"_s.repeated(9000) << u"\U0001F600e\u0301"_s.repeated(9000);
    QTest::newRow("line separators inside") << (longWords() + u"\u2028"_s).repeated(2) << (longWords() + u"\u2028"_s).repeated(2);
}

void TestTextBoxes::largeTextReadsBackExactly()
{
    QFETCH(QString, put);
    QFETCH(QString, readBack);
    MultiLineTextBox set;
    set.setText(put);
    QCOMPARE(set.text(), readBack);
    // Held in pieces, so no paragraph is laid out whole.
    for (QTextBlock block = documentOf(set)->firstBlock(); block.isValid(); block = block.next())
        QVERIFY(block.length() <= 2 * kParagraphPiece);
    // A screen reader reads it as the text is, with LF between lines.
    const QString lines = QString(readBack).replace(u"\r\n"_s, u"\n"_s);
    QAccessibleTextInterface *accessible = accessibleText(set);
    QVERIFY(accessible);
    QCOMPARE(accessible->characterCount(), lines.size());
    QCOMPARE(accessible->text(0, accessible->characterCount()), lines);
    QCOMPARE(accessible->text(2000, 3000), lines.mid(2000, 1000));
    QCOMPARE(QAccessible::queryAccessibleInterface(editorOf(set))->text(QAccessible::Value), lines);
    // Named as its window names the box.
    set.setAccessibleName(u"返回结果"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(editorOf(set))->text(QAccessible::Name), u"返回结果"_s);

    // Pasted, between two characters already there.
    MultiLineTextBox pasted;
    pasted.setText(u"[]"_s);
    place(pasted, 1);
    QApplication::clipboard()->setText(put);
    pasted.paste();
    QCOMPARE(pasted.text(), u"["_s + readBack + u"]"_s);
    pasted.undo();
    QCOMPARE(pasted.text(), u"[]"_s);
}

void TestTextBoxes::editsAcrossPiecesKeepTheText_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("selected"); // characters selected forward first
    QTest::addColumn<int>("offset");   // where, from the first join, in the box's text
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("removedBefore"); // of the text at the join
    QTest::addColumn<int>("removedAfter");
    QTest::newRow("Enter just after a join") << int(Qt::Key_Return) << 0 << 0 << 0 << u"\r\n"_s << 0 << 0;
    QTest::newRow("Enter just before a join") << int(Qt::Key_Return) << 0 << 0 << -1 << u"\r\n"_s << 0 << 0;
    QTest::newRow("Shift+Enter inside a piece") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 0 << 5 << u"\r\n"_s << 0 << 0;
    QTest::newRow("Backspace just after a join") << int(Qt::Key_Backspace) << 0 << 0 << 0 << QString() << 1 << 0;
    QTest::newRow("Delete just before a join") << int(Qt::Key_Delete) << 0 << 0 << -1 << QString() << 0 << 1;
    QTest::newRow("selection across a join deleted") << int(Qt::Key_Delete) << 0 << 6 << -3 << QString() << 0 << 0;
    QTest::newRow("selection across a join typed over") << int(Qt::Key_X) << 0 << 6 << -3 << u"x"_s << 0 << 0;
    QTest::newRow("letter just after a join") << int(Qt::Key_X) << 0 << 0 << 0 << u"x"_s << 0 << 0;
}

void TestTextBoxes::editsAcrossPiecesKeepTheText()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, selected);
    QFETCH(int, offset);
    QFETCH(QString, typed);
    QFETCH(int, removedBefore);
    QFETCH(int, removedAfter);
    const QString original = u"first\r\n"_s + longHex() + u"\r\nlast"_s;
    MultiLineTextBox box;
    box.resize(300, 200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setText(original);
    QTextBlock joined = documentOf(box)->firstBlock();
    while (joined.isValid() && !PieceTextEdit::continuesPrevious(joined))
        joined = joined.next();
    QVERIFY(joined.isValid());
    // The join's place in the box's text: after "first\r\n" and the first piece.
    const qsizetype join = 7 + joined.previous().length() - 1;

    const qsizetype at = join + offset;
    place(box, positionOf(box, at));
    if (selected) {
        QTextCursor cursor = editorOf(box)->textCursor();
        cursor.setPosition(positionOf(box, at + selected), QTextCursor::KeepAnchor);
        editorOf(box)->setTextCursor(cursor);
    }
    QTest::keyClick(editorOf(box), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const qsizetype cut = at - removedBefore;
    const QString expected = original.left(cut) + typed + original.mid(at + selected + removedAfter);
    QCOMPARE(box.text(), expected);
    box.undo();
    QCOMPARE(box.text(), original);
}

void TestTextBoxes::lineSeparatorStaysItself()
{
    MultiLineTextBox box;
    box.setText(u"a\u2028b"_s);
    QCOMPARE(box.text(), u"a\u2028b"_s);
    QApplication::clipboard()->setText(u"c\u2028d"_s);
    box.paste();
    QCOMPARE(box.text(), u"c\u2028da\u2028b"_s);
}

void TestTextBoxes::copyHasNoBreak_data()
{
    QTest::addColumn<QString>("put");
    QTest::addColumn<bool>("loading");
    QTest::newRow("a long line after a short one") << u"x\r\n"_s + longHex() << false;
    QTest::newRow("10 MB in one line, loading") << u"0123456789abcdef"_s.repeated(655'360) << true;
    QTest::newRow("10 MB of words in one line, loading") << u"<a>word</a> "_s.repeated(873'814) << true;
}

// All selected and copied, as the keys or a caller do.
void TestTextBoxes::copyHasNoBreak()
{
    QFETCH(QString, put);
    QFETCH(bool, loading);
    MultiLineTextBox box;
    box.setText(put);
    QCOMPARE(box.loaded(), !loading);
    box.selectAll();
    box.copy();
    const QMimeData *copied = QApplication::clipboard()->mimeData();
    QCOMPARE(copied->formats(), QStringList{u"text/plain"_s});
    QCOMPARE(copied->text(), QString(put).replace(u"\r\n"_s, u"\n"_s));
}

void TestTextBoxes::cursorCrossesJoinsAsText_data()
{
    // Offsets from the first join, in the line; kEnd: the line's end.
    constexpr int kEnd = 1'000'000;
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key"); // 0: a double click on the character before `from`
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("selectedFrom"); // -1: nothing selected
    const int ctrl = int(Qt::ControlModifier), shift = int(Qt::ShiftModifier);
    QTest::newRow("Right, one character a press") << longHex() << -1 << int(Qt::Key_Right) << 0 << 3 << 2 << -1;
    QTest::newRow("Left, one character a press") << longHex() << 2 << int(Qt::Key_Left) << 0 << 3 << -1 << -1;
    QTest::newRow("Right among words") << longWords() << -2 << int(Qt::Key_Right) << 0 << 4 << 2 << -1;
    QTest::newRow("Shift+Right selects the character beyond") << longHex() << 0 << int(Qt::Key_Right) << shift << 1 << 1 << 0;
    QTest::newRow("Shift+Left selects across") << longHex() << 1 << int(Qt::Key_Left) << shift << 2 << -1 << 1;
    QTest::newRow("Ctrl+Right to the word's end") << longHex() << -5 << int(Qt::Key_Right) << ctrl << 1 << kEnd << -1;
    QTest::newRow("Ctrl+Left to the word's start") << longHex() << 5 << int(Qt::Key_Left) << ctrl << 1 << -kEnd << -1;
    QTest::newRow("Ctrl+Shift+Right selects the word's rest") << longHex() << -5 << int(Qt::Key_Right) << (ctrl | shift) << 1 << kEnd << -5;
    QTest::newRow("double click selects the whole word") << longHex() << 0 << 0 << 0 << 1 << kEnd << -kEnd;
}

void TestTextBoxes::cursorCrossesJoinsAsText()
{
    QFETCH(QString, line);
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, presses);
    QFETCH(int, cursor);
    QFETCH(int, selectedFrom);
    MultiLineTextBox box;
    box.resize(300, 200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setText(line + u"\r\nlast"_s);
    PieceTextEdit *editor = editorOf(box);
    const QTextBlock joined = documentOf(box)->firstBlock().next();
    QVERIFY(PieceTextEdit::continuesPrevious(joined));
    const int join = joined.position() - 1; // in the line: the first piece's length
    const auto index = [&](int offset) { return offset >= 1'000'000 ? int(line.size()) : offset <= -1'000'000 ? 0 : join + offset; };

    place(box, positionOf(box, index(from)));
    if (key) {
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(editor, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    } else {
        QTextCursor before(documentOf(box));
        before.setPosition(positionOf(box, index(from) - 1));
        QTest::mouseDClick(editor->viewport(), Qt::LeftButton, {}, editor->cursorRect(before).center() + QPoint(2, 0));
    }
    QAccessibleTextInterface *accessible = accessibleText(box);
    QCOMPARE(accessible->cursorPosition(), index(cursor));
    int start = -1, end = -1;
    accessible->selection(0, &start, &end);
    QCOMPARE(start, selectedFrom == -1 ? -1 : std::min(index(selectedFrom), index(cursor)));
    if (selectedFrom == -1)
        return;
    QCOMPARE(end, std::max(index(selectedFrom), index(cursor)));
    box.copy();
    QCOMPARE(QApplication::clipboard()->text(), line.mid(start, end - start));
}

void TestTextBoxes::inputMethodCommitsIntoLargeText()
{
    const QString original = longWords();
    MultiLineTextBox box;
    box.resize(300, 200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setText(original);
    const qsizetype at = original.size() / 2;
    place(box, positionOf(box, at));
    QInputMethodEvent preedit(u"zhong"_s, {});
    QApplication::sendEvent(editorOf(box), &preedit);
    QCOMPARE(box.text(), original); // composing text is not the box's text yet
    QInputMethodEvent commit;
    commit.setCommitString(u"中文"_s);
    QApplication::sendEvent(editorOf(box), &commit);
    QCOMPARE(box.text(), original.left(at) + u"中文"_s + original.mid(at));
}

void TestTextBoxes::piecesCutPartwiseAsWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("lines, CR LF") << manyLines(u"\r\n");
    QTest::newRow("one line of words") << longWords();
    QTest::newRow("long lines among short ones, CR") << u"a\r"_s + longHex() + u"\r\rb\r"_s + longWords() + u"\r"_s;
    QTest::newRow("surrogate pairs and marks") << u"\U0001F600e\u0301"_s.repeated(9000);
    QTest::newRow("just over a long paragraph") << u"x"_s.repeated(kLongParagraph + 1) + u"\u2029"_s;
}

// The text is loaded in parts cut one after another: whatever their size,
// they join into the pieces of the whole text cut at once.
void TestTextBoxes::piecesCutPartwiseAsWhole()
{
    QFETCH(QString, text);
    const ParagraphPieces whole = cutLongParagraphs(text);
    for (const qsizetype atLeast : {1, 700, 5000, 70'000}) {
        ParagraphPieceCutter cutter(text);
        ParagraphPieces joined;
        qsizetype paragraphs = 0; // before the part
        while (!cutter.atEnd()) {
            const ParagraphPieces part = cutter.next(atLeast);
            QVERIFY(!part.text.isEmpty());
            QVERIFY(!part.joins.contains(0));
            for (const qsizetype join : part.joins)
                joined.joins.append(paragraphs + join);
            joined.text += part.text;
            // Each part ends after a paragraph's end (CR LF one) or at the text's end.
            paragraphs += part.text.count(u'\n') + part.text.count(u'\r') - part.text.count(u"\r\n")
                        + part.text.count(QChar::ParagraphSeparator);
        }
        QCOMPARE(joined.text, whole.text);
        QCOMPARE(joined.joins, whole.joins);
    }
}

void TestTextBoxes::largeTextLoadsStepwise_data()
{
    QTest::addColumn<QString>("put");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("lines, LF") << manyLines(u"\n") << manyLines(u"\r\n");
    QTest::newRow("lines, CR LF") << manyLines(u"\r\n") << manyLines(u"\r\n");
    QTest::newRow("lines, CR") << manyLines(u"\r") << manyLines(u"\r\n");
    QTest::newRow("one line, no break opportunity") << longestHex() << longestHex();
    QTest::newRow("long lines among short ones") << (manyLines(u"\n") + longestHex() + u"\n"_s).repeated(2)
                                                 << (manyLines(u"\r\n") + longestHex() + u"\r\n"_s).repeated(2);
}

void TestTextBoxes::largeTextLoadsStepwise()
{
    QFETCH(QString, put);
    QFETCH(QString, readBack);
    // Read at once: the rest goes in then.
    MultiLineTextBox read;
    read.setText(put);
    QVERIFY(!read.loaded());
    QCOMPARE(read.text(), readBack);
    QVERIFY(read.loaded());

    // Left to the event loop.
    MultiLineTextBox left;
    left.resize(300, 200);
    left.show();
    left.setText(put);
    QVERIFY(!left.loaded());
    QTRY_VERIFY_WITH_TIMEOUT(left.loaded(), 60'000);
    QCOMPARE(left.text(), readBack);
    QCOMPARE(editorOf(left)->textCursor().position(), 0);
    QVERIFY(!documentOf(left)->isUndoAvailable());
    QVERIFY(!documentOf(left)->isModified());
    for (QTextBlock block = documentOf(left)->firstBlock(); block.isValid(); block = block.next())
        QVERIFY(block.length() <= 2 * kParagraphPiece);
}

void TestTextBoxes::editWhileLoadingTakesTheWholeText_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("expected"); // around the text: before|after
    QTest::newRow("typed at the start") << u"type"_s << u"x|"_s;
    QTest::newRow("typed at the end") << u"end"_s << u"|x"_s;
    QTest::newRow("pasted") << u"paste"_s << u"x|"_s;
    QTest::newRow("committed by an input method") << u"input method"_s << u"x|"_s;
    QTest::newRow("all selected and cut") << u"cut"_s << QString();
}

void TestTextBoxes::editWhileLoadingTakesTheWholeText()
{
    QFETCH(QString, how);
    QFETCH(QString, expected);
    const QString put = manyLines(u"\n") + longestHex();
    const QString whole = manyLines(u"\r\n") + longestHex();
    MultiLineTextBox box;
    box.resize(300, 200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setText(put);
    QVERIFY(!box.loaded());
    if (how == u"type") {
        QTest::keyClick(editorOf(box), Qt::Key_X);
    } else if (how == u"end") {
        QTest::keyClick(editorOf(box), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(editorOf(box), Qt::Key_X);
    } else if (how == u"paste") {
        QApplication::clipboard()->setText(u"x"_s);
        QTest::keyClick(editorOf(box), Qt::Key_V, Qt::ControlModifier);
    } else if (how == u"input method") {
        QInputMethodEvent commit;
        commit.setCommitString(u"x"_s);
        QApplication::sendEvent(editorOf(box), &commit);
    } else {
        QTest::keyClick(editorOf(box), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(editorOf(box), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString(whole).replace(u"\r\n"_s, u"\n"_s));
    }
    QVERIFY(box.loaded());
    const QString edited = expected.isEmpty() ? QString() : expected.section(u'|', 0, 0) + whole + expected.section(u'|', 1);
    QCOMPARE(box.text(), edited);
    box.undo();
    QCOMPARE(box.text(), whole);
    QVERIFY(!documentOf(box)->isUndoAvailable());
}

void TestTextBoxes::setTextWhileLoadingReplaces()
{
    const QString second = longestHex() + u"\n"_s + manyLines(u"\n");
    MultiLineTextBox box;
    box.setText(manyLines(u"\n"));
    QVERIFY(!box.loaded());
    box.setText(u"small"_s);
    QVERIFY(box.loaded());
    QCOMPARE(box.text(), u"small"_s);

    box.setText(manyLines(u"\r"));
    box.setText(second);
    {
        // Gone while loading: its loading stops with it.
        MultiLineTextBox gone;
        gone.setText(second);
    }
    QVERIFY(!box.loaded());
    // The rest goes in once the first screenful is painted.
    box.show();
    QTRY_VERIFY_WITH_TIMEOUT(box.loaded(), 60'000);
    QCOMPARE(box.text(), QString(second).replace(u"\n"_s, u"\r\n"_s));
}

void TestTextBoxes::freedMemoryIsGivenBack()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer's own allocator holds freed memory in quarantine");
#endif
    double held = 0;
    const auto holdLargeText = [&held] {
        const QString text = (QString(79, u'x') + u'\n').repeated(50'000); // 8 MB
        MultiLineTextBox box;
        box.setText(text);
        const bool whole = box.text().size() == text.size() + 50'000; // read back with CR LF
        held = residentMb();
        return whole;
    };
    // Once first, for what Qt keeps after its first large text.
    QVERIFY(holdLargeText());
    const double before = residentMb();
    QVERIFY(before > 0);
    QVERIFY(holdLargeText());
    QVERIFY2(held > before + 8, qPrintable(u"%1 MB held, %2 before"_s.arg(held).arg(before)));
    // Given back as the box goes, with nothing to wait for.
    QVERIFY2(residentMb() < before + 2, qPrintable(u"%1 MB, %2 before"_s.arg(residentMb()).arg(before)));
}

QTEST_MAIN(TestTextBoxes)
#include "test_text_boxes.moc"
