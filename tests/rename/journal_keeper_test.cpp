// SPDX-License-Identifier: GPL-3.0-or-later
// The window's undo data on disk: a journal in the state folder that exists exactly while the
// undo data does, that a later window adopts when its owner is gone, and that no other window
// touches while its owner runs.
#include "rename/journal_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "rename/journal_file.h"
#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

class StateJournalTest : public CommandTest {
protected:
    StateJournalTest() : state(temp / "state/zentarel-renamer") {
        renamer->setUndoKeeper(&journal);
        writeFile(tree + "/A.JPG", "a");
        writeFile(tree + "/B.JPG", "b");
        startAt();
        lowerCaseWholeName();
    }

    // The names in the state folder ("" when it does not exist yet).
    Lines kept() const { return exists(state) ? listNames(state) : Lines{}; }

    UndoJournal read(const std::string& name) const {
        UndoJournal back;
        std::string error;
        EXPECT_TRUE(parseJournal(readFile(state + "/" + name), back, error)) << error;
        return back;
    }

    std::string state;
    StateJournal journal{fs, state};
};

TEST_F(StateJournalTest, TheJournalLivesExactlyAsLongAsTheUndoData) {
    writeFile(tree + "/b.jpg", "taken");  // B.JPG fails
    renamer->Button1Click();
    ASSERT_EQ(kept(), Lines{"undo.journal"});
    const UndoJournal onDisk = read("undo.journal");
    ASSERT_EQ(onDisk.size(), 2u);
    EXPECT_EQ(onDisk.failedCount(), 1u);  // the failure is recorded after the renames
    EXPECT_EQ(journal.path(), state + "/undo.journal");

    renamer->Button3Click();  // Undo: the undo data is gone, and so is the file
    EXPECT_EQ(kept(), Lines{});

    renamer->Button1Click();
    ASSERT_EQ(kept(), Lines{"undo.journal"});
    view.answers = {false};  // a new Go that is refused keeps it
    renamer->Button1Click();
    EXPECT_EQ(kept(), Lines{"undo.journal"});
    std::filesystem::remove(tree + "/b.jpg");
    renamer->Button3Click();

    // A new run discards the old journal after its question; a run with nothing to rename and
    // a batch run leave none.
    renamer->Button1Click();
    view.answers = {true};
    settings.setText(Option::Edit3, "nothing-matches");
    renamer->Button1Click();
    EXPECT_EQ(kept(), Lines{});
    settings.setText(Option::Edit3, "*");
    settings.setChecked(Option::CheckBox13, true);
    renamer->Button1Click();
    EXPECT_EQ(kept(), Lines{});
}

TEST_F(StateJournalTest, AJournalThatCannotBeWrittenRenamesNothing) {
    fs.fail(FaultyFileSystem::Op::CreateFile, ".undo-being-written", ENOSPC);
    renamer->Button1Click();
    EXPECT_EQ(view.log.back(),
              "error Cannot keep the undo data in " + state + ": No space left on device.");
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG"}));
    EXPECT_FALSE(renamer->hasUndoData());
    EXPECT_EQ(kept(), Lines{});
    EXPECT_EQ(listNames(work), Lines{});  // no failure log either
}

TEST_F(StateJournalTest, ALaterWindowAdoptsTheJournalOfOneThatIsGone) {
    writeFile(tree + "/b.jpg", "taken");
    auto crashed = std::make_unique<StateJournal>(fs, state);
    renamer->setUndoKeeper(crashed.get());
    renamer->Button1Click();

    // While its owner lives, nobody else takes it.
    UndoJournal adopted;
    Lines problems;
    EXPECT_EQ(journal.adopt(adopted, problems), std::nullopt);
    crashed.reset();  // the window ends without discarding: a crash, as the disk sees it
    renamer->setUndoKeeper(&journal);

    // What failed was never renamed: only the other rename can be undone.
    ASSERT_EQ(journal.adopt(adopted, problems), std::optional<std::size_t>(1));
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(adopted.failedCount(), 1u);
    StateJournal another(fs, state);
    UndoJournal none;
    EXPECT_EQ(another.adopt(none, problems), std::nullopt);  // now this one's
    journal.discard();
    EXPECT_EQ(kept(), Lines{});
}

