// SPDX-License-Identifier: GPL-3.0-or-later
// The verbs in-process over a file system that fails on demand: what must hold when writing the
// journal, entering a directory or creating the failure log fails, and when Ctrl-C arrives in
// the middle of a walk.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "cli/verbs.h"
#include "support/faulty_file_system.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;
using Op = FaultyFileSystem::Op;

// Standard output and standard error in memory.
class CapturedConsole {
public:
    CapturedConsole() {
        console.out = open_memstream(&m_out, &m_outSize);
        console.err = open_memstream(&m_err, &m_errSize);
    }
    ~CapturedConsole() {
        std::fclose(console.out);
        std::fclose(console.err);
        std::free(m_out);
        std::free(m_err);
    }
    std::string out() {
        std::fflush(console.out);
        return std::string(m_out, m_outSize);
    }
    std::string err() {
        std::fflush(console.err);
        return std::string(m_err, m_errSize);
    }

    Console console;

private:
    char* m_out = nullptr;
    std::size_t m_outSize = 0;
    char* m_err = nullptr;
    std::size_t m_errSize = 0;
};

class CliVerbsTest : public ::testing::Test {
protected:
    CliVerbsTest() : work(temp / "work"), tree(temp / "tree"), journal(temp / "work/undo.j") {
        makeDirectory(work);
        makeDirectory(tree);
        fs.setInitialDirectory(work);
    }

    int run(const Lines& args) { return runCommandLine(args, {fs, clock, io.console}); }
    int goLowerCase(const Lines& more = {}) {
        Lines args = {"go", "--filter", "*.JPG", "--case", "lower", "--journal", journal};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(tree);
        return run(args);
    }

    TempDir temp;
    std::string work;
    std::string tree;
    std::string journal;
    std::unique_ptr<FileSystem> real = makePosixFileSystem();
    FaultyFileSystem fs{*real};
    FixedClock clock;
    CapturedConsole io;
};

TEST_F(CliVerbsTest, TheJournalIsCompleteOnDiskBeforeTheFirstRename) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/B.JPG");
    Lines seenAtRenames;
    fs.onCall(Op::Rename, [&](const std::string&) { seenAtRenames.push_back(readFile(journal)); });
    EXPECT_EQ(goLowerCase(), 0) << io.err();
    ASSERT_EQ(seenAtRenames.size(), 2u);
    EXPECT_TRUE(seenAtRenames[0].ends_with("end 2\n"));
}

TEST_F(CliVerbsTest, AJournalThatCannotBeWrittenRenamesNothing) {
    writeFile(tree + "/A.JPG");
    fs.fail(Op::Write, "/undo.j", ENOSPC);
    EXPECT_EQ(goLowerCase(), 2);
    EXPECT_EQ(io.err(), "zentarel-renamer-cli: cannot write the journal '" + journal +
                            "': No space left on device. Nothing was renamed.\n");
    EXPECT_EQ(io.out(), "");
    EXPECT_EQ(fs.calls(Op::Rename), 0);
    EXPECT_EQ(listNames(tree), Lines{"A.JPG"});
    // The half-written journal it created is gone, and so is the failure log.
    EXPECT_EQ(listNames(work), Lines{});
}

TEST_F(CliVerbsTest, AnErrorNamesWhatFailedAndRenamesNothing) {
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/locked/B.JPG");
    fs.fail(Op::ChangeDirectory, "/locked", EACCES);
    EXPECT_EQ(goLowerCase(), 2);
    EXPECT_EQ(io.err(), "zentarel-renamer-cli: '" + tree + "/locked': File access denied.\n");
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "locked"}));
    EXPECT_EQ(listNames(work), Lines{});  // no undo data: no journal
    fs.clear();

    fs.fail(Op::CreateFile, "/renamer_failures.log", EACCES);
    EXPECT_EQ(goLowerCase(), 2);
    EXPECT_TRUE(io.err().ends_with("zentarel-renamer-cli: '" + work +
                                   "/renamer_failures.log': File access denied.\n"))
        << io.err();
    EXPECT_EQ(fs.calls(Op::Rename), 0);
    EXPECT_EQ(listNames(work), Lines{});
}

