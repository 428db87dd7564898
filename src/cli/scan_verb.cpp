// SPDX-License-Identifier: GPL-3.0-or-later
// `scan`: the preview rows of the options on standard output, then the closing status text.
#include "cli/cli_view.h"
#include "cli/interrupt.h"
#include "cli/prepare_options.h"
#include "cli/verbs.h"
#include "rename/renamer.h"

namespace zr {

int runScan(const CommandLine& commandLine, const CliContext& context) {
    const Console& console = context.console;
    WatchedFileSystem fileSystem(context.fileSystem);
    RenameSettings settings;
    if (!prepareOptions(commandLine, fileSystem, console, settings))
        return kExitError;

    OutputFormat format = commandLine.format;
    if (format == OutputFormat::Automatic)
        format = console.outIsTerminal ? OutputFormat::Table : OutputFormat::Tsv;
    PreviewPrinter printer(format, console.out, context.clock,
                           {commandLine.showConflicts, commandLine.showPath});
    CliView view(console, &printer);
    Renamer renamer(settings, fileSystem, context.clock, view);
    renamer.flags().Jobs = commandLine.jobs;
    // The marks foresee a go run from this same directory.
    renamer.foreseeGoFrom(renamer.flags().CurrentDir);
    {
        InterruptHandler interrupt;
        view.setStopAction([&renamer] { renamer.Button5Click(); });
        renamer.Button5Click();
    }
    view.endProgress();
    if (view.error()) {
        reportCommandError(console, *view.error(), fileSystem.failedPath());
        return kExitError;
    }
    if (view.refused())
        return kExitError;

    printer.finish();
    // Rows meant for a program keep standard output to themselves.
    console.line(view.status(), format != OutputFormat::Table);
    if (const auto nothing = nothingMatchedText(settings, renamer.flags()))
        console.line(*nothing, true);
    if (view.stopped()) {
        console.warning("stopped by Ctrl-C: the rows found until then are shown");
        return kExitInterrupted;
    }
    return kExitDone;
}

}  // namespace zr
