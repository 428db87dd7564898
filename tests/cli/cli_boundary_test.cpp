// The command line where the system pushes back: a disk that fills up, folders an unprivileged
// user may not search or write, paths past PATH_MAX, files that are links, pipes or devices, and
// runs that are killed. The conditions are real where the machine can make them (a small tmpfs in
// a private mount namespace, the user 65534 in a root folder of its own); the fault shim fails
// the calls that no real condition reaches. Every test checks what the user sees and the tree.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <regex>
#include <thread>

#include "cli_process.h"
#include "support/temp_dir.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kSection = "[Renamer Settings]\nver=1005\n";

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The two counts of a closing status ("Done, 3 file(s) renamed, 1 failure(s)." and the like).
std::pair<int, int> statusCounts(const std::string& text, const std::string& start) {
    const std::regex pattern(start + " ([0-9]+) file\\(s\\) renamed[a-z ]*, ([0-9]+) failure");
    std::smatch match;
    if (!std::regex_search(text, match, pattern))
        return {-1, -1};
    return {std::stoi(match[1]), std::stoi(match[2])};
}

class BoundaryTest : public ::testing::Test {
protected:
    BoundaryTest() : work(temp / "work"), tree(temp / "tree"), kept(temp / "kept") {
        makeDirectory(work);
        makeDirectory(tree);
        makeDirectory(kept);
    }

    CliRun run(const Lines& args, std::vector<std::string> env = {}) {
        ProcessOptions options;
        options.cwd = work;
        options.env = std::move(env);
        return runCli(args, std::move(options));
    }

    // Runs with the working directory on a tmpfs of `bytes` bytes, first holding a copy of
    // `seed`; what it holds afterwards is in `kept`.
    CliRun runOnTmpfs(std::size_t bytes, const Lines& args, const std::string& seed = {}) {
        ProcessOptions options;
        options.cwd = work;
        options.tmpfsAt = work;
        options.tmpfsBytes = bytes;
        options.tmpfsSeed = seed;
        options.tmpfsKeep = kept;
        return runCli(args, std::move(options));
    }

    // A folder that the program, run as the user 65534, sees as "/": it holds the program, its
    // libraries, a working directory "/work" open to everyone and the tree "/tree".
    std::string makeRoot() {
        const std::string root = temp / "root";
        makeDirectory(root + "/work");
        makeDirectory(root + "/tree");
        program = prepareRoot(cliProgram(), root);
        chmod(root.c_str(), 0755);
        chmod((root + "/work").c_str(), 0777);
        chmod((root + "/tree").c_str(), 0777);
        return root;
    }

    CliRun runUnprivileged(const std::string& root, const Lines& args) {
        ProcessOptions options;
        options.root = root;
        options.cwd = "/work";
        options.unprivileged = true;
        return ChildProcess(program, args, std::move(options)).wait();
    }

    // Waits until a run paused by the fault shim has reached its pause.
    static bool waitForPause(const std::string& pauseDir, ChildProcess& child) {
        for (int i = 0; i < 3000 && !exists(pauseDir + "/paused"); ++i) {
            if (child.finished())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return exists(pauseDir + "/paused");
    }

    TempDir temp;
    std::string work;
    std::string tree;
    std::string kept;
    std::string program;
};

#define REQUIRE_ROOT(what) \
    if (geteuid() != 0)    \
    GTEST_SKIP() << "needs root to " what

// --- A disk that fills up -----------------------------------------------------------------------

TEST_F(BoundaryTest, GoOnAFullDiskEndsAtTheLineThatCannotBeWrittenAndCountsWhatWasDone) {
    REQUIRE_ROOT("mount a small file system in a private mount namespace");
    // 2,000 renames that fail (the lower-case name is taken) among 2,000 that work: the failure
    // lines fill the 64 KiB working directory part of the way through.
    for (int i = 0; i < 2000; ++i) {
        const std::string n = std::to_string(10000 + i);
        writeFile(tree + "/F" + n + ".JPG", "f");
        writeFile(tree + "/f" + n + ".jpg", "taken");
        writeFile(tree + "/G" + n + ".JPG", "g");
    }
    const auto before = snapshotTree(tree);
    const std::string journal = temp / "undo.journal";
    const CliRun go = runOnTmpfs(64 * 1024, {"go", "--case", "lower", "--journal", journal, tree});

    EXPECT_EQ(go.status, 2) << go.err;
    EXPECT_NE(go.err.find("I/O error 28."), std::string::npos) << go.err;
    const auto [renamed, failed] = statusCounts(go.out + go.err, "Done,");
    ASSERT_GT(renamed, 0) << go.out << go.err;
    ASSERT_GT(failed, 0);
    EXPECT_LT(failed, 2000);
    int lowerOnDisk = 0;
    for (const std::string& name : listNames(tree))
        lowerOnDisk += name.starts_with("g") ? 1 : 0;
    EXPECT_EQ(lowerOnDisk, renamed);
    // Every failure line but the one that did not fit is in the log the run names.
    EXPECT_NE(go.out.find("Failure log: " + work + "/renamer_failures.log"), std::string::npos)
        << go.out;
    const std::string log = readFile(kept + "/renamer_failures.log");
    EXPECT_EQ(countOf(log, "\r\n"), static_cast<std::size_t>(failed)) << "header and lines";

    // The journal undoes exactly what was renamed.
    const CliRun undo = run({"undo", "--journal", journal});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out,
              "Undo done, " + std::to_string(renamed) + " file(s) renamed back, 0 failure(s).\n");
    EXPECT_EQ(snapshotTree(tree), before);
}

