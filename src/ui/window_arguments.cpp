// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_arguments.h"

namespace zr {

bool parseWindowArguments(std::span<const std::string> args, WindowArguments& arguments,
                          std::string& error) {
    arguments = WindowArguments{};
    bool optionsEnded = false;
    std::optional<std::string> firstError;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            arguments.help = true;
        } else if (!optionsEnded && arg == "--version") {
            arguments.version = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (!firstError)
                firstError = "unknown option '" + arg + "' (see --help)";
        } else if (arguments.folder) {
            if (!firstError)
                firstError = "more than one folder: '" + arg + "'";
        } else {
            arguments.folder = arg;
        }
    }
    // Asking for help is never an error, whatever else the line holds.
    if (firstError && !arguments.help && !arguments.version) {
        error = *firstError;
        return false;
    }
    return true;
}

std::string windowHelpText() {
    return "Usage: zentarel-renamer [OPTION]... [FOLDER]\n"
           "Rename many files and directories at once, in a window: pick a start directory,\n"
           "filters and renaming rules, preview every new name, rename with undo data, or\n"
           "write a rename script and an undo script instead.\n"
           "\n"
           "FOLDER, when given, becomes the start directory in place of the remembered one.\n"
           "The options of the last session are remembered in\n"
           "$XDG_CONFIG_HOME/zentarel-renamer/settings.reg (~/.config when unset).\n"
           "\n"
           "  -h, --help     display this help and exit\n"
           "      --version  output version information and exit\n"
           "\n"
           "Qt's own options, such as -platform NAME and -style NAME, are accepted as well.\n"
           "\n"
           "Zentarel Renamer home page: <" ZR_HOMEPAGE ">\n";
}

std::string windowVersionText() {
    return "zentarel-renamer (Zentarel Renamer) " ZR_VERSION "\nWritten by Vornik.\n";
}

}  // namespace zr
