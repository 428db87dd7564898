// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

#include "rules/app_error.h"
#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

class GoTest : public CommandTest {
protected:
    // The log of the Go command without the walk's status lines.
    Lines goLog() const { return view.logWithoutWalkStatus(); }
};

TEST_F(GoTest, RenamesAndShowsEveryStateInOrder) {
    writeFile(tree + "/A.JPG", "a");
    writeFile(tree + "/b.jpg", "b");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    // Past the walk the button says what is under way, since a press can stop nothing there.
    EXPECT_EQ(goLog(),
              (Lines{"caption Button1 &Stop !", "enable Button5 0", "busy on",
                     "caption Button1 Renaming", "enable Button1 0", "enable Viewlastfailurelog1 0",
                     "status Done, 1 file(s) renamed, 0 failure(s).", "enable Button5 1",
                     "enable Button1 1", "busy off undo=1", "enable Button3 1",
                     "enable SaveUndoasbat1 1", "caption Button1 &Go !"}));
    EXPECT_EQ(listNames(tree), (Lines{"a.jpg", "b.jpg"}));
    EXPECT_EQ(readFile(tree + "/a.jpg"), "a");
    // The failure log was created and deleted again.
    EXPECT_TRUE(listNames(work).empty());
    EXPECT_EQ(fs.calls(Op::CreateFile), 1);
    EXPECT_EQ(renamer->flags().FailureLogPath, "");
    EXPECT_EQ(renamer->flags().CurrentDir, work);
    EXPECT_EQ(renamer->flags().JournalCount, 1);
    EXPECT_EQ(renamer->flags().Journal[0].text(), tree + "/A.JPG*a.jpg");
    EXPECT_FALSE(renamer->flags().GoRunning);
    EXPECT_TRUE(renamer->hasUndoData());
}

TEST_F(GoTest, NothingToRenameLeavesNoUndoData) {
    writeFile(tree + "/a.jpg");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 0 file(s) renamed, 0 failure(s).");
    EXPECT_FALSE(view.enabled[Control::Button3]);
    EXPECT_FALSE(view.enabled[Control::SaveUndoasbat1]);
    EXPECT_TRUE(renamer->flags().JournalCreated);
}

TEST_F(GoTest, FailedRenamesGoToTheLogAndTheNextRunTakesTheNextFreeLogName) {
    writeFile(tree + "/A.JPG", "upper");
    writeFile(tree + "/a.jpg", "lower");  // the new name is taken
    writeFile(tree + "/B.JPG", "b");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 1 file(s) renamed, 1 failure(s).  [see failure log]");
    EXPECT_EQ(readFile(tree + "/a.jpg"), "lower");
    EXPECT_EQ(readFile(tree + "/A.JPG"), "upper");
    const std::string log = work + "/renamer_failures.log";
    EXPECT_EQ(readFile(log),
              "; Renamer failure log from 2023-11-14 22:13:20\r\n" + tree + "/A.JPG -> a.jpg\r\n");
    EXPECT_EQ(renamer->flags().FailureLogPath, log);
    EXPECT_EQ(view.enabled[Control::Viewlastfailurelog1], true);
    EXPECT_EQ(renamer->flags().JournalCount, 2);  // failed renames are undo data too

    view.answers = {true};
    renamer->Button1Click();
    EXPECT_EQ(view.linesStartingWith("ask"),
              (Lines{"ask Are you sure to discard undo data within new rename ?"}));
    EXPECT_EQ(renamer->flags().FailureLogPath, work + "/renamer_failures_1.log");
    EXPECT_EQ(listNames(work), (Lines{"renamer_failures.log", "renamer_failures_1.log"}));
}

TEST_F(GoTest, AnsweringNoKeepsTheUndoDataUntouched) {
    writeFile(tree + "/A.JPG");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    writeFile(tree + "/C.JPG");
    view.clearLog();
    view.answers = {false};
    renamer->Button1Click();
    EXPECT_EQ(view.log, (Lines{"caption Button1 &Stop !",
                               "ask Are you sure to discard undo data within new rename ?",
                               "caption Button1 &Go !"}));
    EXPECT_EQ(renamer->flags().Journal[0].text(), tree + "/A.JPG*a.jpg");
    EXPECT_TRUE(test::exists(tree + "/C.JPG"));
    EXPECT_FALSE(renamer->flags().GoRunning);
}

