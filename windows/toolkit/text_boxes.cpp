#include "text_boxes.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <limits>

namespace {

// A paragraph this long (in characters) keeps its layout between drawings.
constexpr qsizetype kLongParagraph = 100'000;

// Sends a hidden widget the resize event it still owes itself, as showing it would.
void sendPendingResize(QWidget *widget)
{
    if (!widget->testAttribute(Qt::WA_PendingResizeEvent))
        return;
    widget->setAttribute(Qt::WA_PendingResizeEvent, false);
    QResizeEvent resize(widget->size(), QSize());
    QCoreApplication::sendEvent(widget, &resize);
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
    // Raw text keeps no-break spaces as they are; paragraph ends (Enter) and
    // line separators (Shift+Enter) both read back as CR LF.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
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
    setPlainText(text);
    // A paragraph's layout throws its working data away after each drawing,
    // and drawing the cursor then analyses the whole paragraph again (scripts,
    // line breaks, room for its glyphs): for 10 MB in one line a third of a
    // second, at every blink. A long paragraph keeps that data; the memory is
    // taken again at each drawing anyway.
    if (text.size() > kLongParagraph) {
        for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next()) {
            if (block.length() > kLongParagraph)
                block.layout()->setCacheEnabled(true);
        }
    }
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
