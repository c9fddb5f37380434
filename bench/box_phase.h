#pragma once

#include "figures.h"

class Form1;
class PaintWatch;

// A key typed into the main window's XML box until the box is painted again:
// the box holding 1 KB, then 10 MB, in one line.
KeyFigures measureKeys(PaintWatch &watch, Form1 &form, bool quick);

// Select all and copy of 10 MB in one line: the box, and beside it a stock
// QPlainTextEdit holding the same text.
CopyFigures compareCopies(bool quick);

// The XML box read back with CR LF, holding 50 MB in lines, beside one copy
// of the same characters.
ReadBackFigures measureReadBack(bool quick);
