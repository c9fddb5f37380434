#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where a window goes beside an anchor window, both as frames on the
// screen's available area, and where the anchor goes (moved only to make
// room).
struct Placement {
    QPoint window;
    QPoint anchor;
};

// To the right of the anchor, else its left, else below, else above: the
// first place wholly on the screen that covers no part of the anchor. Where
// none is, but the screen is wide enough for the two side by side, the
// anchor moves over just enough. Else right or left, kept on the screen.
Placement placementBeside(QSize window, const QRect &anchor, const QRect &screen);

// A window's size, `wanted` at most, that with its frame fits the screen's
// available area (and is never below the window's own minimum).
QSize sizeWithin(QSize wanted, QSize frameExtra, const QRect &screen, QSize minimum = {});

// Sizes a window about to be shown on the anchor's screen to fit it, as above.
void fitScreenOf(QWidget &window, QSize wanted, QWidget &anchor);

// Moves a window that is about to be shown beside the anchor window, as above.
void placeBeside(QWidget &window, QWidget &anchor);
