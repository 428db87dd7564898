// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "rename/script_files.h"
#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

class UndoTest : public CommandTest {};

TEST_F(UndoTest, ReversesEveryRenameAndDiscardsTheUndoData) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/B.JPG");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    view.clearLog();
    renamer->Button3Click();
    EXPECT_EQ(view.log, (Lines{"busy on", "enable Button1 0", "status Undoing 2 rename(s) ...",
                               "caption Button3 Undoing", "enable Viewlastfailurelog1 0",
                               "status Undo done, 2 file(s) renamed back, 0 failure(s).",
                               "caption Button3 &Undo", "busy off undo=0", "enable Button1 1",
                               "enable Button3 0", "enable SaveUndoasbat1 0"}));
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG"}));
    EXPECT_TRUE(listNames(work).empty());
    EXPECT_FALSE(renamer->hasUndoData());
    // Nothing to undo any more: a second press does nothing at all.
    view.clearLog();
    renamer->Button3Click();
    EXPECT_TRUE(view.log.empty());
    // And the next Go asks nothing.
    renamer->Button1Click();
    EXPECT_TRUE(view.linesStartingWith("ask").empty());
}

TEST_F(UndoTest, EntriesThatFailedInGoAreLeftAloneByUndoAndTheExport) {
    writeFile(tree + "/A.JPG", "A");
    writeFile(tree + "/a.jpg", "the user's");  // lower-casing A.JPG fails on it
    writeFile(tree + "/B.JPG", "B");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    ASSERT_EQ(renamer->flags().FailureCount, 1);
    EXPECT_EQ(renamer->flags().Journal.failedCount(), 1u);

    renamer->SaveUndoasbat1Click();
    EXPECT_EQ(readFile(work + "/renamer_undo.bat"),
              "@echo off\r\nrem Renamer undo file from 2023-11-14 22:13:20\r\n"
              "rem to undo queued 1 file(s)\r\nrename \"" +
                  tree + "/b.jpg\" \"B.JPG\"\r\n");

    // The user clears the blocking file away: Undo must still not touch their own a.jpg.
    std::filesystem::remove(tree + "/A.JPG");
    renamer->Button3Click();
    EXPECT_EQ(view.status, "Undo done, 1 file(s) renamed back, 0 failure(s).");
    EXPECT_EQ(listNames(tree), (Lines{"B.JPG", "a.jpg"}));
    EXPECT_EQ(readFile(tree + "/a.jpg"), "the user's");
    EXPECT_FALSE(renamer->hasUndoData());
}

TEST_F(UndoTest, AFileRenamedAwayMeanwhileFailsAndTheOthersAreStillReversed) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/B.JPG");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    ASSERT_EQ(real->rename(tree + "/a.jpg", tree + "/moved.jpg"), 0);
    renamer->Button3Click();
    EXPECT_EQ(view.status, "Undo done, 1 file(s) renamed back, 1 failure(s).  [see failure log]");
    EXPECT_EQ(listNames(tree), (Lines{"B.JPG", "moved.jpg"}));
}

TEST_F(UndoTest, AnUndoLogThatCannotBeCreatedLeavesTheUndoDataForAnotherTry) {
    writeFile(tree + "/A.JPG");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    fs.fail(Op::CreateFile, "renamer_failures.log", EACCES);
    renamer->Button3Click();
    EXPECT_EQ(view.log.back(), "error File access denied.");
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(renamer->flags().GoRunning);
    EXPECT_TRUE(view.enabled[Control::Button1]);
    EXPECT_TRUE(view.enabled[Control::Button3]);
    EXPECT_TRUE(renamer->hasUndoData());
    fs.clear();
    renamer->Button3Click();
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG"}));
}

TEST_F(UndoTest, TheUndoLogGoesWhereTheLastScanLeftOff) {
    writeFile(tree + "/A.JPG", "A");
    startAt();
    lowerCaseWholeName();
    renamer->Button1Click();
    ASSERT_EQ(real->rename(tree + "/a.jpg", tree + "/moved.jpg"), 0);  // its undo fails
    renamer->Button5Click();  // leaves the working directory in <temp>
    renamer->Button3Click();
    EXPECT_EQ(renamer->flags().FailureLogPath, temp / "renamer_failures.log");
}

class BatchTest : public CommandTest {
protected:
    void SetUp() override {
        makeDirectory(tree + "/100% Sub");
        writeFile(tree + "/100% Sub/B&W.JPG");
        startAt();
        lowerCaseWholeName();
        settings.setChecked(Option::CheckBox14, true);  // directories: the order matters
        settings.setChecked(Option::CheckBox13, true);
    }
};

TEST_F(BatchTest, WritesBothScriptsInsteadOfRenaming) {
    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 1 file(s) placed in batch file.");
    EXPECT_EQ(listTree(tree), (Lines{"100% Sub/", "100% Sub/B&W.JPG"}));
    EXPECT_EQ(readFile(work + "/renamer.bat"),
              "@echo off\r\n"
              "rem Renamer rename file from 2023-11-14 22:13:20\r\n"
              "rem to rename queued 1 file(s)\r\n"
              "rename \"" +
                  tree + "/100%% Sub\" \"100%% sub\"\r\n");
    EXPECT_EQ(readFile(work + "/renamer_undo.bat"),
              "@echo off\r\n"
              "rem Renamer undo file from 2023-11-14 22:13:20\r\n"
              "rem to undo queued 1 file(s)\r\n"
              "rename \"" +
                  tree + "/100%% sub\" \"100%% Sub\"\r\n");
    EXPECT_EQ(listNames(work), (Lines{"renamer.bat", "renamer_undo.bat"}));
    EXPECT_FALSE(renamer->hasUndoData());
    EXPECT_FALSE(view.enabled[Control::Button3]);
    EXPECT_FALSE(view.enabled[Control::SaveUndoasbat1]);
    EXPECT_EQ(renamer->flags().FailureLogPath, "");
}

