// SPDX-License-Identifier: GPL-3.0-or-later
// The part of the run state that the walk and the Scan command share with the rules.
#pragma once

#include <string>
#include <vector>

#include "rules/rule_state.h"
#include "scan/kept_fields.h"

namespace zr {

struct WalkState : RuleState {
    bool ScanRunning = false;
    bool GoStopRequested = false;
    bool ScanStopRequested = false;
    // The run's working directory (absolute): where relative start directories are resolved,
    // where a walk leaves off, and what Go restores. It stands in for the process's current
    // directory, which the program never changes.
    std::string CurrentDir;
    // The working directory at the start of the latest Go or Scan: where scripts and logs go.
    std::string SavedWorkDir;
    // File-system calls a run keeps in flight at once (listings read ahead, renames); 1 makes
    // one after another.
    int Jobs = 16;
    // What the latest Scan read from files, for the Go after it.
    KeptFields FieldsRead;
    // The entries of a Go walk that the rules gave no new name: the old full path and why. They
    // are not renamed, and count among the run's failures.
    struct RuleFailure {
        std::string oldFullPath;
        std::string reason;
    };
    std::vector<RuleFailure> RuleFailures;
};

}  // namespace zr
