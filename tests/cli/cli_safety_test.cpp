// SPDX-License-Identifier: GPL-3.0-or-later
// The command line tried as a careless user and as an attacker would, as whole processes on real
// trees: nothing is renamed that the user did not ask for, nothing outside the start directory
// is touched, and what the program reports is true. Every test checks the tree afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "cli_process.h"
#include "support/temp_dir.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kSection = "[Renamer Settings]\nver=1005\n";

class SafetyTest : public ::testing::Test {
protected:
    SafetyTest() : work(temp / "work"), tree(temp / "tree") {
        makeDirectory(work);
        makeDirectory(tree);
    }

    CliRun run(const Lines& args, std::vector<std::string> env = {}) {
        ProcessOptions options;
        options.cwd = work;
        options.env = std::move(env);
        return runCli(args, std::move(options));
    }

    // A folder that the program sees as "/", holding it and its libraries; a run there can never
    // reach the real root, whatever it does.
    std::string makeRoot() {
        const std::string root = temp / "root";
        makeDirectory(root + "/work");
        program = prepareRoot(cliProgram(), root);
        return root;
    }

    CliRun runInRoot(const std::string& root, const Lines& args, bool removeCwd = false) {
        ProcessOptions options;
        options.root = root;
        options.cwd = "/work";
        options.removeCwd = removeCwd;
        // Go keeps its journals in the state folder: one inside the root.
        options.env = {"XDG_STATE_HOME=/state"};
        ChildProcess child(program, args, std::move(options));
        return child.wait();
    }

    TempDir temp;
    std::string work;
    std::string tree;
    std::string program;
};

