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

// Opens the journal at `path` under its lock and reads it through the same descriptor; false,
// with the reason printed, when it is held, a link, unreadable or no journal.
bool readJournal(FileSystem& fileSystem, const std::string& path, UndoJournal& journal,
                 std::unique_ptr<FileLock>& lock, const Console& console) {
    int error = 0;
    std::string reason;
    if (openJournal(fileSystem, path, journal, lock, error, reason))
        return true;
    const std::string refusal = refusalText(error);
    if (error == EWOULDBLOCK) {
        // A journal that a running window or go still holds is theirs to undo.
        console.error("the journal " + quoted(path) +
                      " is in use by a window or a go that is still running; nothing was done");
    } else if (error == ELOOP) {
        // Its lock would be taken on the file it names, under another name: the journal is
        // named as itself.
        console.error("the journal " + quoted(path) +
                      " is a symbolic link; name the journal file itself. Nothing was done.");
    } else if (error != 0 && reason.empty()) {
        console.error(
            "cannot read the journal " + quoted(path) + ": " +
            (refusal.empty() ? errorBoxText(systemErrorText(error)) : "it is " + refusal + "."));
    } else {
        console.error("the journal " + quoted(path) + " cannot be used: " + reason);
    }
    return false;
}

// The warning for a journal whose name no longer holds the file that was read (an entry of the
// journal renamed it): it is left alone.
void warnNotTheJournal(const std::string& path, const Console& console) {
    console.warning("the name " + quoted(path) +
                    " no longer holds the journal that was undone (the undo renamed it); it was "
                    "left as it is. Do not undo with it again.");
}

// After an undo that ended part of the way, or that could not undo some renames: the journal
// file holds `left`, the journal with the entries renamed back marked, so that an undo with it
// again leaves them alone and tries the others; with nothing left (`left` empty), it is used up.
// Only while the name still holds the journal that was read. False after a warning.
bool keepWhatIsLeft(FileSystem& fileSystem, const std::string& path, const FileId& journalId,
                    const std::string& left, const Console& console) {
    FileId there;
    if (fileSystem.identify(path, there) != 0 || there != journalId) {
        warnNotTheJournal(path, console);
        return false;
    }
    const int error = left.empty() ? fileSystem.removeFileIf(path, journalId)
                                   : fileSystem.replaceFile(path, left);
    if (error != 0) {
        console.warning("the journal " + quoted(path) + " could not record what was renamed " +
                        "back: " + errorBoxText(systemErrorText(error)) +
                        " An undo with it would try those renames again.");
        return false;
    }
    if (!left.empty())
        console.line("The journal " + quoted(path) + " now holds what is left to undo.", true);
    return true;
}

// What is left of a journal once undo has been through it: the renames it could not undo, for
// another try. Only a journal that knows its entries' identities is kept for that, since a
// retry then renames back only the very entries the run renamed; any other is used up.
class WhatIsLeft : public UndoKeeper {
public:
    void keep(const UndoJournal&) override {}
    void finish(const UndoJournal&) override {}
    void undone(const UndoJournal& journal) override {
        m_count = journal.size() - journal.failedCount();
        if (m_count != 0 && journal.identified())
            m_text = journalText(journal);
    }
    std::size_t count() const { return m_count; }
    // The journal's text with what was renamed back marked; empty when nothing is to be kept.
    const std::string& text() const { return m_text; }

private:
    std::size_t m_count = 0;
    std::string m_text;
};

// "DATE TIME", in the user's formats, of the run a kept journal holds; "an unknown time" for a
// journal whose name does not tell.
std::string whenRunBegan(const std::string& journal, Clock& clock) {
    const std::optional<std::time_t> began = runBegan(journal);
    if (!began)
        return "an unknown time";
    return clock.formatDate(*began) + " " + clock.formatTime(*began);
}

// "the run of DATE TIME in 'START' (N rename(s)), kept in 'JOURNAL'".
std::string describeRun(const std::string& path, const UndoJournal& journal, Clock& clock) {
    std::string text = "the run of " + whenRunBegan(path, clock);
    if (!journal.startFolder().empty())
        text += " in " + quoted(journal.startFolder());
    return text + " (" + std::to_string(journal.size() - journal.failedCount()) +
           " rename(s)), kept in " + quoted(path);
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
        if (openJournal(fileSystem, run, journal, lock, error, reason))
            line += std::to_string(journal.size() - journal.failedCount()) + " rename(s) to undo" +
                    (journal.startFolder().empty() ? "" : " in " + quoted(journal.startFolder()));
        else if (error == EWOULDBLOCK)
            line += "still running";
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

    CliView view(console, nullptr);
    RenameSettings settings;  // Undo reads no option
    Renamer renamer(settings, fileSystem, context.clock, view);
    RunFlags& flags = renamer.flags();
    flags.Jobs = commandLine.jobs;
    WhatIsLeft left;
    renamer.setUndoKeeper(&left);
    // Held until the end, so that no window adopts the journal while it is being undone.
    std::unique_ptr<FileLock> lock;
    if (!readJournal(fileSystem, path, flags.Journal, lock, console))
        return kExitError;
    const FileId journalId = lock->identity();
    flags.JournalCount = static_cast<std::int32_t>(flags.Journal.size());
    flags.JournalCreated = true;
    // Nobody named this run: say which one it is before anything is renamed back.
    if (!commandLine.journalFile)
        console.line("Undoing " + describeRun(path, flags.Journal, context.clock) + ".", true);
    if (!flags.Journal.identified() && !flags.Journal.empty())
        console.warning("the journal " + quoted(path) +
                        " was written by an older version, which kept no identities: undo cannot "
                        "check that each entry is still the file the run renamed");

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
            keepWhatIsLeft(fileSystem, path, journalId,
                           flags.JournalCount == 0 ? std::string() : journalText(flags.Journal),
                           console);
            return kExitError;
        }
        console.line(view.status());
        if (flags.FailureCount != 0)
            console.line("Failure log: " + escapeTsv(flags.FailureLogPath));
    } else {
        console.line("Nothing to undo: the journal holds no renames.");
    }

    int status = flags.FailureCount != 0 ? kExitSomeFailed : kExitDone;
    // What could not be undone is kept for another try, and the rest is used up. An older
    // journal is never carried out twice: without identities a second pass could rename back
    // files that only took the same names later.
    if (!left.text().empty()) {
        if (!keepWhatIsLeft(fileSystem, path, journalId, left.text(), console))
            status = kExitWarningAfter;
    } else if (const int error = fileSystem.removeFileIf(path, journalId)) {
        if (error == kErrorNotTheEntry)
            warnNotTheJournal(path, console);
        else
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
