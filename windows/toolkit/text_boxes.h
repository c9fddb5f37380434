#pragma once

#include <QLineEdit>
#include "paragraph_pieces.h"

#include <QPlainTextEdit>
#include <QPoint>

class QDropEvent;
class QInputMethodEvent;
class QKeyEvent;
class QMimeData;
class QMouseEvent;
class QTextBlock;

// A click is a press and a release of the left button, both inside the box.
// Focus arriving by keyboard is no click.
class ClickDetector {
public:
    void press(const QMouseEvent *event);
    bool release(const QMouseEvent *event, const QRect &inside);

private:
    bool pressed_ = false;
};

class SingleLineTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit SingleLineTextBox(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    ClickDetector click_;
};

// Qt's editor keeps paragraphs, not line breaks: the text goes in with any
// break (CR LF, LF or CR) and always comes back with CR LF between lines. A
// U+2028 line separator in the text stays itself; Enter and Shift+Enter both
// end a paragraph. A very long paragraph is held as pieces joined by marked
// breaks (paragraph_pieces.h) that read back, copy and delete as nothing.
// A large text goes in stepwise: its first screenful at once, the rest in
// short steps from the event loop, so the window takes input meanwhile.
// Whatever reads or edits the box finishes the loading first.
class MultiLineTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget *parent = nullptr);
    ~MultiLineTextBox() override;

    QString text() const;
    void setText(const QString &text);
    // Whether the last text set is all in the document.
    bool loaded() const;

    // Whether the break before this paragraph is a join of pieces.
    static bool continuesPrevious(const QTextBlock &block);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
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
    void finishLoading() const;
    void postLoadTurn();
    // A turn of the loading once `due`; else it goes round the event loop again.
    void loadTurn(bool due);

    ClickDetector click_;
    // The rest of a text set stepwise, cut into pieces as it goes in, a
    // turn of appends at a time.
    ParagraphPieceCutter loading_;
    bool loadTurnPosted_ = false; // a turn is on its way
};
