// SPDX-License-Identifier: GPL-3.0-or-later
// The verbs of zentarel-renamer-cli over the core's commands. Each returns the exit status and
// has printed, when it fails, one line on standard error saying what was wrong.
#pragma once

#include <span>
#include <string>

#include "cli/command_line.h"
#include "cli/console.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace zr {

struct CliContext {
    FileSystem& fileSystem;
    Clock& clock;
    const Console& console;
};

// The whole program after start-up: parses `args` (without the program's name) and runs the
// verb.
int runCommandLine(std::span<const std::string> args, const CliContext& context);

int runScan(const CommandLine& commandLine, const CliContext& context);
int runGo(const CommandLine& commandLine, const CliContext& context);
int runUndo(const CommandLine& commandLine, const CliContext& context);

}  // namespace zr