TEST_F(GoTest, AMissingStartDirectoryWarnsAndTheOldUndoDataIsGone) {
    writeFile(tree + "/A.JPG");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    settings.setText(Option::Edit1, temp / "missing");
    view.clearLog();
    renamer->Button1Click();
    EXPECT_EQ(view.linesStartingWith("Warning"),
              (Lines{"Warning Cannot find directory " + temp / "missing/"}));
    EXPECT_TRUE(view.linesStartingWith("status").empty());
    EXPECT_FALSE(view.enabled[Control::Button3]);
    EXPECT_FALSE(renamer->hasUndoData());
    EXPECT_EQ(renamer->flags().CurrentDir, work);
}

TEST_F(GoTest, MismatchedConvertListsWarnTwiceAndTheRunGoesOn) {
    writeFile(tree + "/A.JPG");
    startAt();
    lowerCaseWholeName();
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "a;b");
    settings.setText(Option::Edit10, "x");
    settings.setChecked(Option::CheckBox9, true);
    settings.setText(Option::Edit6, "ab");
    settings.setText(Option::Edit7, "x");
    renamer->Button1Click();
    EXPECT_EQ(view.linesStartingWith("Warning"),
              (Lines{"Warning Count of convert string(s) not equal !",
                     "Warning Lengths of convert chars not equal !"}));
    EXPECT_EQ(listNames(tree), (Lines{"a.jpg"}));
}

TEST_F(GoTest, AStopDuringTheWalkRenamesWhatWasQueuedSoFar) {
    for (int i = 0; i < 10; ++i)
        writeFile(tree + "/F" + std::to_string(i) + ".JPG");
    startAt();
    lowerCaseWholeName();
    int calls = 0;
    view.onPendingEvents = [&] {
        if (++calls == 6)
            renamer->Button1Click();
    };
    renamer->Button1Click();
    const int queued = renamer->flags().JournalCount;
    EXPECT_GT(queued, 0);
    EXPECT_LT(queued, 10);
    EXPECT_EQ(view.status, "Done, " + std::to_string(queued) + " file(s) renamed, 0 failure(s).");
    const Lines names = listNames(tree);
    EXPECT_EQ(
        std::count_if(names.begin(), names.end(), [](const std::string& n) { return n[0] == 'f'; }),
        queued);
    EXPECT_TRUE(view.linesStartingWith("Information").empty());
    EXPECT_FALSE(renamer->flags().GoStopRequested);
}