TEST_F(BoundaryTest, UndoOnAFullDiskKeepsOnlyWhatIsLeftToUndo) {
    REQUIRE_ROOT("mount a small file system in a private mount namespace");
    for (int i = 0; i < 2000; ++i)
        writeFile(tree + "/G" + std::to_string(10000 + i) + ".JPG", "g");
    const auto before = snapshotTree(tree);
    const std::string journal = temp / "undo.journal";
    ASSERT_EQ(run({"go", "--case", "lower", "--journal", journal, tree}).status, 0);
    // Every other file has its old name taken again: those renames back fail and fill the log.
    for (int i = 0; i < 2000; i += 2)
        writeFile(tree + "/G" + std::to_string(10000 + i) + ".JPG", "blocker");

    const CliRun undo = runOnTmpfs(64 * 1024, {"undo", "--journal", journal});
    EXPECT_EQ(undo.status, 2) << undo.err;
    EXPECT_NE(undo.err.find("I/O error 28."), std::string::npos) << undo.err;
    const auto [back, failed] = statusCounts(undo.out + undo.err, "Undo done,");
    ASSERT_GT(back, 0) << undo.out << undo.err;
    ASSERT_GT(failed, 0);

    // With the blockers gone, a second undo renames back the rest, and nothing twice.
    for (int i = 0; i < 2000; i += 2)
        std::filesystem::remove(tree + "/G" + std::to_string(10000 + i) + ".JPG");
    const CliRun rest = run({"undo", "--journal", journal});
    EXPECT_EQ(rest.status, 0) << rest.err;
    EXPECT_EQ(rest.out, "Undo done, " + std::to_string(2000 - back) +
                            " file(s) renamed back, 0 failure(s).\n");
    EXPECT_EQ(snapshotTree(tree), before);
}

TEST_F(BoundaryTest, ABatchRunOnAFullDiskLeavesNoScriptThatLooksComplete) {
    REQUIRE_ROOT("mount a small file system in a private mount namespace");
    for (int i = 0; i < 2000; ++i)
        writeFile(tree + "/G" + std::to_string(10000 + i) + ".JPG", "g");
    const auto before = snapshotTree(tree);
    const CliRun go = runOnTmpfs(64 * 1024, {"go", "--batch", "--case", "lower", tree});
    EXPECT_EQ(go.status, 2) << go.err;
    EXPECT_NE(go.err.find("I/O error 28."), std::string::npos) << go.err;
    EXPECT_EQ(listNames(kept), Lines{});
    EXPECT_EQ(snapshotTree(tree), before);
}

// --- Folders an unprivileged user may not use
// -----------------------------------------------------