TEST_F(StateJournalTest, AnUndoEndedPartOfTheWayLeavesAJournalOfWhatIsLeft) {
    auto window = std::make_unique<StateJournal>(fs, state);
    renamer->setUndoKeeper(window.get());
    renamer->Button1Click();
    ASSERT_EQ(listNames(tree), (Lines{"a.jpg", "b.jpg"}));
    // The second rename back fails, and the log's disk has no room for its failure line.
    int renames = 0;
    fs.onCall(FaultyFileSystem::Op::Rename, [&](const std::string& from) {
        if (++renames != 2)
            return;
        fs.fail(FaultyFileSystem::Op::Rename, from, EACCES);
        fs.fail(FaultyFileSystem::Op::Write, "renamer_failures.log", ENOSPC);
    });
    renamer->flags().Jobs = 1;
    renamer->Button3Click();
    EXPECT_EQ(view.log.back(), "error No space left on device.");
    EXPECT_EQ(view.status, "Undo done, 1 file(s) renamed back, 1 failure(s).  [see failure log]");
    EXPECT_TRUE(renamer->hasUndoData());
    fs.clear();

    // A window started after a crash now finds only what is left, and undoes it whole.
    window.reset();
    renamer->setUndoKeeper(&journal);
    UndoJournal adopted;
    Lines problems;
    ASSERT_EQ(journal.adopt(adopted, problems), std::optional<std::size_t>(1));
    EXPECT_EQ(adopted.failedCount(), 1u);
    RunFlags& flags = renamer->flags();
    flags.Journal = std::move(adopted);
    flags.JournalCount = 2;
    renamer->Button3Click();
    EXPECT_EQ(view.status, "Undo done, 1 file(s) renamed back, 0 failure(s).");
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG"}));
    EXPECT_EQ(kept(), Lines{});
}

TEST_F(StateJournalTest, AJournalThatCannotBeUsedIsSetAsideAndNeverActedOn) {
    makeDirectory(state);
    const std::string whole = "zentarel-renamer journal 1\n" + tree + "/A.JPG*a.jpg\nend 1\n";
    writeFile(state + "/undo.journal", whole.substr(0, whole.size() - 4));      // cut short
    writeFile(state + "/.undo-being-written", "zentarel-renamer journal 1\n");  // never named
    writeFile(state + "/notes.txt", "left alone");
    UndoJournal adopted;
    Lines problems;
    EXPECT_EQ(journal.adopt(adopted, problems), std::nullopt);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "The undo data of an interrupted run in " + state +
                               "/undo.journal cannot be used (line 3: the line has no end (the "
                               "file was cut short)); it was kept as " +
                               state + "/undo.journal.unusable.");
    EXPECT_EQ(kept(), (Lines{"notes.txt", "undo.journal.unusable"}));
    // Reported once: the next start finds nothing to say.
    problems.clear();
    EXPECT_EQ(StateJournal(fs, state).adopt(adopted, problems), std::nullopt);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG"}));
}

TEST_F(StateJournalTest, ManyJournalsThatCannotBeUsedAreReportedInOneMessage) {
    makeDirectory(state);
    for (int i = 0; i < 60; ++i)
        writeFile(state + "/undo_" + std::to_string(i) + ".journal", "not a journal\n");
    UndoJournal adopted;
    Lines problems;
    EXPECT_EQ(journal.adopt(adopted, problems), std::nullopt);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_TRUE(problems[0].starts_with("The undo data of 60 interrupted runs in " + state +
                                        " cannot be used"))
        << problems[0];
    EXPECT_LE(std::count(problems[0].begin(), problems[0].end(), '\n'), 12);
    EXPECT_EQ(kept().size(), 60u);
}

}  // namespace
}  // namespace zr::test
