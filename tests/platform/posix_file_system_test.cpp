// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/calls_in_flight.h"
#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/shim_rules.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using test::TempDir;

class PosixFileSystemTest : public ::testing::Test {
protected:
    std::unique_ptr<FileSystem> fs = makePosixFileSystem();
    TempDir dir;

    FileId idOf(const std::string& path) {
        FileId id;
        EXPECT_EQ(fs->identify(path, id), 0) << path;
        return id;
    }
};

// A rename without the checks of a run's entries.
int renameIn(RenameSession& session, const std::string& from, const std::string& to,
             std::string& strandedAt) {
    RenameRequest request;
    request.from = from;
    request.to = to;
    return session.rename(request, strandedAt);
}

// Reading ahead is not even tried where every processor has work: read from the kernel's count
// of threads ready to run, the asking one among them. What cannot be read says "free", so that
// the trial decides.
TEST(ProcessorFree, ReadFromTheThreadsReadyToRun) {
    const std::string head = "cpu  1 2 3 4\nctxt 99\n";
    const struct {
        std::string stat;
        long processors;
        bool free;
    } cases[] = {
        {head + "procs_running 1\nprocs_blocked 0\n", 2, true},
        {head + "procs_running 2\nprocs_blocked 0\n", 2, false},
        {head + "procs_running 5\n", 4, false},
        {head + "procs_running 3\n", 4, true},
        {head + "procs_running 3", 2, false},  // the last line, without its end
        {head + "procs_blocked 7\n", 1, true},
        {head + "procs_running many\n", 1, true},
        {head + "xprocs_running 9\n", 1, true},
        {head + "procs_running 9\n", 0, true},
        {"", 2, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(processorFreeIn(c.stat, c.processors), c.free) << c.stat << " / " << c.processors;
}

TEST_F(PosixFileSystemTest, ChangeDirectoryResolvesLikeTheShell) {
    test::makeDirectory(dir / "a/b");
    ASSERT_EQ(symlink((dir / "a").c_str(), (dir / "link").c_str()), 0);
    std::string result;
    ASSERT_EQ(fs->changeDirectory(dir.path(), "a", result), 0);
    EXPECT_EQ(result, dir / "a");
    ASSERT_EQ(fs->changeDirectory(result, "b/", result), 0);
    EXPECT_EQ(result, dir / "a/b");
    ASSERT_EQ(fs->changeDirectory(result, "..", result), 0);
    EXPECT_EQ(result, dir / "a");
    // A link is followed when it is the start directory, as the shell does.
    ASSERT_EQ(fs->changeDirectory(dir.path(), "link/b", result), 0);
    EXPECT_EQ(result, dir / "a/b");
    ASSERT_EQ(fs->changeDirectory(dir.path(), "link", result), 0);
    EXPECT_EQ(result, dir / "a");
    ASSERT_EQ(fs->changeDirectory("/tmp", "/", result), 0);
    EXPECT_EQ(result, "/");
    ASSERT_EQ(fs->changeDirectory("/", "..", result), 0);
    EXPECT_EQ(result, "/");
    ASSERT_EQ(fs->changeDirectory("/usr", "..", result), 0);
    EXPECT_EQ(result, "/");
}

TEST_F(PosixFileSystemTest, ChangeDirectoryReportsWhyItFailed) {
    test::writeFile(dir / "file");
    std::string result = "unchanged";
    EXPECT_EQ(fs->changeDirectory(dir.path(), "missing", result), ENOENT);
    EXPECT_EQ(fs->changeDirectory(dir.path(), "missing/deeper/", result), ENOENT);
    EXPECT_EQ(fs->changeDirectory(dir.path(), "file", result), ENOTDIR);
    EXPECT_EQ(fs->changeDirectory(dir.path(), std::string(300, 'x'), result), ENAMETOOLONG);
    EXPECT_EQ(result, "unchanged");

    // Once the working directory is gone, a relative path names nothing, not even a folder the
    // root holds.
    const std::string top = dir.path().substr(1, dir.path().find('/', 1) - 1);
    const std::string gone = dir / "gone";
    test::makeDirectory(gone);
    const std::string seen = test::runInChild(
        [&] {
            if (chdir(gone.c_str()) != 0 || rmdir(gone.c_str()) != 0)
                return std::string("not set up");
            const auto fileSystem = makePosixFileSystem();
            const std::string start = fileSystem->initialDirectory();
            std::string where;
            return "'" + start + "' " +
                   std::to_string(fileSystem->changeDirectory(start, top, where));
        },
        {});
    EXPECT_EQ(seen, "'' " + std::to_string(ENOENT));
}

TEST_F(PosixFileSystemTest, ListingSeesEveryNameAndNeverCallsALinkADirectory) {
    test::makeDirectory(dir / "sub");
    test::writeFile(dir / "bad\xFF\xFE.jpg", "12345");
    test::writeFile(dir / ".hidden");
    ASSERT_EQ(symlink((dir / "sub").c_str(), (dir / "to-sub").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
    int error = -1;
    auto listing = fs->listDirectory(dir.path(), error);
    ASSERT_TRUE(listing);
    EXPECT_EQ(error, 0);
    std::vector<std::string> seen;
    DirEntry entry;
    while (listing->next(entry))
        seen.push_back(entry.name + (entry.isDirectory ? "/" : ""));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"../", "./", ".hidden", "bad\xFF\xFE.jpg", "dangling",
                                              "sub/", "to-sub"}));
    EntryInfo info;
    ASSERT_TRUE(listing->info("bad\xFF\xFE.jpg", info));
    EXPECT_EQ(info.size, 5);
    ASSERT_TRUE(listing->info("dangling", info));  // the link itself
    EXPECT_FALSE(listing->info("gone", info));

    EXPECT_FALSE(fs->listDirectory(dir / "missing", error));
    EXPECT_EQ(error, ENOENT);
}

TEST_F(PosixFileSystemTest, SubdirectoriesAreEnteredNeverThroughALink) {
    test::writeFile(dir / "real/inside.txt");
    test::writeFile(dir / "file");
    ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "link").c_str()), 0);
    int error = 0;
    auto listing = fs->listDirectory(dir.path(), error);
    ASSERT_TRUE(listing);
    std::unique_ptr<DirectoryListing> child;
    ASSERT_EQ(listing->enterSubdirectory("real", child), 0);
    ASSERT_TRUE(child);
    std::vector<std::string> names;
    DirEntry entry;
    while (child->next(entry))
        names.push_back(entry.name);
    EXPECT_NE(std::find(names.begin(), names.end(), "inside.txt"), names.end());
    EXPECT_EQ(listing->enterSubdirectory("link", child), ENOTDIR);
    EXPECT_FALSE(child);
    EXPECT_EQ(listing->enterSubdirectory("file", child), ENOTDIR);
    EXPECT_EQ(listing->enterSubdirectory("gone", child), ENOENT);
}

