// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user folders the program keeps its own files in, as the XDG base directories name them.
#pragma once

#include <string>

namespace zr {

// $XDG_STATE_HOME/zentarel-renamer, or ~/.local/state/zentarel-renamer when the variable is unset
// or not absolute; empty when neither it nor HOME names an absolute folder.
std::string userStateFolder();

}  // namespace zr
