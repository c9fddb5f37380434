#include "piece_text_accessible.h"

#include "piece_text_edit.h"

#include <QAccessibleWidget>
#include <QTextBlock>
#include <QTextDocument>

namespace {

class PieceTextAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PieceTextAccessible(PieceTextEdit *edit)
        : QAccessibleWidget(edit, QAccessible::EditableText)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = edit()->isReadOnly();
        state.editable = !edit()->isReadOnly();
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    // The box around the editor carries the name its window gave it.
    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return text(0, characterCount());
        QString text = QAccessibleWidget::text(type);
        if (text.isEmpty() && (type == QAccessible::Name || type == QAccessible::Description)
            && edit()->parentWidget())
            text = type == QAccessible::Name ? edit()->parentWidget()->accessibleName()
                                             : edit()->parentWidget()->accessibleDescription();
        return text;
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        const QTextCursor cursor = edit()->textCursor();
        *startOffset = *endOffset = -1;
        if (selectionIndex != 0 || !cursor.hasSelection())
            return;
        *startOffset = edit()->indexOf(cursor.selectionStart());
        *endOffset = edit()->indexOf(cursor.selectionEnd());
    }
    int selectionCount() const override { return edit()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex != 0)
            return;
        QTextCursor cursor = edit()->textCursor();
        cursor.clearSelection();
        edit()->setTextCursor(cursor);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        QTextCursor cursor = edit()->textCursor();
        cursor.setPosition(edit()->positionOf(startOffset));
        cursor.setPosition(edit()->positionOf(endOffset), QTextCursor::KeepAnchor);
        edit()->setTextCursor(cursor);
    }

    int cursorPosition() const override { return edit()->indexOf(edit()->textCursor().position()); }
    void setCursorPosition(int position) override
    {
        QTextCursor cursor = edit()->textCursor();
        cursor.setPosition(edit()->positionOf(position));
        edit()->setTextCursor(cursor);
    }

    QString text(int startOffset, int endOffset) const override
    {
        edit()->finishLoading();
        QTextCursor cursor(edit()->document());
        cursor.setPosition(edit()->positionOf(startOffset));
        cursor.setPosition(edit()->positionOf(endOffset), QTextCursor::KeepAnchor);
        return edit()->plainText(cursor);
    }
    int characterCount() const override
    {
        edit()->finishLoading();
        const QTextDocument *document = edit()->document();
        return edit()->indexOf(document->characterCount() - 1);
    }

    QRect characterRect(int offset) const override
    {
        QTextCursor cursor(edit()->document());
        cursor.setPosition(edit()->positionOf(offset));
        QRect rect = edit()->cursorRect(cursor);
        const QString character = edit()->document()->characterAt(cursor.position());
        rect.setWidth(edit()->fontMetrics().horizontalAdvance(character));
        rect.moveTopLeft(edit()->viewport()->mapToGlobal(rect.topLeft()));
        return rect;
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint inViewport = edit()->viewport()->mapFromGlobal(point);
        return edit()->indexOf(edit()->cursorForPosition(inViewport).position());
    }

    // Moves the caret there, which brings it into view.
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        QTextCursor cursor = edit()->textCursor();
        cursor.setPosition(edit()->positionOf(endIndex));
        edit()->setTextCursor(cursor);
        edit()->ensureCursorVisible();
        cursor.setPosition(edit()->positionOf(startIndex));
        edit()->setTextCursor(cursor);
        edit()->ensureCursorVisible();
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
    PieceTextEdit *edit() const { return static_cast<PieceTextEdit *>(widget()); }
};

QAccessibleInterface *pieceTextFactory(const QString &className, QObject *object)
{
    if (className == QLatin1StringView(PieceTextEdit::staticMetaObject.className()))
        return new PieceTextAccessible(static_cast<PieceTextEdit *>(object));
    return nullptr;
}

} // namespace

void installPieceTextAccessible()
{
    static const bool installed = (QAccessible::installFactory(pieceTextFactory), true);
    Q_UNUSED(installed);
}