// Stopped at the same entry, a walk that reads ahead queues what one reading a call at a time
// queues, and the run renames the same: the journal, its failed marks, the counts and the tree.
TEST_F(GoTest, AStoppedWalkReadingAheadQueuesWhatOneCallAtATimeQueues) {
    startAt();
    lowerCaseWholeName();
    settings.setChecked(Option::CheckBox14, false);
    for (const int stopAt : {1, 4, 9, 15, 0}) {
        Lines outcomes[2];
        for (const int jobs : {1, 16}) {
            std::filesystem::remove_all(tree);
            for (const char* top : {"A", "B", "C", "D"}) {
                for (const char* name : {"X.JPG", "Y.JPG", "x.jpg", "In/Z.JPG", "In/Deep/W.JPG"})
                    writeFile(tree + "/" + top + "/" + name);
            }
            // Entering a folder takes a while, as on a network share, so the walk reads ahead.
            fs.onCall(Op::ChangeDirectory, [](const std::string& path) {
                if (!path.ends_with("/.."))
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
            int calls = 0;
            view.onPendingEvents = [&] {
                if (++calls == stopAt)
                    renamer->Button1Click();
            };
            renamer->flags().Jobs = jobs;
            renamer->Button1Click();
            Lines& outcome = outcomes[jobs == 1 ? 0 : 1];
            const UndoJournal& journal = renamer->flags().Journal;
            for (std::size_t i = 0; i < journal.size(); ++i)
                outcome.push_back(std::string(journal[i].oldFullPath()) + " > " +
                                  std::string(journal[i].newName()) +
                                  (journal.failed(i) ? " failed" : ""));
            outcome.push_back(view.status);
            for (const std::string& path : listTree(tree))
                outcome.push_back(path);
        }
        EXPECT_EQ(outcomes[0], outcomes[1]) << "stop at " << stopAt;
    }
}

TEST_F(GoTest, NestedDirectoriesAreRenamedAtEveryLevelAndUndoneInBothDirections) {
    makeDirectory(tree + "/OUTER/MIDDLE/INNER");
    writeFile(tree + "/OUTER/MIDDLE/INNER/keep.txt", "x");
    startAt();
    lowerCaseWholeName();
    settings.setChecked(Option::CheckBox14, true);
    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 3 file(s) renamed, 0 failure(s).");
    EXPECT_EQ(listTree(tree), (Lines{"outer/", "outer/middle/", "outer/middle/inner/",
                                     "outer/middle/inner/keep.txt"}));
    renamer->Button3Click();
    EXPECT_EQ(view.status, "Undo done, 3 file(s) renamed back, 0 failure(s).");
    EXPECT_EQ(listTree(tree), (Lines{"OUTER/", "OUTER/MIDDLE/", "OUTER/MIDDLE/INNER/",
                                     "OUTER/MIDDLE/INNER/keep.txt"}));

    // The other way round: a lower-case tree made upper case, and undone.
    renamer->Button1Click();
    settings.setItemIndex(kUpperCase);
    view.answers = {true};
    renamer->Button1Click();
    EXPECT_EQ(listTree(tree), (Lines{"OUTER/", "OUTER/MIDDLE/", "OUTER/MIDDLE/INNER/",
                                     "OUTER/MIDDLE/INNER/keep.txt"}));
    renamer->Button3Click();
    EXPECT_EQ(listTree(tree), (Lines{"outer/", "outer/middle/", "outer/middle/inner/",
                                     "outer/middle/inner/keep.txt"}));
}

TEST_F(GoTest, ANewNameWithASlashNeverMovesTheEntry) {
    writeFile(tree + "/a.txt", "a");
    makeDirectory(tree + "/x");
    startAt("tree", "*.txt");
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "x/");
    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 0 file(s) renamed, 1 failure(s).  [see failure log]");
    EXPECT_EQ(listTree(tree), (Lines{"a.txt", "x/"}));
    EXPECT_EQ(
        readFile(work + "/renamer_failures.log"),
        "; Renamer failure log from 2023-11-14 22:13:20\r\n" + tree + "/a.txt -> x/a.txt\r\n");
    // Undo of that entry must not move anything either.
    writeFile(tree + "/x/a.txt", "other");
    renamer->Button3Click();
    EXPECT_EQ(readFile(tree + "/x/a.txt"), "other");
    EXPECT_EQ(readFile(tree + "/a.txt"), "a");
}

TEST_F(GoTest, CaseOnlyRenamesAndInvalidUtf8NamesRoundTripByteForByte) {
    const std::string odd = "Caf\xE9 \xFF\xFE.JPG";
    writeFile(tree + "/" + odd, "odd");
    writeFile(tree + "/README.TXT", "r");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    EXPECT_EQ(listNames(tree), (Lines{"caf\xE9 \xFF\xFE.jpg", "readme.txt"}));
    EXPECT_EQ(readFile(tree + "/caf\xE9 \xFF\xFE.jpg"), "odd");
    renamer->Button3Click();
    EXPECT_EQ(listNames(tree), (Lines{odd, "README.TXT"}));
}

TEST_F(GoTest, AnErrorInTheWalkDropsWhatWasQueuedAndRenamesNothing) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/locked/B.JPG");
    startAt();
    lowerCaseWholeName();
    fs.fail(Op::ChangeDirectory, "/locked", EACCES);
    renamer->Button1Click();
    EXPECT_EQ(view.log.back(), "error File access denied.");
    EXPECT_TRUE(test::exists(tree + "/A.JPG"));
    EXPECT_FALSE(renamer->hasUndoData());
    EXPECT_FALSE(view.enabled[Control::Button3]);
    EXPECT_TRUE(view.enabled[Control::Button5]);
    EXPECT_EQ(view.captions[Control::Button1], "&Go !");
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(renamer->flags().GoRunning);
    EXPECT_EQ(renamer->flags().CurrentDir, work);
}

