// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/interrupt.h"

namespace zr {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
}

}  // namespace

InterruptHandler::InterruptHandler() {
    g_interrupted = 0;
    if (sigaction(SIGINT, nullptr, &m_previous) != 0 || m_previous.sa_handler == SIG_IGN)
        return;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    // SA_RESTART: output to a pipe must not fail with EINTR because of the first Ctrl-C.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    m_installed = sigaction(SIGINT, &action, nullptr) == 0;
}

InterruptHandler::~InterruptHandler() {
    if (m_installed)
        sigaction(SIGINT, &m_previous, nullptr);
}

bool InterruptHandler::requested() {
    return g_interrupted != 0;
}

}  // namespace zr
