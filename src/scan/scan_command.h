// The Scan command: the planned renames of the current options as rows of the preview list,
// without touching the disk. A press while a scan runs asks it to stop.
#pragma once

#include "platform/file_system.h"
#include "rules/option_lists.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"
#include "scan/walk_state.h"

namespace zr {

class ScanCommand {
public:
    ScanCommand(RenameSettings& settings, WalkState& state, ParsedLists& lists,
                FileSystem& fileSystem, CommandView& view);

    // The handler of "&Scan". Fills the preview with one row per entry whose name would change
    // and reports how many were found. The run's working directory is left at the parent of
    // the start directory. Every way out, an error included, leaves the front end idle.
    void Button5Click();

private:
    void walk();

    RenameSettings& m_settings;
    WalkState& m_state;
    ParsedLists& m_lists;
    FileSystem& m_fileSystem;
    CommandView& m_view;
};

}  // namespace zr
