// SPDX-License-Identifier: GPL-3.0-or-later
// Where a window goes so that the user can reach it: a remembered place can lie off every screen
// now (a screen was removed, or the desk is smaller), and a window there cannot be seen or moved.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace zr {

// The top-left corner for a window whose frame is `frame`, given the available areas of the
// `screens`: unchanged while its title bar (the top `titleHeight` pixels of the frame) shows on
// one of them, at least 100 pixels of it (or all of a narrower one); else moved onto the screen
// nearest to it, just as far as it takes to lie within that screen (to its top-left corner where
// the window is larger than the screen).
QPoint reachablePosition(const QRect& frame, int titleHeight, const QList<QRect>& screens);

}  // namespace zr
