// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_process.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "support/temp_dir.h"

namespace zr::test {

std::string cliProgram() {
    const char* program = std::getenv("ZR_CLI");
    if (!program || !*program)
        throw std::runtime_error("ZR_CLI does not name the program");
    return program;
}

std::unique_ptr<ChildProcess> startCli(const std::vector<std::string>& args,
                                       ProcessOptions options) {
    return std::make_unique<ChildProcess>(cliProgram(), args, std::move(options));
}

CliRun runCli(const std::vector<std::string>& args, ProcessOptions options) {
    return startCli(args, std::move(options))->wait();
}

CliRun runCli(const std::string& cwd, const std::vector<std::string>& args,
              const std::string& stdoutPath) {
    ProcessOptions options;
    options.cwd = cwd;
    options.stdoutPath = stdoutPath;
    return runCli(args, std::move(options));
}

std::vector<std::string> faultEnv(const std::string& rules, const std::string& pauseDir) {
    const char* shim = std::getenv("ZR_FAULT_SHIM");
    if (!shim || !*shim)
        throw std::runtime_error("ZR_FAULT_SHIM does not name the fault shim");
    // A sanitizer's runtime must come before every other library.
    const char* first = std::getenv("ZR_PRELOAD_FIRST");
    const std::string preload = first && *first ? std::string(first) + ":" + shim : shim;
    std::vector<std::string> env{"LD_PRELOAD=" + preload, "ZR_FAULTS=" + rules};
    if (!pauseDir.empty())
        env.push_back("ZR_FAULTS_DIR=" + pauseDir);
    return env;
}

bool waitForPause(const std::string& pauseDir, ChildProcess& child) {
    for (int i = 0; i < 3000 && !exists(pauseDir + "/paused"); ++i) {
        if (child.finished())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return exists(pauseDir + "/paused");
}

}  // namespace zr::test