TEST_F(BoundaryTest, AFolderThatCanBeReadButNotSearchedAbandonsTheWalk) {
    REQUIRE_ROOT("run the program as another user");
    const std::string root = makeRoot();
    writeFile(root + "/tree/locked/B.JPG", "b");
    chmod((root + "/tree/locked").c_str(), 0444);
    const CliRun scan = runUnprivileged(root, {"scan", "--case", "lower", "/tree"});
    EXPECT_EQ(scan.status, 2) << scan.err;
    EXPECT_EQ(scan.err, "zentarel-renamer-cli: '/tree/locked': File access denied.\n");
    EXPECT_EQ(scan.out.find("B.JPG"), std::string::npos) << scan.out;

    writeFile(root + "/tree/A.JPG", "a");
    const CliRun go = runUnprivileged(root, {"go", "--case", "lower", "/tree"});
    EXPECT_EQ(go.status, 2) << go.err;
    EXPECT_EQ(go.err, "zentarel-renamer-cli: '/tree/locked': File access denied.\n");
    EXPECT_EQ(listNames(root + "/tree"), (Lines{"A.JPG", "locked"}));
    EXPECT_EQ(listNames(root + "/work"), Lines{});
}

// --- Paths past PATH_MAX
// --------------------------------------------------------------------------

TEST_F(BoundaryTest, AFolderWhosePathIsTooLongAbandonsTheWalk) {
    const std::string name(200, 'D');
    const int levels = PATH_MAX / 201 + 1;
    makeDeepTree(tree, levels, name, "X.JPG");
    // The deepest folder that can be entered: its path is shorter than PATH_MAX.
    int enterable = 0;
    while (tree.size() + static_cast<std::size_t>(enterable + 1) * 201 < PATH_MAX)
        ++enterable;
    ASSERT_LT(enterable, levels);

    const CliRun scan = run({"scan", "--case", "lower", "--format", "tsv", tree});
    EXPECT_EQ(scan.status, 2) << scan.err;
    EXPECT_NE(scan.err.find("Invalid filename."), std::string::npos) << scan.err;
    EXPECT_LE(countOf(scan.out, "X.JPG\tx.jpg"), static_cast<std::size_t>(enterable));

    const CliRun go = run({"go", "--case", "lower", tree});
    EXPECT_EQ(go.status, 2) << go.err;
    EXPECT_NE(go.err.find("Invalid filename."), std::string::npos) << go.err;
    EXPECT_EQ(listNames(work), Lines{});
    EXPECT_EQ(listNames(tree + "/" + name), (Lines{name, "X.JPG"}));  // nothing renamed
}

// --- Settings files that are links, pipes, devices or too large
// -----------------------------------

