// SPDX-License-Identifier: GPL-3.0-or-later
// The runs go keeps for undo when no --journal names a file: one journal per run in the "runs"
// folder of the user's state folder, named by the time the run began, the newest kKeptRuns of
// them kept. The window's journals lie in the state folder itself, so neither ever takes or
// adopts the other's.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace zr {

// How many runs are kept. Undo goes back from the newest, and a run several runs back has mostly
// been overtaken by the later ones over the same files; a limit keeps the folder from growing
// without bound (a journal of a million renames takes about 100 MB).
constexpr std::size_t kKeptRuns = 10;

// $XDG_STATE_HOME/zentarel-renamer/runs (see userStateFolder); empty when there is no state
// folder.
std::string keptRunsFolder();

// The path of a new run's journal in `folder`, which is created when it is missing: a name no
// other run has (the time to the nanosecond). Empty, with `error` set, when the folder cannot be
// made.
std::string newRunJournal(FileSystem& fileSystem, const std::string& folder, int& error);

// The journals of `folder`, newest first.
std::vector<std::string> keptRuns(FileSystem& fileSystem, const std::string& folder);

// The time a kept run began, as its journal's name says; nothing for a name of another form.
std::optional<std::time_t> runBegan(const std::string& journal);

// Removes the oldest journals beyond kKeptRuns; a journal that a running go or undo holds (its
// lock) is left alone.
void pruneKeptRuns(FileSystem& fileSystem, const std::string& folder);

}  // namespace zr