TEST_F(GoTest, ALogThatCannotBeWrittenPartWayKeepsTheUndoDataOfWhatWasDone) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/a.jpg");  // makes A.JPG fail, which needs a log line
    writeFile(tree + "/B.JPG");
    writeFile(tree + "/b.jpg");
    writeFile(tree + "/C.JPG");
    startAt();
    lowerCaseWholeName();
    // Room for the header and nothing more.
    fs.failWritesAfter(std::string("; Renamer failure log from 2023-11-14 22:13:20\r\n").size());
    renamer->Button1Click();
    EXPECT_EQ(view.log.back(), "error No space left on device.");
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(renamer->flags().GoRunning);
    EXPECT_EQ(view.captions[Control::Button1], "&Go !");
    EXPECT_TRUE(renamer->hasUndoData());
    EXPECT_TRUE(view.enabled[Control::Button3]);
    // The run ended at the first failure line, which did not fit: the log never got its name.
    EXPECT_EQ(listNames(work), Lines{});

    fs.clear();
    renamer->Button3Click();
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG", "C.JPG", "a.jpg", "b.jpg"}));
}

TEST_F(GoTest, ALogThatCannotBeCreatedRenamesNothing) {
    writeFile(tree + "/A.JPG");
    startAt();
    lowerCaseWholeName();
    fs.fail(Op::CreateFile, "renamer_failures.log", EACCES);
    renamer->Button1Click();
    EXPECT_EQ(view.log.back(), "error File access denied.");
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG"}));
    EXPECT_FALSE(renamer->hasUndoData());
    EXPECT_FALSE(renamer->flags().GoRunning);
}

TEST_F(GoTest, RefusalsComeBeforeTheUndoDataIsTouched) {
    writeFile(tree + "/A.JPG");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    std::string many = "x";
    for (int i = 0; i < 150; ++i)
        many += ";x";
    struct Row {
        Option option;
        std::string text;
        std::string warning;
    };
    for (const Row& r : {
             Row{Option::Edit5, many,
                 "Warning Too many entries in Kill string(s) (151), at most 100 allowed !"},
             // A system call would cut the name at the NUL byte.
             Row{Option::Edit2, std::string("X\0Y_", 4),
                 "Warning Invalid value for 'ed14': it holds a NUL byte"},
         }) {
        RenameSettings before = settings;
        settings.setChecked(Option::CheckBox5, true);
        settings.setText(r.option, r.text);
        view.clearLog();
        renamer->Button1Click();
        EXPECT_EQ(view.log, Lines{r.warning});
        EXPECT_TRUE(renamer->hasUndoData());
        settings = before;
    }
}

TEST_F(GoTest, AnEmptyStartDirectoryNamesNoDirectory) {
    // Were it the root, the walk would list "/": a filter that matches nothing and no recursion
    // keep this test harmless even then.
    startAt("tree", "no-such-name-*");
    settings.setChecked(Option::CheckBox1, false);
    settings.setText(Option::Edit1, "");
    renamer->Button1Click();
    EXPECT_EQ(view.linesStartingWith("Warning"), Lines{"Warning Cannot find directory "});
    renamer->Button5Click();
    EXPECT_EQ(view.status, "Scanning done, found 0 file(s) to be renamed.");
    EXPECT_EQ(fs.calls(Op::ListDirectory), 0);
    EXPECT_EQ(settings.text(Option::Edit1), "");
}

TEST_F(GoTest, AnyExceptionEndsACommandLikeAnErrorAndLeavesTheFrontEndIdle) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/B.JPG");
    startAt();
    lowerCaseWholeName();
    struct Row {
        Op op;
        int call;  // the call of `op` that throws, counted from 1
        std::function<void()> thrower;
        std::function<void()> command;
        std::string error;
    };
    const Row rows[] = {
        // The Go renames one file before the second rename throws.
        {Op::Rename, 2, [] { throw std::bad_alloc(); }, [&] { renamer->Button1Click(); },
         "error Out of memory."},
        {Op::ListDirectory, 1, [] { throw std::runtime_error("boom"); },
         [&] { renamer->Button5Click(); }, "error Unexpected error: boom."},
        {Op::Rename, 1, [] { throw 42; }, [&] { renamer->Button3Click(); },
         "error Unexpected error."},
        {Op::CreateFile, 1, [] { throw std::bad_alloc(); }, [&] { renamer->SaveUndoasbat1Click(); },
         "error Out of memory."},
    };
    for (const Row& r : rows) {
        int calls = 0;
        fs.onCall(r.op, [&](const std::string&) {
            if (++calls == r.call)
                r.thrower();
        });
        view.clearLog();
        r.command();
        fs.clear();
        EXPECT_EQ(view.log.back(), r.error);
        EXPECT_FALSE(view.busy);
        EXPECT_FALSE(renamer->flags().GoRunning);
        EXPECT_FALSE(renamer->flags().ScanRunning);
        EXPECT_FALSE(renamer->flags().PreviewMode);
        EXPECT_NE(view.captions[Control::Button1], "&Stop !");
        EXPECT_NE(view.captions[Control::Button5], "&Stop !");
        EXPECT_TRUE(view.enabled[Control::Button5]);
    }
    // The Go had begun renaming, so what it did stays undoable; the Undo that failed kept it.
    EXPECT_TRUE(renamer->hasUndoData());
    renamer->Button3Click();
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG"}));
}

