// SPDX-License-Identifier: GPL-3.0-or-later
// The part of the run state that the new-name computation reads and writes. The walk and the
// commands extend it with their own members (see scan/walk_state.h and rename/run_flags.h).
#pragma once

#include <cstdint>
#include <string>

#include "rules/undo_journal.h"

namespace zr {

struct RuleState {
    // Scan: new names go to NewNameResult and PreviewCount; otherwise they are queued.
    bool PreviewMode = false;
    // The walk is handing over a directory in "only directories" mode: no filter test.
    bool DirectoryPass = false;
    // The new name of the entry just computed, during a Scan; empty otherwise.
    std::string NewNameResult;
    std::int32_t PreviewCount = 0;
    // Entries of the run that passed the filters, renamed or not (a directory handed over in
    // "only directories" mode is not tested, and not counted).
    std::int64_t FilterMatchCount = 0;
    std::int32_t JournalCount = 0;
    UndoJournal Journal;
};

}  // namespace zr