TEST_F(SafetyTest, AnEmptyStartDirectoryNamesNoDirectoryNotTheRoot) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the program a root folder of its own (chroot)";
    const std::string root = makeRoot();
    writeFile(root + "/photos/A.JPG", "a");
    writeFile(root + "/tmp/X.JPG", "x");
    writeFile(root + "/top.JPG", "t");
    makeDirectory(root + "/etc");
    writeFile(root + "/work/empty.rns", kSection + "ed8=\nch13=1\ned14=p_\n");
    writeFile(root + "/work/nodir.rns", kSection + "ch13=1\ned14=p_\n");
    // Names only: the root holds the program's libraries, and the program only renames.
    const Lines before = listTree(root);

    for (const Lines& args :
         {Lines{"go", "--prefix", "p_", ""}, Lines{"go", "--settings", "empty.rns"},
          Lines{"go", "--settings", "nodir.rns"},
          Lines{"scan", "--dirs-only", "--no-recursive", "--case", "upper", ""},
          Lines{"scan", "--settings", "empty.rns"}}) {
        const CliRun refused = runInRoot(root, args);
        EXPECT_EQ(refused.status, 2) << args[1] << " " << args.back() << "\n" << refused.err;
        EXPECT_NE(refused.err.find("start directory"), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(listTree(root), before) << args[1] << " " << args.back();
    }

    // A start directory on the command line stands in for the missing one; a root typed as "/"
    // is honoured.
    const CliRun named = runInRoot(root, {"go", "--settings", "nodir.rns", "/photos"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(listNames(root + "/photos"), Lines{"p_A.JPG"});
    const CliRun slash = runInRoot(
        root, {"scan", "--dirs-only", "--no-recursive", "--case", "upper", "--format", "tsv", "/"});
    EXPECT_EQ(slash.status, 0) << slash.err;
    EXPECT_NE(slash.out.find("etc\tETC\tDIR"), std::string::npos) << slash.out;
}

TEST_F(SafetyTest, AWorkingDirectoryThatNoLongerExistsRefusesTheRunBeforeAnythingIsWritten) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the program a root folder of its own (chroot)";
    const std::string root = makeRoot();
    rmdir((root + "/work").c_str());
    writeFile(root + "/photos/A.JPG", "a");
    writeFile(root + "/photos/B.JPG", "b");
    const Lines before = listTree(root);
    for (const Lines& args : {Lines{"go", "--batch", "--case", "lower", "/photos"},
                              Lines{"go", "--case", "lower", "/photos"}}) {
        makeDirectory(root + "/work");
        const CliRun refused = runInRoot(root, args, true);
        EXPECT_EQ(refused.status, 2) << refused.err;
        EXPECT_NE(refused.err.find("current directory"), std::string::npos) << refused.err;
        EXPECT_EQ(listTree(root), before) << args[1];
    }
}

TEST_F(SafetyTest, ANulByteInASettingsValueIsRefusedNamingTheKey) {
    writeFile(tree + "/Other.jpg", "o");
    writeFile(work + "/prefix.rns", kSection + "ch13=1\ned14=X" + std::string(1, '\0') + "Y_\n");
    writeFile(work + "/start.rns",
              kSection + "ch13=1\ned14=p_\ned8=" + tree + std::string(1, '\0') + "/nope\n");
    const auto before = snapshotTree(temp.path());
    for (const auto& [file, key] : {std::pair{"prefix.rns", "ed14"}, {"start.rns", "ed8"}}) {
        const CliRun refused = run({"go", "--settings", file, "--journal", "undo.journal", tree});
        EXPECT_EQ(refused.status, 2) << refused.err;
        EXPECT_NE(refused.err.find("'" + std::string(key) + "'"), std::string::npos) << refused.err;
        EXPECT_EQ(snapshotTree(temp.path()), before) << file;
    }
}

TEST_F(SafetyTest, UndoLeavesAloneWhatGoFailedToRename) {
    writeFile(tree + "/IMG1.JPG", "camera");
    writeFile(tree + "/img1.jpg", "the user's own");  // lower-casing IMG1.JPG fails on it
    writeFile(tree + "/B.JPG", "b");
    const CliRun go = run({"go", "--case", "lower", "--journal", "undo.journal", tree});
    EXPECT_EQ(go.status, 1);
    EXPECT_EQ(go.out.substr(0, go.out.find('\n')),
              "Done, 1 file(s) renamed, 1 failure(s).  [see failure log]");

    std::filesystem::remove(tree + "/IMG1.JPG");  // the user clears up
    const CliRun undo = run({"undo", "--journal", "undo.journal"});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "Undo done, 1 file(s) renamed back, 0 failure(s).\n");
    EXPECT_EQ(snapshotTree(tree),
              (std::map<std::string, std::string>{{"B.JPG", "b"}, {"img1.jpg", "the user's own"}}));
}

TEST_F(SafetyTest, ADirectorySwappedForALinkBeforeTheRenamesSendsNoRenameOutsideTheTree) {
    writeFile(tree + "/d/A.JPG", "inside");
    const std::string elsewhere = temp / "elsewhere";
    writeFile(elsewhere + "/A.JPG", "outside");
    const std::string pauseDir = temp / "pause";
    makeDirectory(pauseDir);

    // The run stops when it creates its failure log: after the walk, before the first rename.
    ProcessOptions options;
    options.cwd = work;
    options.env = faultEnv("tmpfile=pause", pauseDir);
    const auto child = startCli({"go", "--case", "lower", tree}, std::move(options));
    ASSERT_TRUE(waitForPause(pauseDir, *child)) << child->wait().err;
    std::filesystem::rename(tree + "/d", tree + "/d.old");
    std::filesystem::create_directory_symlink(elsewhere, tree + "/d");
    writeFile(pauseDir + "/resume");
    const CliRun go = child->wait();

    EXPECT_EQ(snapshotTree(elsewhere), (std::map<std::string, std::string>{{"A.JPG", "outside"}}));
    EXPECT_EQ(readFile(tree + "/d.old/A.JPG"), "inside");
    EXPECT_EQ(go.status, 1) << go.err;
    EXPECT_EQ(go.out.substr(0, go.out.find('\n')),
              "Done, 0 file(s) renamed, 1 failure(s).  [see failure log]");
    EXPECT_NE(readFile(work + "/renamer_failures.log").find(tree + "/d/A.JPG -> a.jpg"),
              std::string::npos);
}