TEST_F(PosixFileSystemTest, SizesOfTwoGibibytesAndMoreAreKeptWhole) {
    const std::string big = dir / "big.iso";
    test::writeFile(big);
    ASSERT_EQ(truncate(big.c_str(), 5'000'000'000LL), 0);  // sparse: takes no room
    int error = 0;
    auto listing = fs->listDirectory(dir.path(), error);
    EntryInfo info;
    ASSERT_TRUE(listing->info("big.iso", info));
    EXPECT_EQ(info.size, 5'000'000'000LL);
}

TEST_F(PosixFileSystemTest, RenameNeverReplacesAnything) {
    const std::unique_ptr<RenameSession> session = fs->openRenameSession();
    std::string strandedAt;
    const std::function<int(const std::string&, const std::string&)> renames[] = {
        [&](const std::string& from, const std::string& to) { return fs->rename(from, to); },
        [&](const std::string& from, const std::string& to) {
            return renameIn(*session, from, to, strandedAt);
        },
    };
    for (const auto& rename : renames) {
        TempDir dir;
        test::writeFile(dir / "a", "A");
        test::writeFile(dir / "b", "B");
        test::makeDirectory(dir / "d");
        EXPECT_EQ(rename(dir / "a", dir / "b"), EEXIST);
        EXPECT_EQ(rename(dir / "a", dir / "d"), EEXIST);
        EXPECT_EQ(test::readFile(dir / "b"), "B");
        EXPECT_EQ(rename(dir / "a", dir / "c"), 0);
        EXPECT_EQ(test::readFile(dir / "c"), "A");
        EXPECT_FALSE(test::exists(dir / "a"));
        EXPECT_EQ(rename(dir / "d", dir / "e"), 0);
        EXPECT_EQ(rename(dir / "missing", dir / "x"), ENOENT);
        EXPECT_EQ(rename(dir / "c", dir / "C"), 0);  // a change of case alone
        EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"C", "b", "e"}));
    }
    EXPECT_EQ(strandedAt, "");
}

