// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built zentarel-renamer-cli (its path in $ZR_CLI) as a child process of the test, in
// its own process group, with standard input empty and both outputs captured.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace zr::test {

using CliRun = ProcessResult;

// Runs the program with `args` in the working directory `cwd` and waits for it.
// With `stdoutPath`, standard output goes to that file instead and `out` stays empty.
CliRun runCli(const std::string& cwd, const std::vector<std::string>& args,
              const std::string& stdoutPath = {});
CliRun runCli(const std::vector<std::string>& args, ProcessOptions options);

// Starts the program and returns at once.
std::unique_ptr<ChildProcess> startCli(const std::vector<std::string>& args,
                                       ProcessOptions options);

// The program's path ($ZR_CLI).
std::string cliProgram();

// The environment entries that load the fault shim ($ZR_FAULT_SHIM) with `rules`, after
// $ZR_PRELOAD_FIRST when that names a library (a sanitizer's runtime); a pause signals and waits
// in `pauseDir`.
std::vector<std::string> faultEnv(const std::string& rules, const std::string& pauseDir = {});

// Waits until a run paused by the fault shim has reached its pause (false: it ended first, or
// thirty seconds passed).
bool waitForPause(const std::string& pauseDir, ChildProcess& child);

}  // namespace zr::test
