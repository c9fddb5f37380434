#pragma once

class QWidget;

// Moves a window that is about to be shown to the right of the anchor window,
// or to its left where the right has no room, and wholly onto the screen.
void placeBeside(QWidget &window, const QWidget &anchor);
