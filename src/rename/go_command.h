// SPDX-License-Identifier: GPL-3.0-or-later
// The Go command: walks the start directory, queues the renames the options give, and carries
// them out (or writes them as scripts), keeping them as undo data. A press while its walk runs
// asks it to stop.
#pragma once

#include "platform/clock.h"
#include "platform/file_system.h"
#include "rename/run_flags.h"
#include "rename/undo_keeper.h"
#include "rules/option_lists.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"

namespace zr {

class GoCommand {
public:
    // `keeper`, when given, keeps the undo data of a renaming run outside memory too.
    GoCommand(RenameSettings& settings, RunFlags& flags, ParsedLists& lists, FileSystem& fileSystem,
              Clock& clock, CommandView& view, UndoKeeper* keeper = nullptr);

    // The handler of "&Go !". Every way out, an error included, leaves the front end idle and
    // the run's working directory where it was when Go was pressed. An error before anything
    // was renamed drops what was queued; one while renaming keeps the journal as undo data.
    // The run works on a copy of the options taken when it starts, so nothing done to the
    // options meanwhile changes it.
    void Button1Click();

private:
    void run();

    RenameSettings& m_settings;
    RunFlags& m_flags;
    ParsedLists& m_lists;
    FileSystem& m_fileSystem;
    Clock& m_clock;
    CommandView& m_view;
    UndoKeeper* m_keeper;
};

}  // namespace zr
