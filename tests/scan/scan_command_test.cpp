// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <tuple>

#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Rows = std::vector<std::string>;

class ScanTest : public CommandTest {
protected:
    // "name>new" per row, sorted (the file system's order is not fixed).
    Rows rowPairs() const {
        Rows out;
        for (const PreviewRow& r : view.rows)
            out.push_back(r.currentName + ">" + r.newName + (r.directory ? " DIR" : ""));
        std::sort(out.begin(), out.end());
        return out;
    }

    // Entering a folder takes a millisecond, as on a network share: enough for a walk with
    // calls to spare to read ahead.
    void slowDownEntering() {
        fs.onCall(Op::ChangeDirectory, [](const std::string& path) {
            if (!path.ends_with("/.."))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }

    // Entering a folder takes a millisecond of the processor, as when a busy machine keeps the
    // walk waiting for one: just as long, but more threads would only wait too.
    void busyEntering() {
        fs.onCall(Op::ChangeDirectory, [](const std::string& path) {
            if (path.ends_with("/.."))
                return;
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
            while (std::chrono::steady_clock::now() < until) {
            }
        });
    }

    void buildNestedTree() {
        writeFile(tree + "/A.JPG", "aaaa");
        makeDirectory(tree + "/Sub.JPG/Deep");
        writeFile(tree + "/Sub.JPG/B.JPG", "b");
        writeFile(tree + "/Sub.JPG/Deep/C.JPG", "c");
        writeFile(tree + "/Sub.JPG/Deep/already.jpg");
    }
};

TEST_F(ScanTest, ShowsEveryStateOfARunInOrder) {
    writeFile(tree + "/A.JPG", "12345");
    startAt();
    lowerCaseWholeName();
    renamer->Button5Click();
    EXPECT_EQ(
        view.logWithoutWalkStatus(),
        (Rows{"caption Button5 &Stop !", "enable Button1 0", "busy on", "clear",
              "row A.JPG|a.jpg|5|" + clock.formatDate(view.rows.at(0).time()) + "|" +
                  clock.formatTime(view.rows.at(0).time()),
              "settle " + tree + ": 0 ok", "busy off undo=0", "enable Button1 1",
              "caption Button5 &Scan", "status Scanning done, found 1 file(s) to be renamed."}));
    // The walk shows the directory it is in after every entry, "." and ".." included.
    EXPECT_EQ(view.linesStartingWith("status /").size(), 3u);
    EXPECT_EQ(view.linesStartingWith("status /").front(), "status " + tree);
    EXPECT_EQ(view.pendingEventCalls, 3);
    EXPECT_FALSE(renamer->flags().ScanRunning);
    EXPECT_FALSE(renamer->flags().PreviewMode);
    EXPECT_EQ(settings.text(Option::Edit1), tree + "/");
    // A scan leaves the working directory at the parent of its start directory.
    EXPECT_EQ(renamer->flags().CurrentDir, temp.path());
    EXPECT_EQ(renamer->flags().SavedWorkDir, work);
    EXPECT_EQ(listNames(tree), (Rows{"A.JPG"}));  // nothing renamed
}

TEST_F(ScanTest, WhatReachesTheRulesDependsOnRecursionAndOnlyDirectories) {
    buildNestedTree();
    startAt();
    settings.setChecked(Option::CheckBox4, true);
    settings.setItemIndex(kLowerCase);
    settings.setChecked(Option::CheckBox6, true);

    settings.setChecked(Option::CheckBox1, true);
    settings.setChecked(Option::CheckBox14, false);
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"A.JPG>a.jpg", "B.JPG>b.jpg", "C.JPG>c.jpg"}));

    settings.setChecked(Option::CheckBox14, true);
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"Deep>deep DIR", "Sub.JPG>sub.jpg DIR"}));
    // A directory's row comes before the rows of the directories inside it.
    EXPECT_EQ(view.rows.front().currentName, "Sub.JPG");

    settings.setChecked(Option::CheckBox1, false);
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"Sub.JPG>sub.jpg DIR"}));

    // Without recursion a subdirectory is handed over like a file: filters apply, size 0.
    settings.setChecked(Option::CheckBox14, false);
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"A.JPG>a.jpg", "Sub.JPG>sub.jpg"}));
    const auto sub = std::find_if(view.rows.begin(), view.rows.end(),
                                  [](const PreviewRow& r) { return r.currentName == "Sub.JPG"; });
    EXPECT_EQ(sub->size, 0);
    EXPECT_FALSE(sub->directory);
    settings.setText(Option::Edit3, "*.JPG;x");
    writeFile(tree + "/other.txt");
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"A.JPG>a.jpg", "Sub.JPG>sub.jpg"}));
}

