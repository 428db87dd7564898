// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "cli/verbs.h"

namespace zr {

int runCommandLine(std::span<const std::string> args, const CliContext& context) {
    CommandLine commandLine;
    std::string error;
    if (!parseCommandLine(args, commandLine, error)) {
        context.console.error(error);
        return kExitError;
    }
    switch (commandLine.verb) {
        case Verb::Help:
            std::fputs((commandLine.helpTopic == HelpTopic::Fields ? fieldsHelpText() : helpText())
                           .c_str(),
                       context.console.out);
            return kExitDone;
        case Verb::Version:
            std::fputs(versionText(kProgramName).c_str(), context.console.out);
            return kExitDone;
        case Verb::Scan:
            return runScan(commandLine, context);
        case Verb::Go:
            return runGo(commandLine, context);
        case Verb::Undo:
            return runUndo(commandLine, context);
    }
    return kExitError;
}

}  // namespace zr
