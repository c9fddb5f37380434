#pragma once

#include "click_detector.h"
#include "paragraph_pieces.h"

#include <QPlainTextEdit>
#include <QTextCursor>

class QDropEvent;
class QInputMethodEvent;
class QKeyEvent;
class QMimeData;
class QMouseEvent;
class QTextBlock;

// The editor inside MultiLineTextBox (text_boxes.h), which alone may reach
// it. Qt's editor keeps paragraphs, not line breaks: the text goes in with
// any break (CR LF, LF or CR) and always comes back with CR LF between lines.
// A U+2028 line separator in the text stays itself; Enter and Shift+Enter
// both end a paragraph. A very long paragraph is held as pieces joined by
// marked breaks (paragraph_pieces.h) that read back, copy, delete and move
// the cursor as nothing. A large text goes in stepwise: its first screenful
// at once, the rest in short steps from the event loop, so the window takes
// input meanwhile. Whatever reads or edits the text finishes the loading first.
class PieceTextEdit final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit PieceTextEdit(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    void replaceText(const QString &text);
    bool loaded() const;
    void finishLoading() const;

    // The text of a selection as it is copied: joins as nothing, paragraph
    // ends as LF.
    QString plainText(const QTextCursor &selection) const;
    // Positions in the text without joins (the box's text with LF line
    // ends) and in the document; a position at a join counts once.
    int indexOf(int position) const;
    int positionOf(int index) const;

    // Whether the break before this paragraph is a join of pieces.
    static bool continuesPrevious(const QTextBlock &block);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    // Appends the next part of the text still to load; false once all is in.
    bool loadStep(qsizetype atLeast);
    void postLoadTurn();
    // A turn of the loading once `due`; else it goes round the event loop again.
    void loadTurn(bool due);
    // Puts a text in for the cursor's selection, its long paragraphs in pieces.
    void insertPieces(QTextCursor &cursor, const QString &text);
    // After a key moved the cursor from `from`: moves on while it stands on
    // the other side of the same join, or inside a word cut by a join.
    void moveOverJoins(int from, QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode, bool byWord);
    // Widens a selection whose ends fall inside words cut by joins to the whole words.
    void selectWholeWords();

    ClickDetector click_;
    // The rest of a text set stepwise, cut into pieces as it goes in, a
    // turn of appends at a time.
    ParagraphPieceCutter loading_;
    bool loadTurnPosted_ = false; // a turn is on its way
};

// Gives what the heap keeps unused back to the system, once a large text was let go.
void giveBackFreedMemory();
