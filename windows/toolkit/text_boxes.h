#pragma once

#include "click_detector.h"

#include <QLineEdit>
#include <QWidget>

class QMenu;
class PieceTextEdit;

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

// A multi-line text box: wrapping at its width, no scroll bars, Tab moving
// the focus on. It reads back with CR LF between lines, whatever breaks the
// text came with; a large text is taken at once and loaded stepwise while the
// window takes input. It holds its editor (piece_text_edit.h), which keeps a
// very long line in pieces, and offers only what sees the whole text: every
// entry point here finishes the loading first and never shows a piece.
class MultiLineTextBox : public QWidget {
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget *parent = nullptr);
    ~MultiLineTextBox() override;

    QString text() const;
    void setText(const QString &text);
    // The text replaced by another as one edit, which Ctrl+Z takes back.
    void replaceText(const QString &text);
    void clear() { setText(QString()); }
    // Whether the last text set is all in the box.
    bool loaded() const;

    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    // Scroll bars where the text needs them, instead of none.
    void showScrollBarsAsNeeded();
    // Lines wrapped at the box's width (as made), or never.
    void setWrapsLines(bool wraps);

    // The editing menu for a click at `at` (in the box), its actions acting
    // on the whole text; the caller owns it.
    QMenu *createStandardContextMenu(const QPoint &at);

public slots:
    void selectAll();
    void copy();
    void paste();
    void undo();

signals:
    void clicked();
    void textChanged();

protected:
    // A right click or the menu key on the editor comes here: the box's
    // menu, or the caller's through the box's context menu policy.
    void contextMenuEvent(QContextMenuEvent *event) override;
    // The editor fills the box.
    void resizeEvent(QResizeEvent *event) override;

private:
    PieceTextEdit *const editor_;
};