TEST_F(ScanTest, OnlyDirectoriesIgnoresTheFiltersEvenAnInvalidOne) {
    buildNestedTree();
    startAt("tree", "[");
    lowerCaseWholeName();
    settings.setChecked(Option::CheckBox14, true);
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"Deep>deep DIR", "Sub.JPG>sub.jpg DIR"}));
    EXPECT_TRUE(view.linesStartingWith("error").empty());
}

TEST_F(ScanTest, SizeDateAndTimeColumns) {
    const std::string photo = tree + "/P.JPG";
    writeFile(photo, std::string(1234, 'x'));
    const timeval times[2] = {{1700000001, 0}, {1700000001, 0}};  // an odd second
    ASSERT_EQ(utimes(photo.c_str(), times), 0);
    const std::string big = tree + "/DISK.ISO";
    writeFile(big);
    ASSERT_EQ(truncate(big.c_str(), 3'000'000'000LL), 0);
    startAt();
    lowerCaseWholeName();
    renamer->Button5Click();
    std::sort(view.rows.begin(), view.rows.end(), [](const PreviewRow& a, const PreviewRow& b) {
        return a.currentName < b.currentName;
    });
    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(PreviewText::size(view.rows[0]), "3000000000");
    EXPECT_EQ(PreviewText::size(view.rows[1]), "1234");
    PreviewText text(clock);
    EXPECT_EQ(text.date(view.rows[1]), "2023-11-14");
    EXPECT_EQ(text.time(view.rows[1]), "22:13:20");  // seconds truncated to even
    PreviewRow vanished = view.rows[1];
    vanished.known = false;
    EXPECT_EQ(text.date(vanished), "");
    EXPECT_EQ(text.time(vanished), "");
}

TEST_F(ScanTest, HiddenFilesAndEmptyNewNames) {
    writeFile(tree + "/.Hidden.JPG");
    writeFile(tree + "/abc");
    startAt();
    lowerCaseWholeName();
    settings.setChecked(Option::CheckBox10, true);
    settings.setText(Option::Edit8, "abc");
    renamer->Button5Click();
    // "abc" loses every character: counted, but no row; Go will fail to give it no name.
    EXPECT_EQ(rowPairs(), (Rows{".Hidden.JPG>.hidden.jpg"}));
    EXPECT_EQ(view.status, "Scanning done, found 2 file(s) to be renamed, 1 will fail.");
}

TEST_F(ScanTest, AStopFromInsideTheEventProcessingEndsADeepWalkPromptly) {
    std::string deep = tree;
    for (int level = 0; level < 30; ++level) {
        deep += "/D" + std::to_string(level);
        writeFile(deep + "/F" + std::to_string(level) + ".JPG");
    }
    startAt();
    lowerCaseWholeName();
    int calls = 0;
    std::string stoppedIn;
    Rows statusesAfterStop;
    view.onPendingEvents = [&] {
        if (!stoppedIn.empty()) {
            statusesAfterStop.push_back(view.status);
        } else if (++calls == 20) {
            renamer->Button5Click();  // the running command's button: a stop request
            stoppedIn = view.status;
        }
    };
    renamer->Button5Click();
    // The level that saw the stop handles no further entry; every level above it leaves right
    // after the status of the entry that led down, so each later status is one level up.
    std::string expected = stoppedIn;
    for (const std::string& status : statusesAfterStop) {
        expected = expected.substr(0, expected.rfind('/'));
        EXPECT_EQ(status, expected);
    }
    EXPECT_EQ(expected, tree);
    EXPECT_FALSE(view.rows.empty());
    EXPECT_LT(view.rows.size(), 30u);
    EXPECT_EQ(view.status, "Scanning done, found " + std::to_string(view.rows.size()) +
                               " file(s) to be renamed.");
    EXPECT_EQ(renamer->flags().CurrentDir, temp.path());
    EXPECT_FALSE(renamer->flags().ScanStopRequested);
    EXPECT_FALSE(renamer->flags().ScanRunning);
    EXPECT_EQ(view.captions[Control::Button5], "&Scan");
}

// A pattern that runs away is stopped by its time limit on every name it meets; a folder of such
// names, settled together for their numbers, still asks for events after each, so a stop ends
// the scan after one name, not after the whole folder.
TEST_F(ScanTest, AStopEndsAFolderOfRunawayPatternsAfterOneName) {
    for (int i = 0; i < 12; ++i)
        writeFile(tree + "/" + std::string(30 + i, 'a') + "b");
    startAt("tree", "*");
    settings.setChecked(ExtendedOption::PatternReplace, true);
    settings.setText(ExtendedOption::Pattern, "(a+)+$");
    settings.setText(ExtendedOption::Replacement, "{n}");
    view.onPendingEvents = [&] {
        if (!renamer->flags().ScanStopRequested)
            renamer->Button5Click();
    };
    renamer->Button5Click();
    EXPECT_EQ(renamer->flags().FilterMatchCount, 1);
    // Its row shows when it is also the first the walk lists.
    ASSERT_LE(view.rows.size(), 1u);
    const std::string found = std::to_string(view.rows.size());
    EXPECT_EQ(view.status, "Scanning done, found " + found + " file(s) to be renamed" +
                               (view.rows.empty() ? "." : ", 1 will fail."));
    if (!view.rows.empty()) {
        EXPECT_EQ(failureReason(view.rows[0]), "pattern took too long");
    }
}

// Reading ahead is for slow file systems: on a fast one every listing is read by the walk
// itself, on a slow one (or a slow part of one) a few threads read ahead, unless --jobs 1. Calls
// that take as long because the machine is busy are no slow file system.
TEST_F(ScanTest, ListingsAreReadAheadOnlyWhereCallsAreSlow) {
    for (int i = 0; i < 40; ++i)
        writeFile(tree + "/D" + std::to_string(i) + "/F.JPG");
    startAt();
    lowerCaseWholeName();
    const std::thread::id walker = std::this_thread::get_id();
    enum Calls { Quick, Sleeping, Busy };
    for (const auto& [calls, jobs, ahead] :
         {std::tuple{Quick, 16, false}, std::tuple{Sleeping, 16, true},
          std::tuple{Sleeping, 1, false}, std::tuple{Busy, 16, false}}) {
        fs.clear();
        if (calls == Sleeping)
            slowDownEntering();
        if (calls == Busy)
            busyEntering();
        std::atomic<int> elsewhere = 0;
        fs.onCall(Op::ListDirectory, [&](const std::string&) {
            elsewhere += std::this_thread::get_id() != walker ? 1 : 0;
        });
        renamer->flags().Jobs = jobs;
        renamer->Button5Click();
        EXPECT_EQ(elsewhere > 0, ahead) << calls << " " << jobs;
        EXPECT_EQ(view.rows.size(), 40u);
    }
}

// While the walk is busy with what it was handed (the front end takes its time with every
// entry), the threads read the next folders: also once as many are read as may wait to be taken,
// since each one taken makes room for another. So once reading ahead, the walk lists no folder
// itself.
TEST_F(ScanTest, FoldersAreReadAheadWhileTheWalkIsBusy) {
    // No rows: nothing but the folders themselves keeps the threads at work.
    for (int i = 0; i < 40; ++i)
        writeFile(tree + "/D" + std::to_string(i) + "/f.jpg");
    startAt();
    lowerCaseWholeName();
    slowDownEntering();
    const std::thread::id walker = std::this_thread::get_id();
    std::vector<bool> byWalk;
    fs.onCall(Op::ListDirectory,
              [&](const std::string&) { byWalk.push_back(std::this_thread::get_id() == walker); });
    view.onPendingEvents = [] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
    renamer->flags().Jobs = 2;
    renamer->Button5Click();
    ASSERT_EQ(byWalk.size(), 41u);
    const auto ahead = std::find(byWalk.begin(), byWalk.end(), false);
    ASSERT_NE(ahead, byWalk.end());
    EXPECT_EQ(std::count(ahead, byWalk.end(), true), 0)
        << "read ahead from listing " << (ahead - byWalk.begin()) << " of " << byWalk.size();
}

// With listings and row details read ahead, the view sees what the walk shows reading one call
// at a time: the same rows in the same order, the same statuses in the same order, the same
// errors, marks and count; plain, stopped at various points, with an unenterable or an
// unlistable folder, and folders only. (A row may come a few statuses later: it waits for its
// size and time.)
TEST_F(ScanTest, ReadingAheadShowsExactlyWhatOneCallAtATimeShows) {
    for (const char* top : {"A", "B", "C"}) {
        for (const char* mid : {"M1", "M2", "M3"}) {
            const std::string folder = tree + "/" + top + "/" + mid;
            writeFile(folder + "/X" + mid + ".JPG", "xx");
            writeFile(folder + "/Deep/Y.JPG", "y");
        }
        writeFile(tree + "/" + top + "/Z.JPG", top);
    }
    writeFile(tree + "/T.JPG");
    startAt();
    lowerCaseWholeName();
    struct Case {
        const char* what;
        int stopAt;  // the pending-event call that asks for a stop; 0: none
        Op fault;
        const char* faultAt;
        bool foldersOnly;
    };
    const Case cases[] = {
        {"plain", 0, Op::Rename, nullptr, false},
        {"stop at 1", 1, Op::Rename, nullptr, false},
        {"stop at 7", 7, Op::Rename, nullptr, false},
        {"stop at 23", 23, Op::Rename, nullptr, false},
        {"unenterable", 0, Op::ChangeDirectory, "/B/M2", false},
        {"unlistable", 0, Op::ListDirectory, "/A/M3", false},
        {"unenterable, folders only", 0, Op::ChangeDirectory, "/C", true},
        {"stop, folders only", 9, Op::Rename, nullptr, true},
    };
    for (const Case& c : cases) {
        Rows logs[2];
        Rows statuses[2];
        for (const int jobs : {1, 16}) {
            fs.clear();
            slowDownEntering();
            if (c.faultAt)
                fs.fail(c.fault, c.faultAt, EACCES);
            settings.setChecked(Option::CheckBox14, c.foldersOnly);
            int calls = 0;
            view.onPendingEvents = [&] {
                if (++calls == c.stopAt)
                    renamer->Button5Click();
            };
            renamer->flags().Jobs = jobs;
            view.clearLog();
            renamer->Button5Click();
            logs[jobs == 1 ? 0 : 1] = view.logWithoutWalkStatus();
            statuses[jobs == 1 ? 0 : 1] = view.linesStartingWith("status /");
        }
        EXPECT_EQ(logs[0], logs[1]) << c.what;
        EXPECT_EQ(statuses[0], statuses[1]) << c.what;
        EXPECT_FALSE(view.linesStartingWith("row ").empty()) << c.what;
    }
}

TEST_F(ScanTest, AMissingStartDirectoryKeepsThePreviousRowsAndReportsNone) {
    writeFile(tree + "/A.JPG");
    startAt();
    lowerCaseWholeName();
    renamer->Button5Click();
    ASSERT_EQ(view.rows.size(), 1u);
    const std::string before = renamer->flags().CurrentDir;
    settings.setText(Option::Edit1, temp / "missing");
    view.clearLog();
    renamer->Button5Click();
    EXPECT_EQ(view.rows.size(), 1u);
    EXPECT_TRUE(view.linesStartingWith("clear").empty());
    EXPECT_TRUE(view.linesStartingWith("error").empty());
    EXPECT_EQ(view.status, "Scanning done, found 0 file(s) to be renamed.");
    EXPECT_EQ(renamer->flags().CurrentDir, before);
}

TEST_F(ScanTest, ARelativeStartDirectoryIsTakenFromWhereTheLastScanLeftOff) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/inner/B.JPG");
    startAt();
    settings.setChecked(Option::CheckBox1, false);
    lowerCaseWholeName();
    renamer->Button5Click();  // leaves off in <temp>
    settings.setText(Option::Edit1, "tree/inner");
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"B.JPG>b.jpg"}));
    EXPECT_EQ(settings.text(Option::Edit1), "tree/inner/");
    EXPECT_EQ(renamer->flags().CurrentDir, tree);
}

