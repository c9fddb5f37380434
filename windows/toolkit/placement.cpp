#include "placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

void placeBeside(QWidget &window, const QWidget &anchor)
{
    constexpr int kGap = 8;
    const QRect anchorFrame = anchor.frameGeometry();
    // Before its first show the window has no frame yet; the anchor's tells
    // how much the window manager adds.
    const QSize frameExtra = anchorFrame.size() - anchor.size();
    const QSize size = window.size() + frameExtra;
    const QRect screen = anchor.screen()->availableGeometry();

    int x = anchorFrame.right() + 1 + kGap;
    if (x + size.width() > screen.right() + 1)
        x = anchorFrame.left() - kGap - size.width();
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    const int y = std::clamp(anchorFrame.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    window.move(x, y);
}