TEST_F(PosixFileSystemTest, ANameThatIsTheSourceItselfButAnotherLinkIsLeftAlone) {
    // Two hard links share one entry, as a name differing only in case does on a file system
    // that ignores case; the detour through a temporary name must put everything back.
    test::writeFile(dir / "a", "A");
    ASSERT_EQ(link((dir / "a").c_str(), (dir / "b").c_str()), 0);
    std::string strandedAt;
    EXPECT_EQ(renameIn(*fs->openRenameSession(), dir / "a", dir / "b", strandedAt), EEXIST);
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(strandedAt, "");
}

TEST_F(PosixFileSystemTest, ASessionNeverRenamesThroughASymbolicLink) {
    test::writeFile(dir / "tree/d/A", "inside");
    test::writeFile(dir / "elsewhere/A", "outside");
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (dir / "tree/link").c_str()), 0);
    ASSERT_EQ(symlink((dir / "tree").c_str(), (dir / "treelink").c_str()), 0);
    const std::unique_ptr<RenameSession> session = fs->openRenameSession();
    std::string strandedAt;
    // A link as the parent, or anywhere above it, refuses the rename.
    EXPECT_EQ(renameIn(*session, dir / "tree/link/A", dir / "tree/link/a", strandedAt), ELOOP);
    EXPECT_EQ(renameIn(*session, dir / "treelink/d/A", dir / "treelink/d/a", strandedAt), ELOOP);
    EXPECT_EQ(test::listNames(dir / "elsewhere"), std::vector<std::string>{"A"});
    EXPECT_EQ(test::listNames(dir / "tree/d"), std::vector<std::string>{"A"});
    // The link itself is an entry like any other and is renamed, not what it points to.
    EXPECT_EQ(renameIn(*session, dir / "tree/link", dir / "tree/link2", strandedAt), 0);
    EXPECT_EQ(renameIn(*session, dir / "tree/d/A", dir / "tree/d/a", strandedAt), 0);
    EXPECT_EQ(test::listNames(dir / "tree"), (std::vector<std::string>{"d", "link2"}));
    EXPECT_EQ(test::readFile(dir / "tree/d/a"), "inside");
}

