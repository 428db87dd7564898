// SPDX-License-Identifier: GPL-3.0-or-later
// `undo`: reverses a go run from its journal file, as the Undo command reverses the last run in
// the window: the newest run kept in the state folder, or the one of --journal FILE. `undo
// --list` shows the kept runs.
#include <cerrno>

#include "cli/cli_view.h"
#include "cli/kept_runs.h"
#include "cli/name_text.h"
#include "cli/prepare_options.h"
#include "cli/verbs.h"
#include "rename/journal_file.h"
#include "rename/renamer.h"
#include "rules/app_error.h"

namespace zr {

namespace {

// Reads the journal at `path` line by line; false, with the reason printed, when it cannot be
// read or is no journal.
bool readJournal(FileSystem& fileSystem, const std::string& path, UndoJournal& journal,
                 const Console& console) {
    int error = 0;
    std::string reason;
    if (readJournalFile(fileSystem, path, journal, error, reason))
        return true;
    const std::string refusal = refusalText(error);
    if (error != 0 && reason.empty()) {
        console.error(
            "cannot read the journal " + quoted(path) + ": " +
            (refusal.empty() ? errorBoxText(systemErrorText(error)) : "it is " + refusal + "."));
    } else {
        console.error("the journal " + quoted(path) + " cannot be used: " + reason);
    }
    return false;
}

// After an undo that ended part of the way: the journal file gets the marks of the entries
// renamed back, so that an undo with it again leaves them alone; with nothing left, it is used
// up.
void keepWhatIsLeft(FileSystem& fileSystem, const std::string& path, const RunFlags& flags,
                    const Console& console) {
    const int error = flags.JournalCount == 0
                          ? fileSystem.removeFile(path)
                          : fileSystem.replaceFile(path, journalText(flags.Journal));
    if (error != 0) {
        console.warning("the journal " + quoted(path) + " could not record what was renamed " +
                        "back: " + errorBoxText(systemErrorText(error)) +
                        " An undo with it would try those renames again.");
    } else if (flags.JournalCount != 0) {
        console.line("The journal " + quoted(path) + " now holds what is left to undo.", true);
    }
}

// "DATE TIME", in the user's formats, of the run a kept journal holds; "an unknown time" for a
// journal whose name does not tell.
std::string whenRunBegan(const std::string& journal, Clock& clock) {
    const std::optional<std::time_t> began = runBegan(journal);
    if (!began)
        return "an unknown time";
    return clock.formatDate(*began) + " " + clock.formatTime(*began);
}

// undo --list: the kept runs, newest first, one line each.
int listKeptRuns(FileSystem& fileSystem, const CliContext& context) {
    const Console& console = context.console;
    const std::string folder = keptRunsFolder();
    const std::vector<std::string> runs =
        folder.empty() ? std::vector<std::string>{} : keptRuns(fileSystem, folder);
    if (runs.empty()) {
        console.line("No run is kept" + (folder.empty() ? "" : " in " + quoted(folder)) + ".");
        return kExitDone;
    }
    for (const std::string& run : runs) {
        std::string line = whenRunBegan(run, context.clock) + "  ";
        std::unique_ptr<FileLock> lock;
        UndoJournal journal;
        int error = 0;
        std::string reason;
        if (fileSystem.lockFile(run, lock) == EWOULDBLOCK)
            line += "still running";
        else if (readJournalFile(fileSystem, run, journal, error, reason))
            line += std::to_string(journal.size() - journal.failedCount()) + " rename(s) to undo";
        else
            line += "cannot be used";
        console.line(line + "  " + escapeTsv(run));
    }
    return console.flushOut() ? kExitDone : kExitWarningAfter;
}

}  // namespace

int runUndo(const CommandLine& commandLine, const CliContext& context) {
    const Console& console = context.console;
    WatchedFileSystem fileSystem(context.fileSystem);
    if (!checkWorkingDirectory(fileSystem, console))
        return kExitError;
    if (commandLine.listRuns)
        return listKeptRuns(fileSystem, context);
    // The journal named, or that of the newest run kept.
    std::string path;
    if (commandLine.journalFile) {
        path = *commandLine.journalFile;
    } else {
        const std::string folder = keptRunsFolder();
        const std::vector<std::string> runs =
            folder.empty() ? std::vector<std::string>{} : keptRuns(fileSystem, folder);
        if (runs.empty()) {
            console.line("Nothing to undo: no run is kept" +
                         (folder.empty() ? "" : " in " + quoted(folder)) + ".");
            return kExitDone;
        }
        path = runs.front();
    }
    // A journal that a running window or go still holds is theirs to undo.
    std::unique_ptr<FileLock> lock;
    if (fileSystem.lockFile(path, lock) == EWOULDBLOCK) {
        console.error("the journal " + quoted(path) +
                      " is in use by a window or a go that is still running; nothing was done");
        return kExitError;
    }

    CliView view(console, nullptr);
    RenameSettings settings;  // Undo reads no option
    Renamer renamer(settings, fileSystem, context.clock, view);
    RunFlags& flags = renamer.flags();
    flags.Jobs = commandLine.jobs;
    if (!readJournal(fileSystem, path, flags.Journal, console))
        return kExitError;
    flags.JournalCount = static_cast<std::int32_t>(flags.Journal.size());
    flags.JournalCreated = true;
    // Nobody named this run: say which one it is before anything is renamed back.
    if (!commandLine.journalFile) {
        console.line("Undoing the run of " + whenRunBegan(path, context.clock) + " (" +
                         std::to_string(flags.Journal.size() - flags.Journal.failedCount()) +
                         " rename(s)), kept in " + quoted(path) + ".",
                     true);
    }

    if (flags.JournalCount != 0) {
        // Undo runs to its end without a walk, as in the window; Ctrl-C ends it at once.
        renamer.Button3Click();
        if (view.error()) {
            reportCommandError(console, *view.error(), fileSystem.failedPath());
            if (flags.RenamedCount == 0 && flags.FailureCount == 0) {
                console.line("The journal " + quoted(path) + " was kept.", true);
                return kExitError;
            }
            // It ended part of the way: say what was done, and keep only what is left to undo.
            console.line(view.status());
            if (!flags.FailureLogPath.empty())
                console.line("Failure log: " + escapeTsv(flags.FailureLogPath));
            keepWhatIsLeft(fileSystem, path, flags, console);
            return kExitError;
        }
        console.line(view.status());
        if (flags.FailureCount != 0)
            console.line("Failure log: " + escapeTsv(flags.FailureLogPath));
    } else {
        console.line("Nothing to undo: the journal holds no renames.");
    }

    int status = flags.FailureCount != 0 ? kExitSomeFailed : kExitDone;
    // Undo discards its undo data whatever the outcome, so a journal is never carried out twice
    // (a second pass could rename back files that only took the same names later).
    if (const int error = fileSystem.removeFile(path)) {
        console.warning("cannot remove the used-up journal " + quoted(path) + ": " +
                        errorBoxText(systemErrorText(error)) + " Do not undo with it again.");
        status = kExitWarningAfter;
    }
    if (!console.flushOut()) {
        console.warning("cannot write to standard output; the undo was carried out");
        status = kExitWarningAfter;
    }
    return status;
}

}  // namespace zr