class CtrlCTest : public CliVerbsTest {
protected:
    CtrlCTest() {
        for (const char* d : {"d1", "d2", "d3", "d4", "d5"}) {
            for (const char* f : {"F1.JPG", "F2.JPG", "F3.JPG"})
                writeFile(tree + "/" + d + "/" + f);
        }
        // Ctrl-C as the walk leaves its first directory (on its own thread: listings are read
        // ahead on others).
        fs.onCall(Op::ChangeDirectory, [this](const std::string& path) {
            if (path.ends_with("/..") && ++m_left == 1)
                raise(SIGINT);
        });
    }

    int lowerCaseFilesOnDisk() const {
        int count = 0;
        for (const std::string& path : listTree(tree))
            count += path.ends_with(".jpg") ? 1 : 0;
        return count;
    }

    static bool interruptActionIsDefault() {
        struct sigaction action {};
        sigaction(SIGINT, nullptr, &action);
        return action.sa_handler == SIG_DFL;
    }

    int m_left = 0;
    int m_renames = 0;
};

TEST_F(CtrlCTest, InAGoWalkRenamesNothing) {
    EXPECT_EQ(goLowerCase(), 130);
    EXPECT_EQ(lowerCaseFilesOnDisk(), 0);
    EXPECT_EQ(io.out(), "Stopped, nothing was renamed.\n");
    EXPECT_EQ(io.err(), "");
    EXPECT_EQ(listNames(work), Lines{});  // no journal, no failure log
    EXPECT_TRUE(interruptActionIsDefault());
}

TEST_F(CtrlCTest, AmongTheRenamesStopsAfterThoseUnderWay) {
    fs.clear();
    fs.onCall(Op::Rename, [this](const std::string&) {
        if (++m_renames == 4)
            raise(SIGINT);
    });
    EXPECT_EQ(goLowerCase({"--jobs", "1"}), 130);
    EXPECT_EQ(lowerCaseFilesOnDisk(), 4);
    EXPECT_EQ(io.out(), "Done, 4 file(s) renamed, 0 failure(s).\n");
    EXPECT_EQ(io.err(),
              "zentarel-renamer-cli: warning: stopped by Ctrl-C: 11 rename(s) were never "
              "started\nThe journal '" +
                  journal + "' can undo what was renamed.\n");
    // The journal marks the renames never started, so undo leaves them alone.
    const std::string kept = readFile(journal);
    int neverDone = 0;
    for (std::size_t at = kept.find("\nfailed "); at != std::string::npos;
         at = kept.find("\nfailed ", at + 1))
        ++neverDone;
    EXPECT_EQ(neverDone, 11) << kept;
    EXPECT_TRUE(interruptActionIsDefault());
    EXPECT_EQ(run({"undo", "--journal", journal}), 0);
    EXPECT_EQ(lowerCaseFilesOnDisk(), 0);
}

TEST_F(CtrlCTest, StopsAScanWithTheRowsFoundSoFar) {
    EXPECT_EQ(run({"scan", "--filter", "*.JPG", "--case", "lower", tree}), 130);
    const std::string rows = io.out();
    const auto count = std::count(rows.begin(), rows.end(), '\n');
    EXPECT_GE(count, 3);
    EXPECT_LT(count, 15);
    EXPECT_TRUE(io.err().starts_with("Scanning done, found " + std::to_string(count) +
                                     " file(s) to be renamed.\n"))
        << io.err();
    EXPECT_EQ(lowerCaseFilesOnDisk(), 0);
    EXPECT_TRUE(interruptActionIsDefault());
}

}  // namespace
}  // namespace zr::test