TEST_F(SafetyTest, ARuleThatEmptiesANameLeavesAJournalThatUndoesTheRest) {
    writeFile(tree + "/x", "emptied");
    writeFile(tree + "/xAx", "renamed");
    const CliRun go =
        run({"go", "--filter", "*", "--kill-chars", "x", "--journal", "undo.journal", tree});
    EXPECT_EQ(go.status, 1) << go.err;  // the empty name is refused
    EXPECT_EQ(listNames(tree), (Lines{"A", "x"}));
    const CliRun undo = run({"undo", "--journal", "undo.journal"});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "Undo done, 1 file(s) renamed back, 0 failure(s).\n");
    EXPECT_EQ(snapshotTree(tree),
              (std::map<std::string, std::string>{{"x", "emptied"}, {"xAx", "renamed"}}));
}

TEST_F(SafetyTest, AJournalThatRenamesItselfIsNotRemovedOnceItsNameHoldsAnotherFile) {
    // Crafted: the undo moves the journal away and gives its name to "precious".
    writeFile(work + "/precious", "keep me");
    writeFile(work + "/undo.journal", "zentarel-renamer journal 1\n" + work +
                                          "/undo.journal.moved*undo.journal\n" + work +
                                          "/undo.journal*precious\nend 2\n");
    const CliRun undo = run({"undo", "--journal", "undo.journal"});
    EXPECT_EQ(undo.status, 3) << undo.err;
    // A journal of version 1 is undone as it says, and says that it cannot be checked.
    EXPECT_NE(undo.err.find("older version"), std::string::npos) << undo.err;
    EXPECT_NE(undo.err.find("no longer holds the journal"), std::string::npos) << undo.err;
    EXPECT_EQ(readFile(work + "/undo.journal"), "keep me");
    EXPECT_TRUE(exists(work + "/undo.journal.moved"));
}

