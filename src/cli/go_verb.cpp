// `go`: renames as the Go command does (or writes its scripts), optionally keeping the undo data
// in a journal file for `undo`.
#include <cerrno>

#include "cli/cli_view.h"
#include "cli/interrupt.h"
#include "cli/journal_file.h"
#include "cli/name_text.h"
#include "cli/prepare_options.h"
#include "cli/verbs.h"
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

    const std::string journalPath = commandLine.journalFile.value_or("");
    if (commandLine.journalFile) {
        if (const int error = probeJournal(fileSystem, journalPath)) {
            console.error(journalErrorText(journalPath, error));
            return kExitError;
        }
    }

    CliView view(console, nullptr);
    Renamer renamer(settings, fileSystem, context.clock, view);
    renamer.flags().BatchFormat = commandLine.scriptFormat;
    int journalError = 0;
    bool journalCreated = false;
    // Runs when the walk is over and before the first rename: the whole journal is on disk
    // before anything is renamed, and a journal that cannot be written renames nothing. A
    // batch run renames nothing, so its journal holds no entries (the undo script is its undo).
    fileSystem.beforeNextCreate([&] {
        view.endProgress();
        if (!commandLine.journalFile)
            return 0;
        std::unique_ptr<OutputFile> file = fileSystem.createFile(journalPath, journalError);
        if (!file)
            return journalError;
        journalCreated = true;
        const UndoJournal none;
        const bool batch = settings.checked(Option::CheckBox13);
        journalError = writeJournal(*file, batch ? none : renamer.flags().Journal);
        return journalError;
    });
    {
        InterruptHandler interrupt;
        view.setStopAction([&renamer] { renamer.Button1Click(); });
        renamer.Button1Click();
    }
    // A run that ended before renaming (an error, a start directory gone) writes its journal
    // now, empty.
    fileSystem.runPendingHook();
    view.endProgress();

    const RunFlags& flags = renamer.flags();
    if (journalError != 0)
        console.error(journalErrorText(journalPath, journalError) + " Nothing was renamed.");
    else if (view.error())
        reportCommandError(console, *view.error(), fileSystem.failedPath());
    if (journalError != 0 || view.error() || view.refused()) {
        if (journalCreated && flags.JournalCount == 0)
            fileSystem.removeFile(journalPath);
        else if (journalCreated)
            console.line("The journal " + quoted(journalPath) + " can undo what was renamed.",
                         true);
        return kExitError;
    }

    console.line(view.status());
    if (flags.FailureCount != 0)
        console.line("Failure log: " + escapeTsv(flags.FailureLogPath));
    if (view.stopped()) {
        console.warning("stopped by Ctrl-C: the renames queued until then were carried out");
        return kExitInterrupted;
    }
    return flags.FailureCount != 0 ? kExitSomeFailed : kExitDone;
}

}  // namespace zr
