// SPDX-License-Identifier: GPL-3.0-or-later
// `go`: renames as the Go command does (or writes its scripts), optionally keeping the undo data
// in a journal file for `undo`.
#include <cerrno>

#include "cli/cli_view.h"
#include "cli/interrupt.h"
#include "cli/kept_runs.h"
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

// The renames that failed, as many as were kept, and where the others are.
void listFailures(const Console& console, const CliView& view, const std::string& logPath) {
    for (const CliView::Failure& failure : view.failures()) {
        // An entry the rules gave no new name has none to show.
        console.error("cannot rename " + quoted(failure.oldFullPath) +
                      (failure.newName.empty() ? "" : " to " + quoted(failure.newName)) + ": " +
                      failure.reason);
    }
    if (view.failureCount() > view.failures().size()) {
        console.error("and " + std::to_string(view.failureCount() - view.failures().size()) +
                      " more, see " + escapeTsv(logPath));
    }
}

// The closing text of a run that renamed: the counts, the failure log and what failed.
void reportRenames(const Console& console, const CliView& view, const RunFlags& flags) {
    console.line(view.status());
    if (!flags.FailureLogPath.empty())
        console.line("Failure log: " + escapeTsv(flags.FailureLogPath));
    // A batch run names the rename script, then the undo script.
    const std::vector<std::string>& scripts = view.files().scripts;
    for (std::size_t i = 0; i < scripts.size(); ++i)
        console.line((i == 0 ? "Rename script: " : "Undo script: ") + escapeTsv(scripts[i]));
    listFailures(console, view, flags.FailureLogPath);
}

}  // namespace

int runGo(const CommandLine& commandLine, const CliContext& context) {
    const Console& console = context.console;
    WatchedFileSystem fileSystem(context.fileSystem);
    RenameSettings settings;
    if (!prepareOptions(commandLine, fileSystem, console, settings))
        return kExitError;

    // A renaming run always keeps its undo data: in the journal named, or in a new one of the
    // state folder. A batch run renames nothing; its undo script is its undo data.
    std::string journal;
    std::string runsFolder;
    if (commandLine.journalFile) {
        journal = *commandLine.journalFile;
    } else if (!settings.checked(Option::CheckBox13)) {
        runsFolder = keptRunsFolder();
        if (runsFolder.empty()) {
            console.error(
                "there is no state folder for the undo data (neither XDG_STATE_HOME "
                "nor HOME names one): give --journal FILE");
            return kExitError;
        }
        int error = 0;
        journal = newRunJournal(fileSystem, runsFolder, error);
        if (journal.empty()) {
            console.error("cannot make the folder " + quoted(runsFolder) +
                          " for the undo data: " + systemWords(error));
            return kExitError;
        }
    }
    std::optional<JournalFileKeeper> keeper;
    if (!journal.empty()) {
        if (const int error = probeJournal(fileSystem, journal)) {
            console.error(journalErrorText(journal, error));
            return kExitError;
        }
        keeper.emplace(fileSystem, journal);
    }

    // Ctrl-C ends the run: in the walk with nothing renamed, among the renames after those
    // under way (the view has no stop action to click instead).
    CliView view(console, nullptr);
    Renamer renamer(settings, fileSystem, context.clock, view);
    renamer.flags().Jobs = commandLine.jobs;
    renamer.setUndoKeeper(keeper ? &*keeper : nullptr);
    {
        InterruptHandler interrupt;
        renamer.Button1Click();
    }
    view.endProgress();

    const RunFlags& flags = renamer.flags();
    const bool renamed = flags.RenamedCount != 0;
    // A journal of renames that never happened undoes nothing; the state folder keeps the newest
    // runs only.
    if (keeper && keeper->created() && !renamed && (!runsFolder.empty() || view.stopped()))
        fileSystem.removeFile(keeper->path());
    if (!runsFolder.empty())
        pruneKeptRuns(fileSystem, runsFolder);
    if (keeper && keeper->keepError() != 0) {
        console.error(journalErrorText(keeper->path(), keeper->keepError()) +
                      " Nothing was renamed.");
        return kExitError;
    }
    if (view.stopped()) {
        if (!renamed && flags.FailureCount == 0) {
            console.line("Stopped, nothing was renamed.");
            return kExitInterrupted;
        }
        reportRenames(console, view, flags);
        // The journal holds every rename of the run; those neither done nor failed never began.
        const std::size_t notStarted = flags.Journal.size() -
                                       static_cast<std::size_t>(flags.RenamedCount) -
                                       static_cast<std::size_t>(flags.FailureCount);
        console.warning("stopped by Ctrl-C: " + std::to_string(notStarted) +
                        " rename(s) were never started");
        if (keeper && keeper->created() && renamed)
            console.line("The journal " + quoted(keeper->path()) + " can undo what was renamed.",
                         true);
        return kExitInterrupted;
    }
    if (view.error() || view.refused()) {
        if (view.error())
            reportCommandError(console, *view.error(), fileSystem.failedPath());
        // An error part of the way through the renames: what was done is counted.
        if (renamed || flags.FailureCount != 0)
            reportRenames(console, view, flags);
        if (keeper && keeper->created() && flags.JournalCount == 0)
            fileSystem.removeFile(keeper->path());
        else if (keeper && keeper->created())
            console.line("The journal " + quoted(keeper->path()) + " can undo what was renamed.",
                         true);
        return kExitError;
    }
    // A run that renamed nothing still leaves the journal it was told to keep, empty, for a
    // script to find.
    if (keeper && !keeper->created() && runsFolder.empty()) {
        if (const int error = keeper->keepEmpty()) {
            console.error(journalErrorText(keeper->path(), error));
            return kExitError;
        }
    }

    int status = flags.FailureCount != 0 ? kExitSomeFailed : kExitDone;
    reportRenames(console, view, flags);
    if (const auto nothing = nothingMatchedText(settings, flags))
        console.line(*nothing, true);
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
    return status;
}

}  // namespace zr
