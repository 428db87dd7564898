// Runs the built zentarel-renamer-cli (its path in $ZR_CLI) as a child process inside a test's
// temporary folder, with standard input empty and both outputs captured.
#pragma once

#include <string>
#include <vector>

namespace zr::test {

struct CliRun {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// Runs the program with `args` in the working directory `cwd`; its outputs go through files
// under $TMPDIR that are removed again.
// With `stdoutPath`, standard output goes to that file instead and `out` stays empty.
CliRun runCli(const std::string& cwd, const std::vector<std::string>& args,
              const std::string& stdoutPath = {});

}  // namespace zr::test
