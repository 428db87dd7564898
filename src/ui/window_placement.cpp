// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_placement.h"

#include <algorithm>
#include <cstdint>

namespace zr {

namespace {

// The square of the distance between the point and the rectangle; 0 inside it.
std::int64_t distanceSquared(const QPoint& point, const QRect& area) {
    const std::int64_t dx = std::max({area.left() - point.x(), 0, point.x() - area.right()});
    const std::int64_t dy = std::max({area.top() - point.y(), 0, point.y() - area.bottom()});
    return dx * dx + dy * dy;
}

}  // namespace

QPoint reachablePosition(const QRect& frame, int titleHeight, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return frame.topLeft();
    const QRect titleBar(frame.topLeft(), QSize(frame.width(), titleHeight));
    const int enough = std::min(100, frame.width());
    const QRect* nearest = &screens.front();
    for (const QRect& screen : screens) {
        const QRect seen = titleBar & screen;
        if (seen.width() >= enough && seen.height() >= titleHeight)
            return frame.topLeft();
        if (distanceSquared(frame.center(), screen) < distanceSquared(frame.center(), *nearest))
            nearest = &screen;
    }
    const int x =
        std::max(nearest->left(), std::min(frame.left(), nearest->right() + 1 - frame.width()));
    const int y =
        std::max(nearest->top(), std::min(frame.top(), nearest->bottom() + 1 - frame.height()));
    return QPoint(x, y);
}

}  // namespace zr
