// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of zentarel-renamer, the window: --help, --version and an optional folder to
// start on (what a file manager's "Open with" passes). Qt's own options are taken by Qt first.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace zr {

struct WindowArguments {
    bool help = false;
    bool version = false;
    // The folder that becomes "Start dir" in place of the remembered one.
    std::optional<std::string> folder;
};

// Parses the arguments after the program's name. False, with `error` set to one line naming
// what is wrong, for an unknown option or more than one folder. --help and --version win
// wherever they stand before a "--".
bool parseWindowArguments(std::span<const std::string> args, WindowArguments& arguments,
                          std::string& error);

// What --help and --version print, in the usual GNU form.
std::string windowHelpText();
std::string windowVersionText();

}  // namespace zr
