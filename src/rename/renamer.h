// SPDX-License-Identifier: GPL-3.0-or-later
// The four commands of the renamer over one run state, as a front end uses them: the window
// calls these from its click handlers, the command line from its verbs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "rename/run_flags.h"
#include "rename/undo_keeper.h"
#include "rules/option_lists.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"

namespace zr {

// One command at a time: while a Scan, Go or Undo runs, the other commands do nothing, and the
// running one's own button only asks it to stop.
class Renamer {
public:
    // The run's working directory starts as the file system's initial directory.
    Renamer(RenameSettings& settings, FileSystem& fileSystem, Clock& clock, CommandView& view);
    ~Renamer();

    // Go (Button1 "&Go !"); while a Go walk runs, a press is a stop request.
    void Button1Click();
    // Undo (Button3 "&Undo").
    void Button3Click();
    // Scan (Button5 "&Scan"); while a scan runs, a press is a stop request.
    void Button5Click();
    // "Save &Undo as .bat".
    void SaveUndoasbat1Click();

    // The working directory of the Go run that Scan's marks foresee (that of a later process
    // started in `directory`). Unset, they foresee a Go pressed right after the scan, which
    // runs from where the scan leaves off.
    void foreseeGoFrom(std::string directory) { m_goDirectory = std::move(directory); }

    // Where Go keeps its undo data besides memory, and which Go and Undo tell when the undo data
    // is gone; none when null.
    void setUndoKeeper(UndoKeeper* keeper) { m_keeper = keeper; }

    RunFlags& flags() { return m_flags; }
    const RunFlags& flags() const { return m_flags; }
    // A Scan, Go or Undo is in progress (the window refuses to close then).
    bool commandRunning() const { return m_flags.GoRunning || m_flags.ScanRunning; }
    // Undo data is present.
    bool hasUndoData() const { return m_flags.JournalCount != 0; }

private:
    RenameSettings& m_settings;
    FileSystem& m_fileSystem;
    Clock& m_clock;
    CommandView& m_view;
    RunFlags m_flags;
    ParsedLists m_lists;
    UndoKeeper* m_keeper = nullptr;
    std::optional<std::string> m_goDirectory;
};

}  // namespace zr