TEST_F(SafetyTest, AFolderChangedBetweenTheWalkAndItsRenamesHasNothingRenamedInIt) {
    const std::string outside = temp / "outside";
    makeDirectory(outside);
    const std::string pauseDir = temp / "pause";
    struct Row {
        const char* what;
        std::string rules;
        std::function<void()> change;
        int renamed;  // of the five files, before the change
    };
    const Row rows[] = {
        // After the walk, before the first rename: the folder is swapped for another.
        {"swapped", "tmpfile=pause",
         [&] {
             std::filesystem::rename(tree + "/d", outside + "/d");
             for (const char* name : {"A", "B", "C", "D", "E"})
                 writeFile(tree + "/d/" + name + ".JPG", "impostor");
         },
         0},
        // Its second rename waits: the folder is moved out of the tree meanwhile.
        {"moved", "renameat2@2=pause",
         [&] { std::filesystem::rename(tree + "/d", outside + "/d"); }, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        removeTree(tree);
        removeTree(outside);
        removeTree(pauseDir);
        makeDirectory(outside);
        makeDirectory(pauseDir);
        for (const char* name : {"A", "B", "C", "D", "E"})
            writeFile(tree + "/d/" + name + ".JPG", name);
        ProcessOptions options;
        options.cwd = work;
        options.env = faultEnv(row.rules, pauseDir);
        const auto child = startCli({"go", "--jobs", "1", "--case", "lower", tree}, options);
        ASSERT_TRUE(waitForPause(pauseDir, *child)) << child->wait().err;
        row.change();
        writeFile(pauseDir + "/resume");
        const CliRun go = child->wait();
        EXPECT_EQ(go.status, 1) << go.err;
        EXPECT_EQ(go.out.substr(0, go.out.find('\n')),
                  "Done, " + std::to_string(row.renamed) + " file(s) renamed, " +
                      std::to_string(5 - row.renamed) + " failure(s).  [see failure log]");
        int lower = 0;
        for (const std::string& name : listNames(outside + "/d"))
            lower += name.ends_with(".jpg") ? 1 : 0;
        EXPECT_EQ(lower, row.renamed);
        if (exists(tree + "/d")) {
            EXPECT_EQ(listNames(tree + "/d"), (Lines{"A.JPG", "B.JPG", "C.JPG", "D.JPG", "E.JPG"}));
        }
        const std::string log = work + "/renamer_failures.log";
        EXPECT_NE((exists(log) ? readFile(log) : "").find(" (folder changed since the walk)\r\n"),
                  std::string::npos);
        std::filesystem::remove(log);
    }
}

TEST_F(SafetyTest, AFolderMountedOverBetweenTheWalkAndItsRenamesHasNothingRenamedInIt) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount in a private mount namespace";
    const std::string other = temp / "other";
    writeFile(tree + "/d/A.JPG", "inside");
    writeFile(other + "/A.JPG", "mounted");
    const std::string pauseDir = temp / "pause";
    makeDirectory(pauseDir);
    ChildOptions namespaced;
    namespaced.tmpfsAt = temp / "scratch";
    namespaced.tmpfsBytes = 1024 * 1024;
    makeDirectory(namespaced.tmpfsAt);
    const std::string answer = runInChild(
        [&] {
            ProcessOptions options;
            options.cwd = work;
            options.env = faultEnv("tmpfile=pause", pauseDir);
            const auto child = startCli({"go", "--case", "lower", tree}, options);
            if (!waitForPause(pauseDir, *child))
                return std::string("no pause");
            if (mount(other.c_str(), (tree + "/d").c_str(), nullptr, MS_BIND, nullptr) != 0)
                return std::string("no mount");
            writeFile(pauseDir + "/resume");
            const CliRun go = child->wait();
            std::string seen =
                std::to_string(go.status) + " " + go.out.substr(0, go.out.find('\n'));
            for (const std::string& name : listNames(tree + "/d"))
                seen += " " + name;
            umount((tree + "/d").c_str());
            return seen;
        },
        namespaced);
    EXPECT_EQ(answer, "1 Done, 0 file(s) renamed, 1 failure(s).  [see failure log] A.JPG");
    EXPECT_EQ(listNames(other), Lines{"A.JPG"});
    EXPECT_EQ(listNames(tree + "/d"), Lines{"A.JPG"});
}

