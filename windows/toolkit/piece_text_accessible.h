#pragma once

// What an assistive tool reads of a PieceTextEdit: its text, offsets,
// selection and caret counted in the text without joins, so a long line is
// read as one. Installed once, by the first such editor.
void installPieceTextAccessible();
