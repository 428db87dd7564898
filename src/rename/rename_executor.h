// SPDX-License-Identifier: GPL-3.0-or-later
// Carries out the renames a Go walk queued, or writes them as a rename script and an undo
// script instead, and logs the renames that fail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "rename/run_flags.h"
#include "rename/script_files.h"
#include "rename/undo_keeper.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"

namespace zr {

class FailureLog;

class RenameExecutor {
public:
    // `keeper`, when given, keeps the undo data of a renaming run outside memory too.
    RenameExecutor(const RenameSettings& settings, RunFlags& flags, FileSystem& fileSystem,
                   Clock& clock, CommandView& view, UndoKeeper* keeper = nullptr);

    // Works through the journal once. Everything inside a directory is renamed before the
    // directory itself: the walk queues a directory before its contents, so the journal is
    // carried out from its end, and the rename script lists its lines in that order; the undo
    // script keeps journal order, which restores a directory before its contents. Files go
    // into flags.SavedWorkDir. A failed rename is a line of the failure log, a count and a mark
    // on its journal entry; an entry that a script cannot hold is left out of the scripts the
    // same way. The failure log is on the disk, line by line, before the next rename; a file
    // that cannot be created or written throws AppError. Before the first rename, nothing is
    // renamed; after it, the counts and the status tell what was done, and the log so far is
    // offered. Scripts that could not be written whole are removed.
    void run();

    // Whether renaming on disk had begun when run() ended (normally or by an error).
    bool renamingStarted() const { return m_renamingStarted; }
    // What the run left for the user: its failure log, its scripts.
    const RunFiles& files() const { return m_files; }

private:
    void writeScripts(const std::string& date, const std::string& time);
    void carryOut(const std::string& date, const std::string& time);
    void renameAll(FailureLog& log);
    // The entries the walk's rules gave no new name: failures of the run, in the log first.
    void logRuleFailures(FailureLog& log);

    const RenameSettings& m_settings;
    RunFlags& m_flags;
    FileSystem& m_fileSystem;
    Clock& m_clock;
    CommandView& m_view;
    UndoKeeper* m_keeper;
    bool m_renamingStarted = false;
    RunFiles m_files;
};

// What a closing status ends with when the run kept a failure log.
inline constexpr std::string_view kSeeFailureLog = "  [see failure log]";

// The closing status of a renaming run: `done` (as "Done, " or "Undo done, "), the count of
// renames and `what` they were (" file(s) renamed, "), the failures, and a pointer to the log
// (kSeeFailureLog) when there were any.
std::string renameStatus(std::string_view done, std::int32_t renamed, std::string_view what,
                         std::int32_t failures);

// The closing status of a batch run: the design's words when every entry went into the scripts,
// and the failures the way renameStatus() counts them when some could not.
std::string batchStatus(std::int32_t placed, std::int32_t failures);

// The failure log of a Go or Undo run, in its working directory. Its header goes through to the
// file when it is made, so a log that cannot be written stops a run before it renames anything;
// but it gets its name, the next free "renamer_failures.log", only when its first failure line is
// due. Until then it has no name where the file system allows that, so a run that fails nothing,
// or is killed, leaves nothing behind.
class FailureLog {
public:
    FailureLog(FileSystem& fileSystem, const std::string& directory, const std::string& date,
               const std::string& time);

    // Writes a failure line through to the file, naming the log at the first one. Throws
    // AppError when it cannot.
    void add(std::string_view line);
    // At the end of a run: closes the log and keeps it only when something failed; it then
    // becomes the log the front end offers for viewing. The result is its path, or empty.
    std::string finish(RunFlags& flags, CommandView& view);
    // After an error ended a run part of the way: the lines written so far are offered as they
    // are. The result is the log's path, or empty when it has no line.
    std::string offerAsItIs(RunFlags& flags, CommandView& view);
    // Closes the log and removes it (nothing was done).
    void discard() { m_file.discard(); }

private:
    TextFile m_file;
};

}  // namespace zr