TEST_F(SafetyTest, AKillBetweenTheStepsOfADetourLeavesAJournalThatUndoesIt) {
    // A file system that ignores letter case: a change of case alone goes through a temporary
    // name, and the run is killed after the first step of its third detour.
    for (const char* jobs : {"1", "16"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        removeTree(tree);
        makeDirectory(tree);
        std::filesystem::remove(work + "/undo.journal");
        for (int i = 0; i < 8; ++i)
            writeFile(tree + "/IMG_" + std::to_string(i) + ".JPG", std::to_string(i));
        const auto before = snapshotTree(tree);
        const std::string pauseDir = temp / "pause";
        removeTree(pauseDir);
        makeDirectory(pauseDir);
        ProcessOptions options;
        options.cwd = work;
        options.env = faultEnv("casefold=on,renameat2~.zentarel-rename@6=pause", pauseDir);
        const auto child = startCli(
            {"go", "--jobs", jobs, "--case", "lower", "--journal", "undo.journal", tree}, options);
        ASSERT_TRUE(waitForPause(pauseDir, *child)) << child->wait().err;
        child->signal(SIGKILL);
        EXPECT_EQ(child->wait().status, 128 + SIGKILL);
        int detoured = 0;
        for (const std::string& name : listNames(tree))
            detoured += name.starts_with(".zentarel-rename-") ? 1 : 0;
        EXPECT_EQ(detoured, 1);

        const CliRun undo =
            run({"undo", "--journal", "undo.journal"}, faultEnv("casefold=on", pauseDir));
        EXPECT_EQ(undo.status, 0) << undo.err;
        EXPECT_EQ(undo.out, "Undo done, 3 file(s) renamed back, 0 failure(s).\n");
        EXPECT_EQ(snapshotTree(tree), before);
    }
}

TEST_F(SafetyTest, AJournalTakenBeforeItIsWrittenRenamesNothing) {
    writeFile(tree + "/A.JPG", "a");
    writeFile(tree + "/B.JPG", "b");
    const auto before = snapshotTree(tree);
    // The first open checks that the journal can be made; the second, after the walk, finds it
    // taken (as when two runs were started with the same journal).
    const CliRun go = run({"go", "--case", "lower", "--journal", "undo.journal", tree},
                          faultEnv("open~undo.journal@2=EEXIST"));
    EXPECT_EQ(go.status, 2);
    EXPECT_NE(go.err.find("already exists"), std::string::npos) << go.err;
    EXPECT_NE(go.err.find("Nothing was renamed."), std::string::npos) << go.err;
    EXPECT_EQ(go.out, "");
    EXPECT_EQ(snapshotTree(tree), before);
    EXPECT_EQ(listNames(work), Lines{});
}

TEST_F(SafetyTest, AnEntryLeftUnderItsTemporaryNameIsNamedInTheFailureLog) {
    // Two links of one file: "A.txt" to "a.txt" finds the entry itself and goes through a
    // temporary name; the second step fails (the name is taken) and so does the way back.
    writeFile(tree + "/A.txt", "content");
    ASSERT_EQ(link((tree + "/A.txt").c_str(), (tree + "/a.txt").c_str()), 0);
    const CliRun go =
        run({"go", "--filter", "*", "--case", "lower", tree}, faultEnv("rename@4=EACCES"));
    EXPECT_EQ(go.status, 1) << go.err;

    const Lines names = listNames(tree);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "a.txt");
    EXPECT_TRUE(names[0].starts_with(".zentarel-rename-")) << names[0];
    EXPECT_EQ(readFile(tree + "/" + names[0]), "content");
    const std::string log = readFile(work + "/renamer_failures.log");
    EXPECT_NE(log.find(tree + "/A.txt -> a.txt"), std::string::npos) << log;
    EXPECT_NE(log.find(tree + "/" + names[0]), std::string::npos) << log;
}

