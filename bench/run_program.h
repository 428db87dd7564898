// SPDX-License-Identifier: GPL-3.0-or-later
// Starting another program from a benchmark: the tools it is compared with, and the command line.
#pragma once

#include <string>
#include <vector>

namespace zr::bench {

// Runs `args` (the program, found on PATH, then its arguments) to its end with its standard
// output thrown away, and its standard error too when `quiet`. Its exit status; -1 when it could
// not be started or did not exit by itself.
int runProgram(const std::vector<std::string>& args, bool quiet);

}  // namespace zr::bench
