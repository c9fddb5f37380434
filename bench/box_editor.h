#pragma once

#include "toolkit/text_boxes.h"

#include <QPlainTextEdit>

// The editor a text box holds: what the bench watches being painted and
// laid out, and sends keys to.
inline QPlainTextEdit *editorIn(const MultiLineTextBox &box)
{
    return box.findChild<QPlainTextEdit *>();
}
