// SPDX-License-Identifier: GPL-3.0-or-later
// The window's Go without the window, for tests that kill a run part-way: the core's Go over a
// tree, lower-casing every name, with its undo data kept in the window's journal in a state
// folder, and with "undo" the Undo of that run after it. Usage:
// zr_go_driver STATE_FOLDER START_DIR [undo]
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "rename/journal_keeper.h"
#include "rename/renamer.h"
#include "support/recording_view.h"

int main(int argc, char** argv) {
    const bool undo = argc == 4 && std::string(argv[3]) == "undo";
    if (argc != 3 && !undo) {
        std::fputs("usage: zr_go_driver STATE_FOLDER START_DIR [undo]\n", stderr);
        return 2;
    }
    const auto fileSystem = zr::makePosixFileSystem();
    const auto clock = zr::makeSystemClock();
    zr::RenameSettings settings;
    settings.setText(zr::Option::Edit1, argv[2]);
    settings.setText(zr::Option::Edit3, "*");
    settings.setChecked(zr::Option::CheckBox1, true);
    settings.setChecked(zr::Option::CheckBox4, true);
    settings.setItemIndex(zr::kLowerCase);
    settings.setChecked(zr::Option::CheckBox6, true);
    zr::test::RecordingView view;
    zr::Renamer renamer(settings, *fileSystem, *clock, view);
    zr::StateJournal journal(*fileSystem, argv[1]);
    renamer.setUndoKeeper(&journal);
    renamer.Button1Click();
    if (undo)
        renamer.Button3Click();
    std::puts(view.status.c_str());
    return renamer.flags().FailureCount == 0 ? 0 : 1;
}
