#include "text_boxes.h"

#include <QMouseEvent>
#include <QTextDocument>

#include <limits>

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
    setPlainText(text);
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
