// SPDX-License-Identifier: GPL-3.0-or-later
// Where a renaming Go run keeps its undo data besides memory, so that it outlives the process:
// the command line's journal file, the window's journal in the user's state folder.
#pragma once

#include "rules/undo_journal.h"

namespace zr {

// The rename executor hands the keeper the whole journal once the walk is over and before the
// first rename, and again when the renames are over; Go and Undo say when the undo data is gone.
class UndoKeeper {
public:
    virtual ~UndoKeeper() = default;
    // Puts the journal where it survives a crash before it returns. Throws AppError when it
    // cannot; then nothing is renamed.
    virtual void keep(const UndoJournal& journal) = 0;
    // The renames are over (also when an error ended them); the entries whose rename failed are
    // marked. The keeper reports its own problems and never throws.
    virtual void finish(const UndoJournal& journal) = 0;
    // The undo data is gone (Undo has run, or a new run discards it): so is what was kept.
    virtual void discard() {}
    // Undo has been through every entry; those it renamed back are marked like the ones that
    // failed in Go. The undo data is gone, so by default what was kept goes too; a keeper may
    // keep the renames that could not be undone, for another try. Never throws.
    virtual void undone(const UndoJournal&) { discard(); }
    // An Undo ended part of the way: the entries it renamed back are marked like the ones that
    // failed, and what is kept should hold no more than what is left to undo. Never throws.
    virtual void keepWhatIsLeft(const UndoJournal&) {}
};

}  // namespace zr