TEST_F(PosixFileSystemTest, CreateFileIsExclusive) {
    test::writeFile(dir / "taken", "keep");
    ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
    int error = 0;
    EXPECT_FALSE(fs->createFile(dir / "taken", error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_FALSE(fs->createFile(dir / "dangling", error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_FALSE(test::exists(dir / "nowhere"));
    EXPECT_EQ(test::readFile(dir / "taken"), "keep");

    auto file = fs->createFile(dir / "new.txt", error);
    ASSERT_TRUE(file);
    const std::string big(200000, 'x');  // more than one buffer
    EXPECT_EQ(file->write("head\r\n"), 0);
    EXPECT_EQ(file->write(big), 0);
    EXPECT_EQ(file->close(), 0);
    EXPECT_EQ(test::readFile(dir / "new.txt"), "head\r\n" + big);
    EXPECT_TRUE(fs->exists(dir / "dangling"));
    EXPECT_EQ(fs->removeFile(dir / "new.txt"), 0);
    EXPECT_FALSE(fs->exists(dir / "new.txt"));
}

TEST_F(PosixFileSystemTest, ReplaceFileKeepsTheModeAndLeavesNoTemporaryFile) {
    const std::string path = dir / "settings.rns";
    test::writeFile(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(fs->replaceFile(path, "new content"), 0);
    std::string content;
    EXPECT_EQ(fs->readFile(path, content), 0);
    EXPECT_EQ(content, "new content");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"settings.rns"}));
    EXPECT_EQ(fs->replaceFile(dir / "missing-dir/x", "y"), ENOENT);
    // A new file, with no mode to keep, gets the one the umask leaves.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs->replaceFile(dir / "new.rns", "x"), 0);
    ASSERT_EQ(stat((dir / "new.rns").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST_F(PosixFileSystemTest, CreateDirectoriesMakesEveryMissingLevel) {
    EXPECT_EQ(fs->createDirectories(dir / "x/y/z"), 0);
    EXPECT_EQ(fs->createDirectories(dir / "x/y/z"), 0);
    test::writeFile(dir / "file");
    EXPECT_EQ(fs->createDirectories(dir / "file"), ENOTDIR);
}

TEST_F(PosixFileSystemTest, AnUnnamedFileIsNamedOnlyWhenAskedAndNeverOverAnEntry) {
    test::writeFile(dir / "taken", "keep");
    int error = 0;
    auto file = fs->createUnnamedFile(dir / "log", error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->write("line\r\n"), 0);
    EXPECT_EQ(file->flush(), 0);
    EXPECT_EQ(test::listNames(dir.path()), std::vector<std::string>{"taken"});
    EXPECT_EQ(file->giveName(dir / "taken"), EEXIST);
    EXPECT_EQ(test::readFile(dir / "taken"), "keep");
    EXPECT_EQ(file->giveName(dir / "log"), 0);
    EXPECT_EQ(file->giveName(dir / "again"), EINVAL);  // it has a name now
    EXPECT_EQ(file->close(), 0);
    EXPECT_EQ(test::readFile(dir / "log"), "line\r\n");

    auto named = fs->createFile(dir / "named", error);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->giveName(dir / "other"), EINVAL);
    EXPECT_EQ(named->close(), 0);
    EXPECT_EQ(named->makeExecutable(), EBADF);  // closed
    EXPECT_FALSE(fs->createUnnamedFile(dir / "missing/log", error));
    EXPECT_EQ(error, ENOENT);
}

TEST_F(PosixFileSystemTest, ReplacingThroughLinksFollowsThemAndRefusesWhatCannotBeFollowed) {
    test::writeFile(dir / "file");
    ASSERT_EQ(symlink("b", (dir / "a").c_str()), 0);
    ASSERT_EQ(symlink("a", (dir / "b").c_str()), 0);
    EXPECT_EQ(fs->replaceFile(dir / "a", "x"), ELOOP);
    EXPECT_EQ(fs->replaceFile(dir / "file/x", "x"), ENOTDIR);
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"a", "b", "file"}));
}

TEST_F(PosixFileSystemTest, ASessionRefusesPathsItCannotUse) {
    test::writeFile(dir / "a", "A");
    const std::unique_ptr<RenameSession> session = fs->openRenameSession();
    std::string strandedAt;
    EXPECT_EQ(renameIn(*session, "a", "b", strandedAt), EINVAL);  // not absolute
    EXPECT_EQ(renameIn(*session, dir / "", dir / "b", strandedAt), EINVAL);
    EXPECT_EQ(renameIn(*session, dir / "a", dir / "", strandedAt), EINVAL);
    EXPECT_EQ(renameIn(*session, dir / "a", dir / "missing/a", strandedAt), ENOENT);
    EXPECT_EQ(renameIn(*session, dir / "a", dir / "a", strandedAt), EEXIST);
    EXPECT_EQ(test::listNames(dir.path()), std::vector<std::string>{"a"});
    EXPECT_EQ(renameIn(*session, dir / "a", dir / "sub", strandedAt), 0);
    test::makeDirectory(dir / "d");
    EXPECT_EQ(renameIn(*session, dir / "sub", dir / "d/a", strandedAt), 0);  // another folder
    EXPECT_EQ(test::readFile(dir / "d/a"), "A");
}

TEST_F(PosixFileSystemTest, TheDetourTakesAFreeTemporaryNameAndGivesUpWhenThereIsNone) {
    // Two links of one file, as a change of case finds on a file system that ignores case.
    test::writeFile(dir / "a", "A");
    ASSERT_EQ(link((dir / "a").c_str(), (dir / "b").c_str()), 0);
    const std::string temporary = ".zentarel-rename-" + std::to_string(getpid()) + "-";
    test::writeFile(dir / (temporary + "0"), "someone else's");
    std::string strandedAt;
    EXPECT_EQ(renameIn(*fs->openRenameSession(), dir / "a", dir / "b", strandedAt), EEXIST);
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{temporary + "0", "a", "b"}));
    EXPECT_EQ(test::readFile(dir / (temporary + "0")), "someone else's");
    for (int i = 1; i < 100; ++i)
        test::writeFile(dir / (temporary + std::to_string(i)));
    EXPECT_EQ(renameIn(*fs->openRenameSession(), dir / "a", dir / "b", strandedAt), EEXIST);
    EXPECT_EQ(test::listNames(dir.path()).size(), 102u);
    EXPECT_EQ(strandedAt, "");
}

