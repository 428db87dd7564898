// SPDX-License-Identifier: GPL-3.0-or-later
// The command line where the system pushes back: a disk that fills up, folders an unprivileged
// user may not search or write, paths past PATH_MAX, files that are links, pipes or devices, and
// runs that are killed. The conditions are real where the machine can make them (a small tmpfs in
// a private mount namespace, the user 65534 in a root folder of its own); the fault shim fails
// the calls that no real condition reaches. Every test checks what the user sees and the tree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
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

// The two counts of a closing status ("Done, 3 file(s) renamed, 1 failure(s)." and the like);
// -1 when there is none.
std::pair<int, int> statusCounts(const std::string& text, const std::string& start) {
    const std::size_t at = text.find(start + " ");
    const std::size_t comma = at == std::string::npos ? at : text.find(", ", at + start.size());
    if (comma == std::string::npos)
        return {-1, -1};
    return {std::atoi(text.c_str() + at + start.size() + 1), std::atoi(text.c_str() + comma + 2)};
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
        makeDirectory(root + "/state");
        program = prepareRoot(cliProgram(), root);
        chmod(root.c_str(), 0755);
        for (const char* folder : {"/work", "/tree", "/state"})
            chmod((root + folder).c_str(), 0777);
        return root;
    }

    CliRun runUnprivileged(const std::string& root, const Lines& args) {
        ProcessOptions options;
        options.root = root;
        options.cwd = "/work";
        options.unprivileged = true;
        // Go keeps its journals in the state folder: one inside the root, open to that user.
        options.env = {"XDG_STATE_HOME=/state"};
        return ChildProcess(program, args, std::move(options)).wait();
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
    // One rename after another, and several in flight.
    for (const Lines& jobs : {Lines{"--jobs", "1"}, Lines{}}) {
        SCOPED_TRACE(jobs.empty() ? "renames in flight" : "one after another");
        Lines args = {"go", "--case", "lower", "--journal", journal, tree};
        args.insert(args.begin() + 1, jobs.begin(), jobs.end());
        const CliRun go = runOnTmpfs(64 * 1024, args);

        EXPECT_EQ(go.status, 2) << go.err;
        EXPECT_NE(go.err.find("No space left on device."), std::string::npos) << go.err;
        const auto [renamed, failed] = statusCounts(go.out + go.err, "Done,");
        ASSERT_GT(renamed, 0) << go.out << go.err;
        ASSERT_GT(failed, 0);
        EXPECT_LT(failed, 2000);
        int lowerOnDisk = 0;
        for (const std::string& name : listNames(tree))
            lowerOnDisk += name.starts_with("g") ? 1 : 0;
        EXPECT_EQ(lowerOnDisk, renamed);
        // The log the run names holds a line for every failure before the one that did not fit;
        // the renames still in flight then are only counted.
        EXPECT_NE(go.out.find("Failure log: " + work + "/renamer_failures.log"), std::string::npos)
            << go.out;
        const std::size_t lines = countOf(readFile(kept + "/renamer_failures.log"), "\r\n");
        if (jobs.empty())
            EXPECT_LE(lines, static_cast<std::size_t>(failed)) << "header and lines";
        else
            EXPECT_EQ(lines, static_cast<std::size_t>(failed)) << "header and lines";

        // The journal undoes exactly what was renamed.
        const CliRun undo = run({"undo", "--journal", journal});
        EXPECT_EQ(undo.status, 0) << undo.err;
        EXPECT_EQ(undo.out, "Undo done, " + std::to_string(renamed) +
                                " file(s) renamed back, 0 failure(s).\n");
        EXPECT_EQ(snapshotTree(tree), before);
    }
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
    EXPECT_NE(undo.err.find("No space left on device."), std::string::npos) << undo.err;
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
    EXPECT_NE(go.err.find("No space left on device."), std::string::npos) << go.err;
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
    const CliRun scan =
        runUnprivileged(root, {"scan", "--filter", "*.JPG", "--case", "lower", "/tree"});
    EXPECT_EQ(scan.status, 2) << scan.err;
    EXPECT_EQ(scan.err, "zentarel-renamer-cli: '/tree/locked': File access denied.\n");
    EXPECT_EQ(scan.out.find("B.JPG"), std::string::npos) << scan.out;

    writeFile(root + "/tree/A.JPG", "a");
    const CliRun go =
        runUnprivileged(root, {"go", "--filter", "*.JPG", "--case", "lower", "/tree"});
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
        // A file that says it is empty and then reads on and on.
        {{"scan", "--settings", "/proc/self/pagemap", tree}, "larger than 16 MiB"},
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

// Where the file system refuses RENAME_NOREPLACE and hard links (some network and FUSE file
// systems), the new name is claimed before it is taken: another client that creates a file or a
// folder of that name meanwhile finds it taken, and nothing of theirs is ever replaced.
TEST_F(BoundaryTest, WithoutANoReplaceRenameANameCreatedMeanwhileIsNeverReplaced) {
    struct Row {
        const char* what;
        Lines args;
        std::string before;  // the entry renamed, made in the tree
        std::string taken;   // its new name, which the other client takes meanwhile
        bool folder;
    };
    const Row rows[] = {
        {"a file", {"go", "--case", "lower", tree}, "A.JPG", "a.jpg", false},
        {"a folder", {"go", "--dirs-only", "--case", "lower", tree}, "Qdir", "qdir", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        removeTree(tree);
        removeTree(work);
        makeDirectory(work);
        if (row.folder)
            makeDirectory(tree + "/" + row.before);
        else
            writeFile(tree + "/" + row.before, "renamed");
        const std::string pauseDir = temp / "pause";
        removeTree(pauseDir);
        makeDirectory(pauseDir);
        ProcessOptions options;
        options.cwd = work;
        options.env =
            faultEnv("renameat2=EINVAL,link=EPERM,rename~" + row.taken + "=pause", pauseDir);
        const auto child = startCli(row.args, options);
        ASSERT_TRUE(waitForPause(pauseDir, *child)) << child->wait().err;
        // The other client makes a new entry of that name, as a program that creates files does.
        const std::string theirs = tree + "/" + row.taken;
        bool made = false;
        if (row.folder) {
            made = mkdir(theirs.c_str(), 0755) == 0;
            if (made)
                writeFile(theirs + "/theirs", "theirs");
        } else {
            const int fd = open(theirs.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            made = fd >= 0;
            if (made) {
                EXPECT_EQ(write(fd, "theirs", 6), 6);
                close(fd);
            }
        }
        writeFile(pauseDir + "/resume");
        const CliRun go = child->wait();
        if (made) {
            // Theirs stays theirs; the rename failed and says so.
            EXPECT_EQ(go.status, 1) << go.out << go.err;
            EXPECT_EQ(readFile(row.folder ? theirs + "/theirs" : theirs), "theirs");
            EXPECT_EQ(listNames(tree), (Lines{row.before, row.taken}));
        } else {
            // The name was taken already: the rename went through.
            EXPECT_EQ(go.status, 0) << go.out << go.err;
            EXPECT_EQ(listNames(tree), Lines{row.taken});
        }
    }
}

TEST_F(BoundaryTest, ATreeDeeperThanTheUsualLimitOfOpenFilesIsWalked) {
    // One descriptor per level of the walk: 1,500 levels with the usual soft limit of 1,024.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 2000)
        GTEST_SKIP() << "the hard limit of open files is " << limit.rlim_max;
    makeDeepTree(tree, 1500, "d", "X.JPG");
    ProcessOptions options;
    options.cwd = work;
    const CliRun scan = ChildProcess("/bin/sh",
                                     {"-c", "ulimit -S -n 1024 && exec \"$0\" \"$@\"", cliProgram(),
                                      "scan", "--case", "lower", "--format", "tsv", tree},
                                     options)
                            .wait();
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(countOf(scan.out, "X.JPG\tx.jpg"), 1500u);
}

TEST_F(BoundaryTest, AKilledBatchRunLeavesNoScriptBehind) {
    for (int i = 0; i < 3000; ++i)
        writeFile(tree + "/G" + std::to_string(10000 + i) + ".JPG", "g");
    const std::string pauseDir = temp / "pause";
    makeDirectory(pauseDir);
    // Part of the way through writing the scripts.
    ProcessOptions options;
    options.cwd = work;
    options.env = faultEnv("write@3=pause", pauseDir);
    const auto child = startCli({"go", "--batch", "--case", "lower", tree}, options);
    ASSERT_TRUE(waitForPause(pauseDir, *child)) << child->wait().err;
    child->signal(SIGKILL);
    EXPECT_EQ(child->wait().status, 128 + SIGKILL);
    EXPECT_EQ(listNames(work), Lines{});
}

// --- Every call of the POSIX layer that can fail, failed
// ------------------------------------------

// One failing call: how the tree is made, the shim's rules, the command, and what the user is to
// see. "TREE" and "WORK" in the rules, the arguments and the texts stand for the two folders.
struct CallFault {
    const char* call;
    std::function<void(const std::string& tree, const std::string& work)> setUp;
    std::string rules;
    Lines args;
    int status;
    std::string says;  // on standard output or standard error
    // What the tree (and the working directory) hold afterwards; none to skip the check.
    std::optional<Lines> treeAfter;
    std::optional<Lines> workAfter;
};

std::string expand(std::string text, const std::string& tree, const std::string& work) {
    for (const auto& [name, value] : {std::pair{"TREE", tree}, {"WORK", work}}) {
        for (std::size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, std::string(name).size(), value);
    }
    return text;
}

void nothing(const std::string&, const std::string&) {}

// A.JPG becomes a.jpg; Qdir (with Q.JPG inside) is a folder of the tree.
void plainTree(const std::string& tree, const std::string&) {
    writeFile(tree + "/A.JPG", "a");
    writeFile(tree + "/Qdir/Q.JPG", "q");
}

// B.JPG cannot become b.jpg: that name is taken.
void failingTree(const std::string& tree, const std::string&) {
    writeFile(tree + "/B.JPG", "b");
    writeFile(tree + "/b.jpg", "taken");
}

// A run whose journal "undo.journal" undoes A.JPG -> a.jpg.
void renamedTree(const std::string& tree, const std::string& work) {
    writeFile(tree + "/A.JPG", "a");
    ProcessOptions options;
    options.cwd = work;
    if (runCli({"go", "--case", "lower", "--journal", "undo.journal", tree}, options).status != 0)
        throw std::runtime_error("the go before the undo failed");
}

// The plain tree, and a settings file "s.rns" that adds the prefix "p_".
void settingsFile(const std::string& tree, const std::string& work) {
    plainTree(tree, work);
    writeFile(work + "/s.rns", "[Renamer Settings]\nver=1005\nch13=1\ned14=p_\n");
}

// The settings file "s.rns" as a link to "real.rns" beside it.
void linkedSettings(const std::string& tree, const std::string& work) {
    settingsFile(tree, work);
    std::filesystem::rename(work + "/s.rns", work + "/real.rns");
    std::filesystem::create_symlink("real.rns", work + "/s.rns");
}

TEST_F(BoundaryTest, EveryFailingCallEndsAsTheUserIsTold) {
    const Lines lower = {"go", "--case", "lower", "TREE"};
    const Lines dirsLower = {"go", "--dirs-only", "--case", "lower", "TREE"};
    const Lines scanLower = {"scan", "--filter", "*", "--case", "lower", "--format", "tsv", "TREE"};
    const Lines undo = {"undo", "--journal", "undo.journal"};
    const Lines shellScripts = {"go",    "--batch", "--script-format", "sh", "--case",
                                "lower", "TREE"};
    const Lines saveSettings = {"scan", "--save-settings", "s.rns", "TREE"};
    const Lines loadSettings = {"scan", "--settings", "s.rns", "--format", "tsv", "TREE"};
    const std::string failed = "Done, 0 file(s) renamed, 1 failure(s).  [see failure log]";
    const std::string bothRenamed = "Done, 2 file(s) renamed, 0 failure(s).";  // A.JPG, Q.JPG
    const std::string oneFailed = "Done, 1 file(s) renamed, 1 failure(s).  [see failure log]";
    const CallFault
        rows[] =
            {
                // Entering a folder of the tree.
                {"openat of a folder", plainTree, "open~Qdir=ENOENT", scanLower, 2,
                 "'TREE/Qdir': File not found.", std::nullopt, std::nullopt},
                {"fdopendir", plainTree, "opendir~Qdir=ENOMEM", scanLower, 2,
                 "'TREE/Qdir': I/O error 12.", std::nullopt, std::nullopt},
                {"an entry without its type", plainTree, "readdir~Qdir=unknown", scanLower, 0,
                 "Q.JPG\tq.jpg", std::nullopt, std::nullopt},
                {"fstatat of an entry without its type", plainTree,
                 "readdir~Qdir=unknown,stat~Qdir=EACCES", scanLower, 0, "\nQdir\tqdir\t0\t\t\n",
                 std::nullopt, std::nullopt},
                {"fstatat of a preview row", plainTree, "stat~A.JPG=EIO", scanLower, 0,
                 "A.JPG\ta.jpg\t0\t\t\n", std::nullopt, std::nullopt},
                // A listing that breaks off part-way is not a folder read through.
                {"readdir failing part-way", plainTree, "readdir~^Q.JPG$=EIO", scanLower, 2,
                 "I/O error 5.", std::nullopt, std::nullopt},
                {"readdir failing part-way in go", plainTree, "readdir~^Q.JPG$=EIO", lower, 2,
                 "I/O error 5.", Lines{"A.JPG", "Qdir"}, Lines{}},
                // The failure log.
                {"O_TMPFILE unknown to the kernel", failingTree, "tmpfile=EISDIR", lower, 1,
                 "Failure log: WORK/renamer_failures.log", Lines{"B.JPG", "b.jpg"},
                 Lines{"renamer_failures.log"}},
                {"linkat naming the log", failingTree, "link=EACCES", lower, 2, failed,
                 Lines{"B.JPG", "b.jpg"}, Lines{}},
                {"close of a log with lines", failingTree, "close~^WORK$=EIO", lower, 2,
                 "'WORK/renamer_failures.log': Input/output error.", Lines{"B.JPG", "b.jpg"},
                 Lines{"renamer_failures.log"}},
                {"close of a log without lines", plainTree, "close~^WORK$=EIO", lower, 0,
                 bothRenamed, Lines{"Qdir", "a.jpg"}, Lines{}},
                // The journal.
                {"fdatasync of the journal",
                 plainTree,
                 "fsync~undo.journal=EIO",
                 {"go", "--case", "lower", "--journal", "undo.journal", "TREE"},
                 2,
                 "cannot write the journal 'undo.journal': Input/output error. Nothing was "
                 "renamed.",
                 Lines{"A.JPG", "Qdir"},
                 Lines{}},
                {"open of the journal's folder",
                 plainTree,
                 "open~^.$=EACCES",
                 {"go", "--case", "lower", "--journal", "undo.journal", "TREE"},
                 2,
                 "File access denied. Nothing was renamed.",
                 Lines{"A.JPG", "Qdir"},
                 Lines{}},
                {"fsync of the journal's folder",
                 plainTree,
                 "fsync~^.$=EIO",
                 {"go", "--case", "lower", "--journal", "undo.journal", "TREE"},
                 2,
                 "Input/output error. Nothing was renamed.",
                 Lines{"A.JPG", "Qdir"},
                 Lines{}},
                {"write interrupted",
                 plainTree,
                 "write~undo.journal@1=EINTR",
                 {"go", "--case", "lower", "--journal", "undo.journal", "TREE"},
                 0,
                 bothRenamed,
                 Lines{"Qdir", "a.jpg"},
                 Lines{"undo.journal"}},
                {"read of the journal interrupted", renamedTree, "read~undo.journal@1=EINTR", undo,
                 0, "Undo done, 1 file(s) renamed back", Lines{"A.JPG"}, Lines{}},
                {"read of the journal", renamedTree, "read~undo.journal=EIO", undo, 2,
                 "cannot read the journal 'undo.journal': Input/output error.", Lines{"a.jpg"},
                 Lines{"undo.journal"}},
                {"fstat of the journal", renamedTree, "stat~undo.journal=EIO", undo, 2,
                 "cannot read the journal 'undo.journal': Input/output error.", Lines{"a.jpg"},
                 Lines{"undo.journal"}},
                {"open of a missing journal", nothing, "", undo, 2,
                 "cannot read the journal 'undo.journal': File not found.", std::nullopt, Lines{}},
                // Settings files.
                {"read of a settings file interrupted", settingsFile, "read~s.rns@1=EINTR",
                 loadSettings, 0, "A.JPG\tp_A.JPG\t", std::nullopt, std::nullopt},
                {"read of a settings file", settingsFile, "read~s.rns=EIO", loadSettings, 2,
                 "Unable to read s.rns: Input/output error.", std::nullopt, std::nullopt},
                {"fchmod of a new settings file", plainTree, "chmod~s.rns=EPERM", saveSettings, 2,
                 "Unable to write to s.rns: File access denied.", std::nullopt, Lines{}},
                {"write of a settings file interrupted", plainTree, "write~s.rns.@1=EINTR",
                 saveSettings, 0, "", std::nullopt, Lines{"s.rns"}},
                {"fsync of a settings file", settingsFile, "fsync~s.rns=EIO", saveSettings, 2,
                 "Unable to write to s.rns: Input/output error.", std::nullopt, Lines{"s.rns"}},
                {"close of a settings file", settingsFile, "close~s.rns.=EIO", saveSettings, 2,
                 "Unable to write to s.rns: Input/output error.", std::nullopt, Lines{"s.rns"}},
                {"rename over a settings file", settingsFile, "rename~s.rns=EACCES", saveSettings,
                 2, "Unable to write to s.rns: File access denied.", std::nullopt, Lines{"s.rns"}},
                // Shell scripts made executable.
                {"fstat of a script", plainTree, "stat~^WORK$=EIO", shellScripts, 2,
                 "Input/output error.", Lines{"A.JPG", "Qdir"}, Lines{}},
                {"fchmod of a script", plainTree, "chmod~^WORK$=EPERM", shellScripts, 2,
                 "File access denied.", Lines{"A.JPG", "Qdir"}, Lines{}},
                // The start directory.
                {"stat of the start directory", plainTree, "stat~^TREE$=EIO", scanLower, 2,
                 "'TREE': input/output error", std::nullopt, std::nullopt},
                // Renames where RENAME_NOREPLACE is refused: the new name is claimed with an
                // empty file (or folder) of the program's own, which the rename then replaces.
                {"a claim and a rename", plainTree, "renameat2=EINVAL", lower, 0, bothRenamed,
                 Lines{"Qdir", "a.jpg"}, Lines{}},
                {"a claim of a taken name", failingTree, "renameat2=EINVAL", lower, 1, failed,
                 Lines{"B.JPG", "b.jpg"}, Lines{"renamer_failures.log"}},
                {"a claim that cannot be made", plainTree, "renameat2=EINVAL,open~a.jpg=EACCES",
                 lower, 1, oneFailed, Lines{"A.JPG", "Qdir"}, Lines{"renamer_failures.log"}},
                {"a folder onto a taken name",
                 [](const std::string& tree, const std::string&) {
                     makeDirectory(tree + "/Qdir");
                     makeDirectory(tree + "/qdir");
                 },
                 "renameat2=EINVAL", dirsLower, 1, failed, Lines{"Qdir", "qdir"}, std::nullopt},
                {"mkdir of a folder's claim", plainTree, "renameat2=EINVAL,mkdir~qdir=EACCES",
                 dirsLower, 1, failed, Lines{"A.JPG", "Qdir"}, std::nullopt},
                {"fstatat of a folder's claim", plainTree, "renameat2=EINVAL,stat~qdir=EACCES",
                 dirsLower, 1, failed, Lines{"A.JPG", "Qdir"}, std::nullopt},
                {"renameat onto the claim", plainTree, "renameat2=EINVAL,rename=EACCES", dirsLower,
                 1, failed, Lines{"A.JPG", "Qdir"}, std::nullopt},
                {"the source gone", renamedTree, "renameat2=EINVAL,stat~^a.jpg$=ENOENT", undo, 1,
                 "Undo done, 0 file(s) renamed back, 1 failure(s).", Lines{"a.jpg"}, std::nullopt},
                // Folders opened without links where openat2 is missing or forbidden.
                {"openat2 missing", plainTree, "openat2=ENOSYS", lower, 0, bothRenamed,
                 Lines{"Qdir", "a.jpg"}, Lines{}},
                {"openat2 forbidden", plainTree, "openat2=EPERM", lower, 0, bothRenamed,
                 Lines{"Qdir", "a.jpg"}, Lines{}},
                {"open of the root", plainTree, "openat2=ENOSYS,open~^/$=EMFILE", lower, 1,
                 "Done, 0 file(s) renamed, 2 failure(s).", Lines{"A.JPG", "Qdir"}, std::nullopt},
                // A change of case through a temporary name.
                {
                    "rename to the temporary name",
                    [](const std::string& tree, const std::string&) {
                        writeFile(tree + "/A.txt", "content");
                        if (link((tree + "/A.txt").c_str(), (tree + "/a.txt").c_str()) != 0)
                            throw std::runtime_error("link failed");
                    },
                    "rename~.zentarel=EACCES",
                    {"go", "--filter", "*", "--case", "lower", "TREE"},
                    1,
                    failed,
                    Lines{"A.txt", "a.txt"},
                    std::nullopt},
            };
    // The fallbacks, taken where they should be and nowhere else.
    const CallFault fallbacks[] = {
        {"O_TMPFILE refused as invalid", failingTree, "tmpfile=EINVAL", lower, 1,
         "Failure log: WORK/renamer_failures.log", Lines{"B.JPG", "b.jpg"},
         Lines{"renamer_failures.log"}},
        {"renameat2 unknown to the kernel", plainTree, "renameat2=ENOSYS", lower, 0, bothRenamed,
         Lines{"Qdir", "a.jpg"}, Lines{}},
        {"a file system without the flag", plainTree, "renameat2=EOPNOTSUPP", lower, 0, bothRenamed,
         Lines{"Qdir", "a.jpg"}, Lines{}},
        // Not knowing where a link leads, the link is not written over.
        {"readlink of a settings file", linkedSettings, "readlink~s.rns=EIO", saveSettings, 2,
         "Unable to write to s.rns: Input/output error.", std::nullopt, Lines{"real.rns", "s.rns"}},
    };
    std::vector<CallFault> all(std::begin(rows), std::end(rows));
    all.insert(all.end(), std::begin(fallbacks), std::end(fallbacks));
    for (const CallFault& row : all) {
        SCOPED_TRACE(row.call);
        removeTree(tree);
        removeTree(work);
        makeDirectory(tree);
        makeDirectory(work);
        row.setUp(tree, work);
        Lines args;
        for (const std::string& arg : row.args)
            args.push_back(expand(arg, tree, work));
        const CliRun result =
            run(args, row.rules.empty() ? std::vector<std::string>{}
                                        : faultEnv(expand(row.rules, tree, work)));
        EXPECT_EQ(result.status, row.status) << result.out << result.err;
        EXPECT_NE((result.out + result.err).find(expand(row.says, tree, work)), std::string::npos)
            << result.out << result.err;
        if (row.treeAfter) {
            EXPECT_EQ(listNames(tree), *row.treeAfter);
        }
        if (row.workAfter) {
            EXPECT_EQ(listNames(work), *row.workAfter);
        }
    }
}

// A change of case that finds the entry itself goes through a temporary name; when that first
// step fails, the entry never left its name and the log says nothing of a temporary one.
TEST_F(BoundaryTest, ADetourThatCannotStartLeavesTheEntryWhereItWas) {
    writeFile(tree + "/A.txt", "content");
    ASSERT_EQ(link((tree + "/A.txt").c_str(), (tree + "/a.txt").c_str()), 0);
    const CliRun go =
        run({"go", "--filter", "*", "--case", "lower", tree}, faultEnv("rename@2=EACCES"));
    EXPECT_EQ(go.status, 1) << go.err;
    EXPECT_EQ(listNames(tree), (Lines{"A.txt", "a.txt"}));
    const std::string log = readFile(work + "/renamer_failures.log");
    EXPECT_NE(log.find(tree + "/A.txt -> a.txt\r\n"), std::string::npos) << log;
}

// As the user 65534: folders that may not be searched, read or written.
TEST_F(BoundaryTest, FoldersAnUnprivilegedUserMayNotUseAreReported) {
    REQUIRE_ROOT("run the program as another user");
    const std::string root = makeRoot();
    const auto mode = [&root](const std::string& path, mode_t bits) {
        makeDirectory(root + path);
        chmod((root + path).c_str(), bits);
    };
    writeFile(root + "/tree/A.JPG", "a");
    writeFile(root + "/tree/B.JPG", "b");
    writeFile(root + "/tree/b.jpg", "taken");
    writeFile(root + "/tree/searchable/C.JPG", "c");
    mode("/tree/searchable", 0111);  // entered, but not listed: passed over
    chmod((root + "/tree/searchable/C.JPG").c_str(), 0666);
    // A folder that can be neither read nor searched abandons the walk.
    mode("/closed", 0777);
    writeFile(root + "/closed/D.JPG", "d");
    mode("/closed/inner", 0);
    mode("/unsearchable", 0666);
    mode("/unlistable", 0311);
    mode("/readonly", 0555);
    writeFile(root + "/work/secret.rns", kSection);
    chmod((root + "/work/secret.rns").c_str(), 0600);

    // Without /proc in the root folder to name an unnamed file by, the log is a plain file here.
    const CliRun go = runUnprivileged(root, {"go", "--case", "lower", "/tree"});
    EXPECT_EQ(go.status, 1) << go.err;
    EXPECT_EQ(go.out,
              "Done, 1 file(s) renamed, 1 failure(s).  [see failure log]\n"
              "Failure log: /work/renamer_failures.log\n");
    EXPECT_EQ(listNames(root + "/tree"), (Lines{"B.JPG", "a.jpg", "b.jpg", "searchable"}));
    EXPECT_EQ(readFile(root + "/tree/searchable/C.JPG"), "c");

    struct Row {
        Lines args;
        std::string says;
    };
    const Row rows[] = {
        {{"scan", "--case", "lower", "/closed"}, "'/closed/inner': File access denied."},
        {{"scan", "--case", "lower", "/unsearchable"}, "'/unsearchable': permission denied"},
        {{"scan", "--case", "lower", "/unlistable"}, "'/unlistable': permission denied"},
        {{"scan", "--save-settings", "/readonly/s.rns", "/tree"},
         "Unable to write to /readonly/s.rns: File access denied."},
        {{"scan", "--settings", "secret.rns", "/tree"},
         "Unable to read secret.rns: File access denied."},
    };
    for (const Row& row : rows) {
        const CliRun refused = runUnprivileged(root, row.args);
        EXPECT_EQ(refused.status, 2) << row.args.back();
        EXPECT_NE(refused.err.find(row.says), std::string::npos) << refused.err;
    }
    EXPECT_EQ(listNames(root + "/readonly"), Lines{});

    // A working directory that may not be written: no log, so nothing is renamed.
    chmod((root + "/work").c_str(), 0555);
    for (const Lines& args : {Lines{"go", "--case", "upper", "/tree"},
                              Lines{"go", "--batch", "--case", "upper", "/tree"}}) {
        const CliRun refused = runUnprivileged(root, args);
        EXPECT_EQ(refused.status, 2) << refused.err;
        EXPECT_NE(refused.err.find("File access denied."), std::string::npos) << refused.err;
        EXPECT_EQ(listNames(root + "/tree"), (Lines{"B.JPG", "a.jpg", "b.jpg", "searchable"}));
    }
}

TEST_F(BoundaryTest, ASettingsFileThatCannotBeSavedOnAFullDiskKeepsItsOldContent) {
    REQUIRE_ROOT("mount a small file system in a private mount namespace");
    writeFile(tree + "/A.JPG");
    const std::string seed = temp / "seed";
    const std::string old = kSection + "ed14=old_\n";
    writeFile(seed + "/s.rns", old);
    writeFile(seed + "/filler", std::string(60 * 1024, 'x'));
    const CliRun save = runOnTmpfs(
        64 * 1024,
        {"scan", "--prefix", "new_", "--save-settings", "s.rns", "--format", "tsv", tree}, seed);
    EXPECT_EQ(save.status, 2) << save.err;
    EXPECT_NE(save.err.find("Unable to write to s.rns: No space left on device."),
              std::string::npos)
        << save.err;
    EXPECT_EQ(readFile(kept + "/s.rns"), old);
    EXPECT_EQ(listNames(kept), (Lines{"filler", "s.rns"}));
}

}  // namespace
}  // namespace zr::test
