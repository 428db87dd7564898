// SPDX-License-Identifier: GPL-3.0-or-later
// Where the command line writes: standard output and standard error, whether each is a
// terminal, and the one-line messages every verb prints the same way.
#pragma once

#include <cstdio>
#include <string_view>

namespace zr {

constexpr const char* kProgramName = "zentarel-renamer-cli";

// Exit statuses. A run stopped by Ctrl-C ends like a program ended by it in the shell's eyes.
enum ExitStatus : int {
    kExitDone = 0,
    kExitSomeFailed = 1,
    kExitError = 2,
    // The renames were carried out (some may have failed), but a step after them did not work.
    kExitWarningAfter = 3,
    kExitInterrupted = 130,
};

struct Console {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
    // Whether standard error is a terminal that takes control sequences, so that a progress line
    // can be drawn and taken back: not a dumb one (TERM=dumb), nor one whose kind is unknown.
    bool errTakesControl = false;
    // Columns of the terminal on standard error, for the progress line.
    int errColumns = 80;

    // The process's own streams, probed.
    static Console standard();

    // "zentarel-renamer-cli: <text>" on standard error: what ended the run.
    void error(std::string_view text) const;
    // "zentarel-renamer-cli: warning: <text>" on standard error: the run goes on.
    void warning(std::string_view text) const;
    // A line on standard output, or on standard error when `toErr`.
    void line(std::string_view text, bool toErr = false) const;
    // Hands standard output on; false when it could not take everything written to it.
    bool flushOut() const;
};

}  // namespace zr
