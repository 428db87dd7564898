// SPDX-License-Identifier: GPL-3.0-or-later
// A renamer over a temporary tree for command tests: the real file system wrapped in the
// fault-injecting one, a fixed clock and a recording front end. The run's working directory
// starts at <temp>/work; trees go under <temp>/tree.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "rename/renamer.h"
#include "support/faulty_file_system.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace zr::test {

class CommandTest : public ::testing::Test {
protected:
    CommandTest();

    // Sets the start directory to <temp>/tree (or below it) and the filters.
    void startAt(const std::string& relative = "tree", const std::string& filters = "*");
    // Lower case on the whole name: the simplest rule that changes upper-case names.
    void lowerCaseWholeName();

    using Op = FaultyFileSystem::Op;

    TempDir temp;
    std::string work;
    std::string tree;
    std::unique_ptr<FileSystem> real = makePosixFileSystem();
    FaultyFileSystem fs{*real};
    FixedClock clock;
    RecordingView view;
    RenameSettings settings;
    std::unique_ptr<Renamer> renamer;
};

}  // namespace zr::test
