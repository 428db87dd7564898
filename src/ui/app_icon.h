// SPDX-License-Identifier: GPL-3.0-or-later
// The program's 32 by 32 icon, drawn in code: the window icon and the picture at the lower left
// of the window.
#pragma once

#include <QPixmap>

namespace zr {

QPixmap appIconPixmap();

}  // namespace zr
