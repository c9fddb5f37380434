#include "placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

constexpr int kGap = 8;

// The position that keeps a span of `size` from `wanted` inside [low, high).
int keptWithin(int wanted, int size, int low, int high)
{
    return std::clamp(wanted, low, std::max(low, high - size));
}

} // namespace

Placement placementBeside(QSize window, const QRect &anchor, const QRect &screen)
{
    const int screenEnd = screen.right() + 1;
    const int y = keptWithin(anchor.top(), window.height(), screen.top(), screen.bottom() + 1);
    const int x = keptWithin(anchor.left(), window.width(), screen.left(), screenEnd);
    const QPoint right(anchor.right() + 1 + kGap, y);
    const QPoint left(anchor.left() - kGap - window.width(), y);
    const QPoint below(x, anchor.bottom() + 1 + kGap);
    const QPoint above(x, anchor.top() - kGap - window.height());
    for (const QPoint &place : {right, left, below, above}) {
        if (screen.contains(QRect(place, window)))
            return {place, anchor.topLeft()};
    }

    // The two side by side: the window on the side with more room, the
    // anchor moved over just enough.
    if (anchor.width() + kGap + window.width() <= screen.width()) {
        const bool roomOnTheRight = screenEnd - (anchor.right() + 1) >= anchor.left() - screen.left();
        if (roomOnTheRight)
            return {QPoint(screenEnd - window.width(), y),
                    QPoint(screenEnd - window.width() - kGap - anchor.width(), anchor.top())};
        return {QPoint(screen.left(), y), QPoint(screen.left() + window.width() + kGap, anchor.top())};
    }

    const int sideX = right.x() + window.width() <= screenEnd ? right.x() : left.x();
    return {QPoint(keptWithin(sideX, window.width(), screen.left(), screenEnd), y), anchor.topLeft()};
}

QSize sizeWithin(QSize wanted, QSize frameExtra, const QRect &screen, QSize minimum)
{
    const QSize room = screen.size() - frameExtra;
    return wanted.boundedTo(room).expandedTo(minimum);
}

namespace {

// Before its first show a window has no frame yet; the anchor's tells how
// much the window manager adds.
QSize frameExtraOf(QWidget &anchor)
{
    return anchor.frameGeometry().size() - anchor.size();
}

} // namespace

void fitScreenOf(QWidget &window, QSize wanted, QWidget &anchor)
{
    window.resize(sizeWithin(wanted, frameExtraOf(anchor), anchor.screen()->availableGeometry(),
                             window.minimumSizeHint().expandedTo(window.minimumSize())));
}

void placeBeside(QWidget &window, QWidget &anchor)
{
    const QRect anchorFrame = anchor.frameGeometry();
    const QSize frameExtra = frameExtraOf(anchor);
    const Placement place =
        placementBeside(window.size() + frameExtra, anchorFrame, anchor.screen()->availableGeometry());
    if (place.anchor != anchorFrame.topLeft())
        anchor.move(place.anchor);
    window.move(place.window);
}