TEST_F(BoundaryTest, SavingSettingsThroughALinkWritesTheFileItPointsTo) {
    writeFile(tree + "/A.JPG");
    const std::string dotfiles = temp / "dotfiles";
    writeFile(dotfiles + "/real.rns", "[Other]\nkeep=1\n");
    chmod((dotfiles + "/real.rns").c_str(), 0640);
    ASSERT_EQ(symlink("../dotfiles/real.rns", (work + "/link.rns").c_str()), 0);
    ASSERT_EQ(symlink("link.rns", (work + "/chain.rns").c_str()), 0);
    ASSERT_EQ(symlink("../dotfiles/new.rns", (work + "/dangling.rns").c_str()), 0);

    for (const char* file : {"chain.rns", "dangling.rns"}) {
        const CliRun scan = run({"scan", "--prefix", "p_", "--save-settings", file, tree});
        EXPECT_EQ(scan.status, 0) << file << scan.err;
    }
    EXPECT_EQ(std::filesystem::read_symlink(work + "/chain.rns"), "link.rns");
    EXPECT_EQ(std::filesystem::read_symlink(work + "/link.rns"), "../dotfiles/real.rns");
    EXPECT_EQ(std::filesystem::read_symlink(work + "/dangling.rns"), "../dotfiles/new.rns");
    for (const char* file : {"/real.rns", "/new.rns"})
        EXPECT_NE(readFile(dotfiles + file).find("\ned14=p_"), std::string::npos) << file;
    EXPECT_TRUE(readFile(dotfiles + "/real.rns").starts_with("[Other]\nkeep=1\n"));
    struct stat st;
    ASSERT_EQ(stat((dotfiles + "/real.rns").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(listNames(dotfiles), (Lines{"new.rns", "real.rns"}));
    EXPECT_EQ(listNames(work), (Lines{"chain.rns", "dangling.rns", "link.rns"}));
}

TEST_F(BoundaryTest, ReadsAreBoundedAndRefuseWhatIsNoRegularFile) {
    const std::string fifo = temp / "pipe.rns";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = temp / "big.rns";
    writeFile(big, kSection + "ed14=x\n");
    ASSERT_EQ(truncate(big.c_str(), 17 * 1024 * 1024), 0);  // sparse: takes no room
    const std::string longLine = temp / "long.journal";
    writeFile(longLine);
    ASSERT_EQ(truncate(longLine.c_str(), 1024L * 1024 * 1024), 0);  // one line of NUL bytes
    writeFile(tree + "/A.JPG");

    struct Row {
        Lines args;
        std::string says;
    };
    const Row rows[] = {
        {{"scan", "--settings", "/dev/zero", tree}, "not a regular file"},
        {{"scan", "--settings", fifo, tree}, "not a regular file"},
        {{"scan", "--settings", temp.path(), tree}, "not a regular file"},
        {{"scan", "--settings", big, tree}, "larger than 16 MiB"},
        {{"undo", "--journal", "/dev/zero"}, "not a regular file"},
        {{"undo", "--journal", fifo}, "not a regular file"},
        {{"undo", "--journal", longLine}, "line 1"},
    };
    for (const Row& row : rows) {
        ProcessOptions options;
        options.cwd = work;
        options.timeout = std::chrono::seconds(30);
#if !defined(__SANITIZE_ADDRESS__)
        options.addressSpaceLimit = 512L * 1024 * 1024;
#endif
        const CliRun refused = runCli(row.args, std::move(options));
        EXPECT_FALSE(refused.timedOut) << row.args[2];
        EXPECT_EQ(refused.status, 2) << row.args[2] << "\n" << refused.err;
        EXPECT_NE(refused.err.find(row.says), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out, "");
    }
    EXPECT_EQ(listNames(tree), Lines{"A.JPG"});
    EXPECT_TRUE(exists(longLine));  // a journal that could not be used is kept
}

// --- Runs that are killed
// -------------------------------------------------------------------------

TEST_F(BoundaryTest, AKilledRunLeavesNoFailureLogBehind) {
    writeFile(tree + "/A.JPG", "a");
    writeFile(tree + "/B.JPG", "b");
    writeFile(tree + "/b.jpg", "taken");  // B.JPG will fail
    const std::string pauseDir = temp / "pause";
    for (const bool doubleCtrlC : {false, true}) {
        std::filesystem::remove_all(pauseDir);
        makeDirectory(pauseDir);
        // The run stops at its first rename: the walk is over and the log is ready.
        ProcessOptions options;
        options.cwd = work;
        options.env = faultEnv("renameat2@1=pause", pauseDir);
        const auto child = startCli({"go", "--case", "lower", tree}, std::move(options));
        ASSERT_TRUE(waitForPause(pauseDir, *child)) << child->wait().err;
        if (doubleCtrlC) {
            child->signal(SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            child->signal(SIGINT);
        } else {
            child->signal(SIGKILL);
        }
        const CliRun killed = child->wait();
        EXPECT_EQ(killed.status, 128 + (doubleCtrlC ? SIGINT : SIGKILL)) << killed.err;
        EXPECT_EQ(listNames(work), Lines{}) << (doubleCtrlC ? "Ctrl-C twice" : "killed");
    }
    // So the next log with failures is the first one.
    const CliRun go = run({"go", "--case", "lower", tree});
    EXPECT_EQ(go.status, 1) << go.err;
    EXPECT_EQ(listNames(work), Lines{"renamer_failures.log"});
}

TEST_F(BoundaryTest, WithoutUnnamedFilesTheLogIsAPlainFileRemovedWhenNothingFailed) {
    writeFile(tree + "/A.JPG", "a");
    const auto noTmpfile = faultEnv("tmpfile=EOPNOTSUPP");
    const CliRun clean = run({"go", "--case", "lower", tree}, noTmpfile);
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(listNames(work), Lines{});

    writeFile(tree + "/B.JPG", "b");
    writeFile(tree + "/b.jpg", "taken");
    const CliRun failing = run({"go", "--case", "lower", tree}, noTmpfile);
    EXPECT_EQ(failing.status, 1) << failing.err;
    EXPECT_EQ(listNames(work), Lines{"renamer_failures.log"});
    EXPECT_NE(readFile(work + "/renamer_failures.log").find(tree + "/B.JPG -> b.jpg\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace zr::test
