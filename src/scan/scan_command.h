// SPDX-License-Identifier: GPL-3.0-or-later
// The Scan command: the planned renames of the current options as rows of the preview list,
// without touching the disk. A press while a scan runs asks it to stop.
#pragma once

#include "platform/file_system.h"
#include "rules/option_lists.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"
#include "scan/conflict_finder.h"
#include "scan/walk_state.h"

namespace zr {

class ScanCommand {
public:
    // `goDirectory` is the working directory of the Go run whose outcome the marks foresee;
    // when null, a Go started right after the scan, from where the scan leaves off.
    ScanCommand(RenameSettings& settings, WalkState& state, ParsedLists& lists,
                FileSystem& fileSystem, CommandView& view,
                const std::string* goDirectory = nullptr);

    // The handler of "&Scan". Fills the preview with one row per entry whose name would change,
    // settles each row with what Go will do with it, and reports how many were found and how
    // many of them will fail. The run's working directory is left at the parent of the start
    // directory. Every way out, an error included, leaves the front end idle.
    void Button5Click();

private:
    void walk(ConflictFinder& finder);

    RenameSettings& m_settings;
    WalkState& m_state;
    ParsedLists& m_lists;
    FileSystem& m_fileSystem;
    CommandView& m_view;
    const std::string* m_goDirectory;
};

}  // namespace zr