TEST_F(ScanTest, AnInvalidMaskShowsTheErrorAndLeavesTheWindowIdle) {
    writeFile(tree + "/A.JPG");
    startAt("tree", "*.txt;[");
    lowerCaseWholeName();
    renamer->Button5Click();
    const Rows log = view.logWithoutWalkStatus();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], "busy off undo=0");
    EXPECT_EQ(log.back(), "error '[' is an invalid mask at (2)");
    EXPECT_FALSE(renamer->flags().ScanRunning);
    EXPECT_FALSE(renamer->flags().PreviewMode);
    EXPECT_EQ(view.captions[Control::Button5], "&Scan");
    EXPECT_TRUE(view.enabled[Control::Button1]);
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(renamer->flags().CurrentDir, temp.path());

    settings.setText(Option::Edit3, "*.JPG");
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"A.JPG>a.jpg"}));
}

TEST_F(ScanTest, UnlistableDirectoriesArePassedOverUnenterableOnesEndTheWalk) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/sealed/B.JPG");
    writeFile(tree + "/locked/C.JPG");
    startAt();
    lowerCaseWholeName();
    fs.fail(Op::ListDirectory, "/sealed", EACCES);
    renamer->Button5Click();
    EXPECT_EQ(rowPairs(), (Rows{"A.JPG>a.jpg", "C.JPG>c.jpg"}));

    fs.fail(Op::ChangeDirectory, "/locked", EACCES);
    renamer->Button5Click();
    EXPECT_EQ(view.log.back(), "error File access denied.");
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(renamer->flags().ScanRunning);
    EXPECT_FALSE(renamer->flags().DirectoryPass);
}

TEST_F(ScanTest, TooManyListEntriesRefuseTheScanNamingTheField) {
    std::string masks = "*";
    for (int i = 0; i < 100; ++i)
        masks += ";*" + std::to_string(i);
    startAt("tree", masks);
    renamer->Button5Click();
    EXPECT_EQ(view.log,
              (Rows{"Warning Too many entries in Filetypes (101), at most 100 allowed !"}));
}

}  // namespace
}  // namespace zr::test
