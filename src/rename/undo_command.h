// SPDX-License-Identifier: GPL-3.0-or-later
// Undo: renames every entry of the last Go run's journal back, and the export of the same
// reversal as an undo script.
#pragma once

#include "platform/clock.h"
#include "platform/file_system.h"
#include "rename/run_flags.h"
#include "rename/undo_keeper.h"
#include "scan/command_view.h"

namespace zr {

// Checks undo data read back from a journal (a run that ended without discarding it) against
// the disk: entries under their old names already (never renamed, or renamed back by an undo
// that ended) are marked like entries that failed, so that neither Undo nor the export touches
// them. Returns how many renames can be undone: the entries found where the run left them. A
// journal without identities (an older version) is taken as it is: all of its entries.
std::size_t settleUndoData(FileSystem& fileSystem, UndoJournal& journal);

class UndoCommand {
public:
    // `keeper`, when given, is told when the undo data is gone.
    UndoCommand(RunFlags& flags, FileSystem& fileSystem, Clock& clock, CommandView& view,
                UndoKeeper* keeper = nullptr);

    // The handler of "&Undo": does nothing while a Go or Undo runs or without undo data.
    // Reverses the entries in journal order (a directory before its contents), logs the
    // reversals that fail into a failure log in the run's working directory, and discards the
    // undo data. When the log cannot be created or written, the front end goes idle and the
    // undo data stays, so the undo can be tried again: without the entries already renamed
    // back, which are marked like entries that were never renamed, so nothing undoes them twice.
    void Button3Click();

    // "Save &Undo as .bat": writes the reversal of the journal as an undo script into the
    // directory of the latest Go or Scan and keeps the undo data. The file is complete on disk
    // before the message says it was written.
    void SaveUndoasbat1Click();

private:
    void reverseAll();

    RunFlags& m_flags;
    FileSystem& m_fileSystem;
    Clock& m_clock;
    CommandView& m_view;
    UndoKeeper* m_keeper;
};

}  // namespace zr