TEST_F(BatchTest, NestedEntriesAreListedInsideOutAndUndoneOutsideIn) {
    makeDirectory(tree + "/A/B");
    renamer->Button1Click();
    const std::string script = readFile(work + "/renamer.bat");
    const std::string undo = readFile(work + "/renamer_undo.bat");
    // The inner directory before the outer one in the rename script; the reverse for undo.
    EXPECT_LT(script.find("/A/B\" \"b\""), script.find("/A\" \"a\""));
    EXPECT_LT(undo.find("/a\" \"A\""), undo.find("/A/b\" \"B\""));
}

TEST_F(BatchTest, ScriptsTakeTheNextFreeNameEachFromItsOwnSequence) {
    writeFile(work + "/renamer.bat", "mine");
    makeDirectory(work + "/renamer_1.bat");  // a directory counts as taken
    renamer->Button1Click();
    EXPECT_EQ(listNames(work),
              (Lines{"renamer.bat", "renamer_1.bat", "renamer_2.bat", "renamer_undo.bat"}));
    EXPECT_EQ(readFile(work + "/renamer.bat"), "mine");
}

TEST_F(BatchTest, AnEmptyJournalWritesNoScripts) {
    settings.setChecked(Option::CheckBox4, false);
    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 0 file(s) placed in batch file.");
    EXPECT_TRUE(listNames(work).empty());
    EXPECT_EQ(fs.calls(Op::CreateFile), 1);  // only the log, deleted again
}

TEST_F(BatchTest, AScriptThatCannotBeWrittenEndsTheRunIdle) {
    fs.fail(Op::Write, "renamer_undo.bat", ENOSPC);
    renamer->Button1Click();
    EXPECT_EQ(view.log.back(), "error No space left on device.");
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(renamer->flags().GoRunning);
    EXPECT_FALSE(renamer->hasUndoData());
    EXPECT_EQ(renamer->flags().CurrentDir, work);
    // A script cut short would do part of what its header says: neither script stays.
    EXPECT_EQ(listNames(work), Lines{});
}

class ExportTest : public CommandTest {
protected:
    void SetUp() override {
        writeFile(tree + "/A.JPG");
        startAt();
        lowerCaseWholeName();
        renamer->Button1Click();
        view.clearLog();
    }
};

TEST_F(ExportTest, TwiceInARowTakesTheNextFreeNameAndKeepsTheUndoData) {
    renamer->SaveUndoasbat1Click();
    renamer->SaveUndoasbat1Click();
    // While it writes, the status says so; then the run's closing status is back.
    const std::string writing = "status Writing the undo script of 1 rename(s) ...";
    const std::string back = "status Done, 1 file(s) renamed, 0 failure(s).";
    EXPECT_EQ(
        view.log,
        (Lines{writing, back, "Information Undo file 'renamer_undo.bat' written succesfully.",
               writing, back, "Information Undo file 'renamer_undo_1.bat' written succesfully."}));
    const std::string expected =
        "@echo off\r\n"
        "rem Renamer undo file from 2023-11-14 22:13:20\r\n"
        "rem to undo queued 1 file(s)\r\n"
        "rename \"" +
        tree + "/a.jpg\" \"A.JPG\"\r\n";
    EXPECT_EQ(readFile(work + "/renamer_undo.bat"), expected);
    EXPECT_EQ(readFile(work + "/renamer_undo_1.bat"), expected);
    EXPECT_TRUE(renamer->hasUndoData());
    renamer->Button3Click();
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG"}));
}

TEST_F(ExportTest, AFileThatCannotBeWrittenIsNeverReportedAsWritten) {
    fs.fail(Op::Write, "renamer_undo.bat", ENOSPC);
    renamer->SaveUndoasbat1Click();
    EXPECT_EQ(view.log, (Lines{"status Writing the undo script of 1 rename(s) ...",
                               "status Done, 1 file(s) renamed, 0 failure(s).",
                               "error No space left on device."}));
    EXPECT_TRUE(renamer->hasUndoData());
}

TEST(ScriptFiles, FreeNamesAndPlainNames) {
    TempDir dir;
    auto fs = makePosixFileSystem();
    EXPECT_EQ(UniqueFileName(*fs, dir.path(), "renamer_failures.log"), "renamer_failures.log");
    writeFile(dir / "renamer_failures.log");
    writeFile(dir / "renamer_failures_2.log");
    EXPECT_EQ(UniqueFileName(*fs, dir.path(), "renamer_failures.log"),
              "renamer_failures_1.log");  // a gap in the sequence is reused
    writeFile(dir / "README");
    EXPECT_EQ(UniqueFileName(*fs, dir.path(), "README"), "README_1");
    EXPECT_TRUE(isPlainName("a.jpg"));
    EXPECT_TRUE(isPlainName("..."));
    EXPECT_FALSE(isPlainName(""));
    EXPECT_FALSE(isPlainName("."));
    EXPECT_FALSE(isPlainName(".."));
    EXPECT_FALSE(isPlainName("a/b"));
}

}  // namespace
}  // namespace zr::test
