// SPDX-License-Identifier: GPL-3.0-or-later
// The program's entry: the application, the main window over the real file system and clock,
// and the event loop.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "ui/dialogs.h"
#include "ui/unit1.h"
#include "ui/window_arguments.h"

int main(int argc, char* argv[]) {
    // --help and --version need no display, so they are answered before Qt starts.
    {
        const std::vector<std::string> all(argv + 1, argv + argc);
        zr::WindowArguments early;
        std::string ignored;
        zr::parseWindowArguments(all, early, ignored);
        if (early.help || early.version) {
            const std::string text = early.help ? zr::windowHelpText() : zr::windowVersionText();
            return std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0 ? 2 : 0;
        }
    }
    // A walk holds a descriptor for each level of the tree it is in.
    zr::raiseOpenFileLimit();
    QApplication app(argc, argv);
    // What Qt left of the arguments once it took its own options.
    const std::vector<std::string> args(argv + 1, argv + argc);
    zr::WindowArguments arguments;
    std::string error;
    if (!zr::parseWindowArguments(args, arguments, error)) {
        std::fprintf(stderr, "zentarel-renamer: %s\n", error.c_str());
        return 2;
    }
    // Also the title Qt gives the program (applicationDisplayName) and the error box.
    QApplication::setApplicationName(QStringLiteral("Zentarel Renamer"));
    // Lets the desktop match the window with its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zentarel-renamer"));
    // Tooltips: Qt shows every widget's tooltip without being switched on.

    const auto fileSystem = zr::makePosixFileSystem();
    const auto clock = zr::makeSystemClock();
    const auto dialogs = zr::makeQtDialogs();
    zr::SettingsStore store(*fileSystem, zr::userSettingsStorePath());
    zr::Tmain window(*fileSystem, *clock, *dialogs, store);
    if (window.settings().itemIndex() < 0)
        window.settings().setItemIndex(zr::kLowerCase);
    if (arguments.folder)
        window.setStartFolder(*arguments.folder);
    window.show();
    return QApplication::exec();
}
