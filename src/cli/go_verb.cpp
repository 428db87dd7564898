// SPDX-License-Identifier: GPL-3.0-or-later
// `go`: renames as the Go command does (or writes its scripts), optionally keeping the undo data
// in a journal file for `undo`.
#include <cerrno>

#include "cli/cli_view.h"
#include "cli/interrupt.h"
#include "cli/name_text.h"
#include "cli/prepare_options.h"
#include "cli/verbs.h"
#include "rename/journal_keeper.h"
#include "rename/renamer.h"
#include "rules/app_error.h"

namespace zr {

namespace {

std::string journalErrorText(const std::string& path, int error) {
    if (error == EEXIST)
        return "the journal " + quoted(path) + " already exists (a journal is never overwritten)";
    return "cannot write the journal " + quoted(path) + ": " + errorBoxText(systemErrorText(error));
}

// Whether the journal can be created, by creating it and removing it again: it must not exist
// during the walk, or a journal inside the tree would be renamed with the rest.
int probeJournal(FileSystem& fileSystem, const std::string& path) {
    int error = 0;
    std::unique_ptr<OutputFile> probe = fileSystem.createFile(path, error);
    if (!probe)
        return error;
    error = probe->close();
    probe.reset();
    fileSystem.removeFile(path);
    return error;
}

}  // namespace

int runGo(const CommandLine& commandLine, const CliContext& context) {
    const Console& console = context.console;
    WatchedFileSystem fileSystem(context.fileSystem);
    RenameSettings settings;
    if (!prepareOptions(commandLine, fileSystem, console, settings))
        return kExitError;

    std::optional<JournalFileKeeper> keeper;
    if (commandLine.journalFile) {
        if (const int error = probeJournal(fileSystem, *commandLine.journalFile)) {
            console.error(journalErrorText(*commandLine.journalFile, error));
            return kExitError;
        }
        keeper.emplace(fileSystem, *commandLine.journalFile);
    }

    CliView view(console, nullptr);
    Renamer renamer(settings, fileSystem, context.clock, view);
    renamer.flags().Jobs = commandLine.jobs;
    renamer.setUndoKeeper(keeper ? &*keeper : nullptr);
    {
        InterruptHandler interrupt;
        view.setStopAction([&renamer] { renamer.Button1Click(); });
        renamer.Button1Click();
    }
    view.endProgress();

    const RunFlags& flags = renamer.flags();
    if (keeper && keeper->keepError() != 0) {
        console.error(journalErrorText(keeper->path(), keeper->keepError()) +
                      " Nothing was renamed.");
        return kExitError;
    }
    if (view.error() || view.refused()) {
        if (view.error())
            reportCommandError(console, *view.error(), fileSystem.failedPath());
        // An error part of the way through the renames: what was done is counted.
        if (flags.RenamedCount != 0 || flags.FailureCount != 0) {
            console.line(view.status());
            if (!flags.FailureLogPath.empty())
                console.line("Failure log: " + escapeTsv(flags.FailureLogPath));
        }
        if (keeper && keeper->created() && flags.JournalCount == 0)
            fileSystem.removeFile(keeper->path());
        else if (keeper && keeper->created())
            console.line("The journal " + quoted(keeper->path()) + " can undo what was renamed.",
                         true);
        return kExitError;
    }
    // A run that renamed nothing still leaves its journal, empty, for a script to find.
    if (keeper && !keeper->created()) {
        if (const int error = keeper->keepEmpty()) {
            console.error(journalErrorText(keeper->path(), error));
            return kExitError;
        }
    }

    int status = flags.FailureCount != 0 ? kExitSomeFailed : kExitDone;
    console.line(view.status());
    if (flags.FailureCount != 0)
        console.line("Failure log: " + escapeTsv(flags.FailureLogPath));
    if (keeper && keeper->finishError() != 0) {
        console.warning("the journal " + quoted(keeper->path()) + " could not record the " +
                        std::to_string(keeper->failedCount()) + " rename(s) that failed: " +
                        errorBoxText(systemErrorText(keeper->finishError())) +
                        " An undo with it would try them too.");
        status = kExitWarningAfter;
    }
    if (!console.flushOut()) {
        console.warning("cannot write to standard output; the renames were carried out");
        status = kExitWarningAfter;
    }
    if (view.stopped()) {
        console.warning("stopped by Ctrl-C: the renames queued until then were carried out");
        return kExitInterrupted;
    }
    return status;
}

}  // namespace zr