TEST_F(GoTest, WhileACommandRunsTheOthersDoNothingAndTheWalkKeepsItsPlace) {
    for (int i = 0; i < 3; ++i)
        writeFile(tree + "/D" + std::to_string(i) + "/F.JPG");
    writeFile(temp / "D0/F.JPG");  // a look-alike where a walk that lost its place would look
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();  // undo data for an Undo or an export to act on
    renamer->Button3Click();
    renamer->Button1Click();
    ASSERT_TRUE(renamer->hasUndoData());
    renamer->Button3Click();

    int pending = 0;
    view.onPendingEvents = [&] {
        if (++pending != 2)
            return;
        renamer->Button5Click();  // a Scan, an Undo and an export inside the Go
        renamer->Button3Click();
        renamer->SaveUndoasbat1Click();
        renamer->flags().CurrentDir = temp.path();  // and the run state's place moved away
    };
    renamer->Button1Click();
    EXPECT_GE(pending, 2);
    EXPECT_TRUE(view.linesStartingWith("row").empty());
    EXPECT_TRUE(listNames(work).empty());  // no export was written
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(listNames(tree + "/D" + std::to_string(i)), Lines{"f.jpg"});
    EXPECT_EQ(listNames(temp / "D0"), Lines{"F.JPG"});
    EXPECT_EQ(renamer->flags().CurrentDir, work);

    // And a Go inside a Scan, which would have to ask before it throws the undo data away.
    pending = 0;
    view.onPendingEvents = [&] {
        if (++pending == 2)
            renamer->Button1Click();
    };
    view.clearLog();
    renamer->Button5Click();
    EXPECT_TRUE(view.linesStartingWith("ask").empty());
    EXPECT_TRUE(renamer->hasUndoData());
    EXPECT_EQ(view.status, "Scanning done, found 0 file(s) to be renamed.");
}

// Records what the tree and the work folder hold when the executor hands it the undo data.
class RecordingKeeper : public UndoKeeper {
public:
    RecordingKeeper(std::string tree, std::string work)
        : m_tree(std::move(tree)), m_work(std::move(work)) {}

    void keep(const UndoJournal& journal) override {
        keptEntries = journal.size();
        treeWhenKept = listNames(m_tree);
        workWhenKept = listNames(m_work);
        if (refuse)
            throw AppError("cannot keep");
    }
    void finish(const UndoJournal& journal) override { failedAtFinish = journal.failedCount(); }

    bool refuse = false;
    std::size_t keptEntries = 0;
    std::size_t failedAtFinish = 99;
    Lines treeWhenKept;
    Lines workWhenKept;

private:
    std::string m_tree;
    std::string m_work;
};

TEST_F(GoTest, TheUndoDataIsKeptAfterTheWalkAndBeforeTheFirstRename) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/B.JPG");
    writeFile(tree + "/b.jpg");  // makes B.JPG fail
    startAt();
    lowerCaseWholeName();
    RecordingKeeper keeper(tree, work);
    renamer->setUndoKeeper(&keeper);
    keeper.refuse = true;
    renamer->Button1Click();
    EXPECT_EQ(view.log.back(), "error cannot keep.");
    EXPECT_EQ(keeper.keptEntries, 2u);
    EXPECT_EQ(keeper.workWhenKept, Lines{});  // the log is ready, without a name yet
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG", "b.jpg"}));  // nothing renamed
    EXPECT_EQ(listNames(work), Lines{});                             // and no log left
    EXPECT_FALSE(renamer->hasUndoData());

    keeper.refuse = false;
    renamer->Button1Click();
    EXPECT_EQ(keeper.treeWhenKept, (Lines{"A.JPG", "B.JPG", "b.jpg"}));
    EXPECT_EQ(listNames(tree), (Lines{"B.JPG", "a.jpg", "b.jpg"}));
    EXPECT_EQ(keeper.failedAtFinish, 1u);
}

}  // namespace
}  // namespace zr::test
