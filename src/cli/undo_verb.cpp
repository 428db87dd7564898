// `undo --journal FILE`: reverses a go run from its journal file, as the Undo command reverses
// the last run in the window.
#include <cerrno>

#include "cli/cli_view.h"
#include "cli/name_text.h"
#include "cli/prepare_options.h"
#include "cli/verbs.h"
#include "rename/journal_file.h"
#include "rename/renamer.h"
#include "rules/app_error.h"

namespace zr {

int runUndo(const CommandLine& commandLine, const CliContext& context) {
    const Console& console = context.console;
    WatchedFileSystem fileSystem(context.fileSystem);
    const std::string& path = *commandLine.journalFile;
    if (!checkWorkingDirectory(fileSystem, console))
        return kExitError;
    // A journal that a running window or go still holds is theirs to undo.
    std::unique_ptr<FileLock> lock;
    if (fileSystem.lockFile(path, lock) == EWOULDBLOCK) {
        console.error("the journal " + quoted(path) +
                      " is in use by a window or a go that is still running; nothing was done");
        return kExitError;
    }
    std::string text;
    if (const int error = fileSystem.readFile(path, text)) {
        console.error("cannot read the journal " + quoted(path) + ": " +
                      errorBoxText(systemErrorText(error)));
        return kExitError;
    }

    CliView view(console, nullptr);
    RenameSettings settings;  // Undo reads no option
    Renamer renamer(settings, fileSystem, context.clock, view);
    RunFlags& flags = renamer.flags();
    flags.Jobs = commandLine.jobs;
    std::string reason;
    if (!parseJournal(text, flags.Journal, reason)) {
        console.error("the journal " + quoted(path) + " cannot be used: " + reason);
        return kExitError;
    }
    flags.JournalCount = static_cast<std::int32_t>(flags.Journal.size());
    flags.JournalCreated = true;

    if (flags.JournalCount != 0) {
        // Undo runs to its end without a walk, as in the window; Ctrl-C ends it at once.
        renamer.Button3Click();
        if (view.error()) {
            reportCommandError(console, *view.error(), fileSystem.failedPath());
            console.line("The journal " + quoted(path) + " was kept.", true);
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
