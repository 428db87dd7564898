// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide run state shared by the commands, the walk, the rules and the window.
#pragma once

#include <cstdint>
#include <string>

#include "scan/walk_state.h"

namespace zr {

// The error of a command that needs the run's working directory when it is not known (the
// directory the program was started in was removed).
inline constexpr const char* kNoWorkingDirectory = "Cannot find the current directory";

struct RunFlags : WalkState {
    // A Go or Undo run is in progress.
    bool GoRunning = false;
    // The first Go run has created the undo journal.
    bool JournalCreated = false;
    // The window's first activation has applied the remembered settings.
    bool SettingsLoaded = false;
    std::int32_t RenamedCount = 0;
    std::int32_t FailureCount = 0;
    // The failure log of the latest Go or Undo run that had failures; empty when there is none.
    std::string FailureLogPath;
};

}  // namespace zr