TEST_F(PosixFileSystemTest, FoldersThatCannotBeMadeOrEnteredAreReported) {
    test::writeFile(dir / "file");
    ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
    EXPECT_EQ(fs->createDirectories(""), ENOENT);
    EXPECT_EQ(fs->createDirectories(dir / "file/sub"), ENOTDIR);
    EXPECT_EQ(fs->createDirectories(dir / "dangling"), ENOENT);
    std::string result;
    EXPECT_EQ(fs->changeDirectory(dir.path(), std::string("a\0b", 3), result), EINVAL);

    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to look at folders as another user";
    test::makeDirectory(dir / "closed");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "closed").c_str(), 0600), 0);  // found, but not to be searched
    test::ChildOptions asNobody;
    asNobody.root = dir.path();
    asNobody.unprivileged = true;
    const std::string seen = test::runInChild(
        [] {
            std::string where;
            const auto fileSystem = makePosixFileSystem();
            return std::to_string(fileSystem->changeDirectory("/", "closed", where)) + " " +
                   std::to_string(fileSystem->changeDirectory("/", "/closed/", where));
        },
        asNobody);
    EXPECT_EQ(seen, std::to_string(EACCES) + " " + std::to_string(EACCES));
}

using test::ShimRules;

TEST_F(PosixFileSystemTest, ALockIsTakenOnlyOfTheFileTheNameStillNames) {
    const std::string path = dir / "undo.journal";
    test::writeFile(path, "first");
    ASSERT_EQ(symlink("undo.journal", (dir / "link").c_str()), 0);
    std::unique_ptr<FileLock> lock;
    std::unique_ptr<FileLock> other;
    EXPECT_EQ(fs->lockFile(dir / "missing", lock), ENOENT);
    EXPECT_EQ(fs->lockFile(dir / "link", lock), ELOOP);
    ASSERT_EQ(fs->lockFile(path, lock), 0);
    EXPECT_EQ(fs->lockFile(path, other), EWOULDBLOCK);  // held, even by this same process
    lock.reset();

    ShimRules shim;
    if (!shim.loaded())
        GTEST_SKIP() << "needs the fault shim preloaded, as ctest does";
    // The name is given to another file between the open and the lock: what is locked is not
    // what the name names.
    const std::string pauseDir = dir / "pause";
    test::makeDirectory(pauseDir);
    setenv("ZR_FAULTS_DIR", pauseDir.c_str(), 1);
    shim.set("stat~" + path + "$@1=pause");
    std::thread replacer([&] {
        for (int i = 0; i < 3000 && !test::exists(pauseDir + "/paused"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        test::writeFile(dir / "second", "second");
        std::filesystem::rename(dir / "second", path);
        test::writeFile(pauseDir + "/resume");
    });
    EXPECT_EQ(fs->lockFile(path, lock), ENOENT);
    replacer.join();
    unsetenv("ZR_FAULTS_DIR");
    EXPECT_FALSE(lock);
    // Nor when the file cannot be looked at.
    shim.set("stat~" + path + "$=EIO");
    EXPECT_EQ(fs->lockFile(path, lock), EIO);
}

TEST_F(PosixFileSystemTest, WithoutOpenat2ASessionStillNeverRenamesThroughALink) {
    ShimRules shim;
    if (!shim.loaded())
        GTEST_SKIP() << "needs the fault shim preloaded, as ctest does";
    test::writeFile(dir / "tree/d/A", "inside");
    test::writeFile(dir / "elsewhere/A", "outside");
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (dir / "tree/link").c_str()), 0);
    ASSERT_EQ(symlink((dir / "tree").c_str(), (dir / "treelink").c_str()), 0);
    shim.set("openat2=ENOSYS");  // a kernel before 5.6: one folder after another
    const std::unique_ptr<RenameSession> session = fs->openRenameSession();
    std::string strandedAt;
    EXPECT_EQ(renameIn(*session, dir / "tree/link/A", dir / "tree/link/a", strandedAt), ENOTDIR);
    EXPECT_EQ(renameIn(*session, dir / "treelink/d/A", dir / "treelink/d/a", strandedAt), ENOTDIR);
    EXPECT_EQ(test::listNames(dir / "elsewhere"), std::vector<std::string>{"A"});
    EXPECT_EQ(renameIn(*session, dir / "tree/d/A", dir / "tree/d/a", strandedAt), 0);
    EXPECT_EQ(test::readFile(dir / "tree/d/a"), "inside");
}

