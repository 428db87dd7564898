// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/user_folders.h"

#include <cstdlib>

namespace zr {

std::string userStateFolder() {
    const auto absolute = [](const char* path) { return path && path[0] == '/'; };
    const char* const stateHome = std::getenv("XDG_STATE_HOME");
    const char* const home = std::getenv("HOME");
    std::string base;
    if (absolute(stateHome))
        base = stateHome;
    else if (absolute(home))
        base = std::string(home) + "/.local/state";
    else
        return {};
    // The root "/" becomes "" so that appending "/..." gives no "//".
    while (base.ends_with('/'))
        base.pop_back();
    return base + "/zentarel-renamer";
}

}  // namespace zr
