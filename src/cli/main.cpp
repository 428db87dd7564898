// SPDX-License-Identifier: GPL-3.0-or-later
// zentarel-renamer-cli: the renamer from a terminal and from scripts.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/verbs.h"

int main(int argc, char** argv) {
    // Dates and times in the user's formats.
    std::setlocale(LC_ALL, "");
    // Scan can write a row per file: write them in large blocks.
    static char outBuffer[64 * 1024];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

    // A walk holds a descriptor for each level of the tree it is in.
    zr::raiseOpenFileLimit();
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto fileSystem = zr::makePosixFileSystem();
    auto clock = zr::makeSystemClock();
    const zr::Console console = zr::Console::standard();
    int status = zr::runCommandLine(args, {*fileSystem, *clock, console});
    // Rows or a status that never arrived (a full disk) must not look like success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        console.error("cannot write to standard output");
        if (status < zr::kExitError)
            status = zr::kExitError;
    }
    return status;
}