TEST_F(PosixFileSystemTest, TheDetourPassesOverATakenTemporaryName) {
    ShimRules shim;
    if (!shim.loaded())
        GTEST_SKIP() << "needs the fault shim preloaded, as ctest does";
    // Two links of one file stand for a name that differs from the new one only in case; the
    // new name goes away during the detour, as on a file system that ignores case it is the
    // old name itself.
    test::writeFile(dir / "a", "A");
    ASSERT_EQ(link((dir / "a").c_str(), (dir / "b").c_str()), 0);
    const std::string temporary = ".zentarel-rename-" + std::to_string(getpid()) + "-";
    test::writeFile(dir / (temporary + "0"), "someone else's");
    const std::string pauseDir = dir / "pause";
    test::makeDirectory(pauseDir);
    setenv("ZR_FAULTS_DIR", pauseDir.c_str(), 1);
    // The taken name, the free one, then the step from the free one to "b".
    shim.set("rename~" + temporary + "@3=pause");
    std::atomic<bool> done = false;
    std::thread remover([&] {
        for (int i = 0; i < 3000 && !done && !test::exists(pauseDir + "/paused"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (test::exists(pauseDir + "/paused"))
            std::filesystem::remove(dir / "b");
        test::writeFile(pauseDir + "/resume");
    });
    std::string strandedAt;
    const int error = renameIn(*fs->openRenameSession(), dir / "a", dir / "b", strandedAt);
    done = true;
    remover.join();
    unsetenv("ZR_FAULTS_DIR");
    EXPECT_EQ(error, 0);
    EXPECT_EQ(test::listNames(dir.path()),
              (std::vector<std::string>{temporary + "0", "b", "pause"}));
    EXPECT_EQ(test::readFile(dir / (temporary + "0")), "someone else's");
    EXPECT_EQ(test::readFile(dir / "b"), "A");
}

TEST_F(PosixFileSystemTest, ARunRenamesOnlyInTheFolderAndOnlyTheEntryItMeant) {
    test::writeFile(dir / "d/a", "A");
    test::writeFile(dir / "d/b", "B");
    const FileId folder = idOf(dir / "d");
    const FileId a = idOf(dir / "d/a");
    RenameRequest request;
    request.from = dir / "d/a";
    request.to = dir / "d/x";
    request.folder = folder;
    request.temporary = ".zentarel-rename-test-1";
    std::string strandedAt;
    EXPECT_EQ(fs->openRenameSession()->rename(request, strandedAt), 0);

    // The undo of it: the entry is found where the run left it, or where it belongs already.
    request.from = dir / "d/x";
    request.to = dir / "d/a";
    request.entry = a;
    bool atTemporary = false;
    const std::unique_ptr<RenameSession> session = fs->openRenameSession();
    EXPECT_EQ(session->locate(request, atTemporary), 0);
    EXPECT_FALSE(atTemporary);
    std::filesystem::rename(dir / "d/x", dir / "d/.zentarel-rename-test-1");
    session->forgetFolders();
    EXPECT_EQ(session->locate(request, atTemporary), 0);
    EXPECT_TRUE(atTemporary);
    EXPECT_EQ(session->rename(request, strandedAt), 0);  // from the temporary name
    EXPECT_EQ(test::readFile(dir / "d/a"), "A");
    EXPECT_EQ(session->locate(request, atTemporary), kAlreadyInPlace);
    EXPECT_EQ(session->rename(request, strandedAt), kAlreadyInPlace);
    // Another file under the name the run gave: not the entry, left alone.
    request.from = dir / "d/b";
    session->forgetFolders();
    std::filesystem::rename(dir / "d/a", dir / "d/gone");
    EXPECT_EQ(session->rename(request, strandedAt), kErrorNotTheEntry);
    EXPECT_EQ(test::listNames(dir / "d"), (std::vector<std::string>{"b", "gone"}));

    // The folder swapped for another of the same name: nothing is renamed in it.
    std::filesystem::rename(dir / "d", dir / "d.old");
    test::writeFile(dir / "d/b", "impostor");
    request.entry = FileId{};
    EXPECT_EQ(fs->openRenameSession()->rename(request, strandedAt), kErrorFolderChanged);
    EXPECT_EQ(test::listNames(dir / "d"), std::vector<std::string>{"b"});
    // And where the folder is gone, the walk's folder is no longer there.
    request.folder = idOf(dir / "d");
    std::filesystem::remove_all(dir / "d");
    EXPECT_EQ(fs->openRenameSession()->rename(request, strandedAt), kErrorFolderChanged);
}

TEST_F(PosixFileSystemTest, AListingTellsTheIdentitiesOfItsFolderAndEntries) {
    test::writeFile(dir / "t/f", "f");
    test::makeDirectory(dir / "t/sub");
    ASSERT_EQ(symlink("f", (dir / "t/link").c_str()), 0);
    int error = 0;
    auto listing = fs->listDirectory(dir / "t", error);
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->identity(), idOf(dir / "t"));
    int seen = 0;
    for (DirEntry entry; listing->next(entry);) {
        if (entry.name == "." || entry.name == "..")
            continue;
        FileId id;
        ASSERT_TRUE(listing->entryId(entry, id)) << entry.name;
        EXPECT_EQ(id, idOf(dir / ("t/" + entry.name))) << entry.name;
        ++seen;
    }
    EXPECT_EQ(seen, 3);
    std::unique_ptr<DirectoryListing> inner;
    ASSERT_EQ(listing->enterSubdirectory("sub", inner), 0);
    EXPECT_EQ(inner->identity(), idOf(dir / "t/sub"));
}

TEST_F(PosixFileSystemTest, AJournalIsReadUnderItsLockAndRemovedOnlyWhileItsNameHoldsIt) {
    const std::string path = dir / "undo.journal";
    test::writeFile(path, "line 1\nline 2\n");
    std::unique_ptr<FileLock> lock;
    ASSERT_EQ(fs->lockFile(path, lock), 0);
    EXPECT_EQ(lock->identity(), idOf(path));
    int error = 0;
    const std::unique_ptr<InputFile> file = lock->read(error);
    ASSERT_TRUE(file);
    std::string line;
    EXPECT_EQ(file->readLine(line, 100), 0);
    EXPECT_EQ(line, "line 1\n");
    // The name given to another file: that one stays.
    std::filesystem::rename(path, dir / "moved");
    test::writeFile(path, "precious");
    EXPECT_EQ(fs->removeFileIf(path, lock->identity()), kErrorNotTheEntry);
    EXPECT_EQ(test::readFile(path), "precious");
    EXPECT_EQ(fs->removeFileIf(dir / "moved", lock->identity()), 0);
    EXPECT_FALSE(test::exists(dir / "moved"));

    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::unique_ptr<FileLock> pipe;
    EXPECT_EQ(fs->lockFile(dir / "pipe", pipe), kErrorNotRegularFile);
}

TEST_F(PosixFileSystemTest, ARenameWithoutTheNoReplaceFlagClaimsTheNewNameFirst) {
    ShimRules shim;
    if (!shim.loaded())
        GTEST_SKIP() << "needs the fault shim preloaded, as ctest does";
    test::writeFile(dir / "a", "A");
    test::writeFile(dir / "b", "B");
    test::makeDirectory(dir / "d");
    test::makeDirectory(dir / "taken");
    shim.set("renameat2=EINVAL");
    const std::unique_ptr<RenameSession> session = fs->openRenameSession();
    std::string strandedAt;
    EXPECT_EQ(renameIn(*session, dir / "a", dir / "b", strandedAt), EEXIST);
    EXPECT_EQ(renameIn(*session, dir / "d", dir / "taken", strandedAt), EEXIST);
    EXPECT_EQ(renameIn(*session, dir / "a", dir / "c", strandedAt), 0);
    EXPECT_EQ(renameIn(*session, dir / "d", dir / "e", strandedAt), 0);
    EXPECT_EQ(test::readFile(dir / "c"), "A");
    // A rename that fails after its claim leaves no claim behind.
    shim.set("renameat2=EINVAL,rename=EACCES");
    EXPECT_EQ(renameIn(*session, dir / "c", dir / "f", strandedAt), EACCES);
    EXPECT_EQ(renameIn(*session, dir / "e", dir / "g", strandedAt), EACCES);
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"b", "c", "e", "taken"}));
    EXPECT_EQ(test::readFile(dir / "b"), "B");
}

TEST_F(PosixFileSystemTest, AWalkCrossesOnlyIntoFileSystemsMountedWhenItBegan) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount in a private mount namespace";
    test::makeDirectory(dir / "tree/before");
    test::makeDirectory(dir / "tree/after");
    test::ChildOptions options;
    options.tmpfsAt = dir / "tree/before";
    options.tmpfsBytes = 64 * 1024;
    const std::string seen = test::runInChild(
        [&] {
            int error = 0;
            auto listing = fs->listDirectory(dir / "tree", error);
            if (!listing)
                return std::string("no listing");
            if (mount("later", (dir / "tree/after").c_str(), "tmpfs", 0, nullptr) != 0)
                return std::string("no mount");
            std::unique_ptr<DirectoryListing> inner;
            const int before = listing->enterSubdirectory("before", inner);
            const int after = listing->enterSubdirectory("after", inner);
            return std::to_string(before) + " " + std::to_string(after);
        },
        options);
    EXPECT_EQ(seen, "0 " + std::to_string(kErrorMountedSince));
}

}  // namespace
}  // namespace zr
