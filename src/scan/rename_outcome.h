// SPDX-License-Identifier: GPL-3.0-or-later
// What decides whether a queued rename can be carried out: the order of a run's renames and the
// checks made before each. Go's executor and Scan's conflict finder both use these, so that what
// a preview foresees and what a run does cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zr {

// Why a rename will fail, or None.
enum class Conflict : std::uint8_t {
    None,
    // The new name is empty, "." or "..", or holds a "/" (or a NUL byte).
    InvalidName,
    // The new name is longer than the folder's file system allows.
    NameTooLong,
    // The entry is the run's working directory or a folder above it.
    InUse,
    // An entry of the folder has the new name and keeps it.
    Taken,
    // The entry that has the new name gives it up, but only after this rename was tried.
    FreedTooLate,
    // Another entry of the folder is renamed to the same name first.
    SameNewName,
    // The rules give the entry no new name (a field without a value, a pattern that ran away);
    // the row or the failure says why in the rules' own words.
    RuleFailed,
};

// A few words for a table cell or a field of a script's output, e.g. "name taken".
std::string_view conflictReason(Conflict conflict);
// One sentence for a tooltip, saying why the rename will fail.
std::string_view conflictExplanation(Conflict conflict);

// The journal index of the `step`-th rename a run carries out (counted from 0) among `count`.
// The walk queues a directory before what it holds; carrying the journal out from its end
// renames everything inside a directory before the directory, whose path would otherwise change
// under them. Within one folder the entry queued last is therefore renamed first.
constexpr std::size_t renamedAt(std::size_t step, std::size_t count) {
    return count - 1 - step;
}

// Whether `name` can be the new name of an entry: a rename never moves an entry to another
// directory, so a name holding "/", ".", ".." and the empty name cannot, nor one holding a NUL
// byte, which a system call would cut short.
bool isPlainName(std::string_view name);

// Whether renaming the entry at `path` would move `workingDirectory`: it is that directory or
// lies above it. Such a directory is in use, so the run's files stay where it said they are.
// An empty path holds nothing.
bool holdsDirectory(std::string_view path, std::string_view workingDirectory);

// What a run refuses before it tries a rename at all: InvalidName, InUse or None. `oldFullPath`
// is the entry's path as the journal holds it, `workingDirectory` the run's.
Conflict refusedRename(std::string_view oldFullPath, std::string_view newName,
                       std::string_view workingDirectory);

}  // namespace zr
