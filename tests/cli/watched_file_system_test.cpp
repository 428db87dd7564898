// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/watched_file_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/command_fixture.h"

namespace zr::test {
namespace {

using WatchedFileSystemTest = CommandTest;

// The path an error of the command line names is the one the walk itself failed at. Threads
// that read ahead meet failures the walk may never reach (it ends earlier): they leave no trace,
// and an error without a path of its own names none, as one call at a time does.
TEST_F(WatchedFileSystemTest, AnErrorNamesOnlyWhatTheWalkItselfFailedAt) {
    for (int i = 0; i < 40; ++i) {
        const std::string folder = tree + "/X" + (i < 10 ? "0" : "") + std::to_string(i);
        writeFile(folder + "/P.JPG");
        if (i >= 25)
            makeDirectory(folder + "/N");
    }
    startAt();
    lowerCaseWholeName();
    WatchedFileSystem watched(fs);
    renamer = std::make_unique<Renamer>(settings, watched, clock, view);
    struct Case {
        const char* what;
        const char* breaksAt;  // a listing that breaks off with EIO there
        std::string named;     // the error as the command line gives it, the tree left out
    };
    const Case cases[] = {
        {"a listing that breaks off", "/X20/P.JPG", "error I/O error 5. at ''"},
        {"a folder that cannot be entered", nullptr, "error File not found. at '/X25/N'"},
    };
    for (const Case& c : cases) {
        for (const int jobs : {1, 16}) {
            fs.clear();
            fs.sortListings(1);
            if (c.breaksAt)
                fs.fail(Op::ReadDirectory, c.breaksAt, EIO);
            fs.fail(Op::ChangeDirectory, "/N", ENOENT);
            // Slow folders, and a walk that takes its time at X19 while the threads read on.
            fs.onCall(Op::ChangeDirectory, [](const std::string& path) {
                if (!path.ends_with("/.."))
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
            view.onPendingEvents = [&] {
                if (view.status.ends_with("/X19"))
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            };
            renamer->flags().Jobs = jobs;
            view.clearLog();
            renamer->Button5Click();
            std::string path = watched.failedPath();
            if (path.starts_with(tree))
                path.erase(0, tree.size());
            const std::vector<std::string> errors = view.linesStartingWith("error");
            ASSERT_EQ(errors.size(), 1u) << c.what << " " << jobs;
            EXPECT_EQ(errors[0] + " at '" + path + "'", c.named) << c.what << " " << jobs;
        }
    }
}

}  // namespace
}  // namespace zr::test