TEST_F(SafetyTest, NamesThatCannotBeQuotedStayOutOfTheBatchScripts) {
    const std::string hostile = "X\" & del C:\\important.txt & \".JPG";
    writeFile(tree + "/" + hostile, "1");
    writeFile(tree + "/line\nbreak.JPG", "2");
    writeFile(tree + "/Plain.JPG", "3");
    const auto before = snapshotTree(tree);
    const CliRun go = run({"go", "--batch", "--script-format", "bat", "--case", "lower", tree});
    EXPECT_EQ(go.status, 1) << go.err;
    EXPECT_EQ(go.out.substr(0, go.out.find('\n')),
              "Done, 1 file(s) placed in batch file, 2 failure(s).  [see failure log]");
    EXPECT_EQ(snapshotTree(tree), before);

    const std::string script = readFile(work + "/renamer.bat");
    EXPECT_TRUE(script.ends_with("rem to rename queued 1 file(s)\r\nrename \"" + tree +
                                 "/Plain.JPG\" \"plain.jpg\"\r\n"))
        << script;
    const std::string undo = readFile(work + "/renamer_undo.bat");
    EXPECT_TRUE(undo.ends_with("rem to undo queued 1 file(s)\r\nrename \"" + tree +
                               "/plain.jpg\" \"Plain.JPG\"\r\n"))
        << undo;
    // The log shows names with their control bytes (and backslashes) escaped, one line each.
    const std::string log = readFile(work + "/renamer_failures.log");
    EXPECT_NE(log.find(tree + "/X\" & del C:\\\\important.txt & \".JPG -> " +
                       "x\" & del c:\\\\important.txt & \".jpg\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(tree + "/line\\nbreak.JPG -> line\\nbreak.jpg\r\n"), std::string::npos)
        << log;
}

TEST_F(SafetyTest, TheWorkingDirectoryAndTheFoldersAboveItAreNotRenamed) {
    makeDirectory(tree + "/Work");
    makeDirectory(tree + "/Other");
    ProcessOptions options;
    options.cwd = tree + "/Work";
    // The scan foresees it for a go run from the same directory.
    const CliRun scan = runCli(
        {"scan", "--dirs-only", "--case", "lower", "--format", "tsv", "--show-conflicts", ".."},
        options);
    const std::size_t work = scan.out.find("Work\twork\tDIR\t");
    ASSERT_NE(work, std::string::npos) << scan.out;
    EXPECT_EQ(scan.out.find('\n', work), scan.out.find("\tworking directory\n") + 18);
    EXPECT_NE(scan.out.find("Other\tother\tDIR\t"), std::string::npos) << scan.out;
    EXPECT_EQ(scan.err, "Scanning done, found 2 file(s) to be renamed, 1 will fail.\n");
    const CliRun go = runCli({"go", "--dirs-only", "--case", "lower", ".."}, options);
    EXPECT_EQ(go.status, 1) << go.err;
    EXPECT_EQ(go.out, "Done, 1 file(s) renamed, 1 failure(s).  [see failure log]\nFailure log: " +
                          tree + "/Work/renamer_failures.log\n");
    EXPECT_EQ(listNames(tree), (Lines{"Work", "other"}));
    EXPECT_NE(readFile(tree + "/Work/renamer_failures.log").find(tree + "/Work -> work"),
              std::string::npos);
}

TEST_F(SafetyTest, SavedSettingsKeepTheStartDirectoryAsAnAbsolutePath) {
    writeFile(tree + "/A.JPG", "a");
    ProcessOptions options;
    options.cwd = tree;
    const CliRun scan =
        runCli({"scan", "--case", "lower", "--save-settings", "../s.rns", "."}, options);
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_NE(readFile(temp / "s.rns").find("\ned8=" + tree + "/\r\n"), std::string::npos)
        << readFile(temp / "s.rns");
    // Used from another folder, it still names the tree.
    writeFile(work + "/B.JPG", "b");
    EXPECT_EQ(run({"go", "--settings", "../s.rns"}).status, 0);
    EXPECT_EQ(listNames(tree), Lines{"a.jpg"});
    EXPECT_EQ(listNames(work), Lines{"B.JPG"});
}

TEST_F(SafetyTest, AProblemAfterTheRenamesExitsWithThreeNeverWithTwo) {
    writeFile(tree + "/A.JPG", "a");
    // Standard output cannot take the closing text; the renames were done all the same.
    const CliRun full =
        runCli(work, {"go", "--case", "lower", "--journal", "undo.journal", tree}, "/dev/full");
    EXPECT_EQ(full.status, 3) << full.err;
    EXPECT_NE(full.err.find("standard output"), std::string::npos) << full.err;
    EXPECT_EQ(listNames(tree), Lines{"a.jpg"});

    // The used-up journal cannot be removed after a complete undo.
    const CliRun undo =
        run({"undo", "--journal", "undo.journal"}, faultEnv("unlink~undo.journal=EACCES"));
    EXPECT_EQ(undo.status, 3) << undo.err;
    EXPECT_EQ(undo.out, "Undo done, 1 file(s) renamed back, 0 failure(s).\n");
    EXPECT_NE(undo.err.find("warning"), std::string::npos) << undo.err;
    EXPECT_EQ(listNames(tree), Lines{"A.JPG"});
}

}  // namespace
}  // namespace zr::test
