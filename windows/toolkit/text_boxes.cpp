#include "text_boxes.h"

#include "piece_text_edit.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTextDocument>

#include <limits>

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
    : QWidget(parent)
    , editor_(new PieceTextEdit(this))
{
    editor_->setGeometry(rect());
    // Focus, Tab and the keys go to the editor; the box stands in its place
    // in the window's tab order.
    setFocusPolicy(editor_->focusPolicy());
    setFocusProxy(editor_);
    // Its menu requests come to the box (contextMenuEvent).
    editor_->setContextMenuPolicy(Qt::NoContextMenu);
    connect(editor_, &PieceTextEdit::clicked, this, &MultiLineTextBox::clicked);
    connect(editor_, &PieceTextEdit::textChanged, this, &MultiLineTextBox::textChanged);
}

MultiLineTextBox::~MultiLineTextBox()
{
    const bool large = editor_->document()->characterCount() > 1'000'000 || !editor_->loaded();
    // The editor, its document and its loading go first; then what the heap
    // keeps of a large text goes back to the system.
    delete editor_;
    if (large)
        giveBackFreedMemory();
}

QString MultiLineTextBox::text() const
{
    return editor_->text();
}

void MultiLineTextBox::setText(const QString &text)
{
    // A box not shown yet has its size, its editor not yet: a text is laid
    // out once, at the width it is shown at.
    editor_->setGeometry(rect());
    editor_->setText(text);
}

void MultiLineTextBox::replaceText(const QString &text)
{
    editor_->replaceText(text);
}

void MultiLineTextBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    editor_->setGeometry(rect());
}

bool MultiLineTextBox::loaded() const
{
    return editor_->loaded();
}

bool MultiLineTextBox::isReadOnly() const
{
    return editor_->isReadOnly();
}

void MultiLineTextBox::setReadOnly(bool readOnly)
{
    editor_->setReadOnly(readOnly);
}

void MultiLineTextBox::showScrollBarsAsNeeded()
{
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void MultiLineTextBox::setWrapsLines(bool wraps)
{
    editor_->setLineWrapMode(wraps ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

QMenu *MultiLineTextBox::createStandardContextMenu(const QPoint &at)
{
    editor_->finishLoading();
    return editor_->createStandardContextMenu(editor_->viewport()->mapFrom(this, at));
}

void MultiLineTextBox::selectAll()
{
    editor_->finishLoading();
    editor_->selectAll();
}

void MultiLineTextBox::copy()
{
    editor_->copy();
}

void MultiLineTextBox::paste()
{
    editor_->paste();
}

void MultiLineTextBox::undo()
{
    editor_->finishLoading();
    editor_->undo();
}

void MultiLineTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
