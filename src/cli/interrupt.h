// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl-C while a command runs. The first one only raises a flag, which the command line reads
// between the entries of a walk as a click on the Stop button; the system then puts the default
// action back (SA_RESETHAND), so a second Ctrl-C ends the program at once.
#pragma once

#include <csignal>

namespace zr {

// Installs the handler for the lifetime of the object and puts the previous action back after.
// Where Ctrl-C is ignored (a job started in the background), it stays ignored.
class InterruptHandler {
public:
    InterruptHandler();
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

    // Whether Ctrl-C was pressed since the handler was installed.
    static bool requested();

private:
    struct sigaction m_previous {};
    bool m_installed = false;
};

}  // namespace zr
