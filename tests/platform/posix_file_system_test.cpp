#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using test::TempDir;

class PosixFileSystemTest : public ::testing::Test {
protected:
    std::unique_ptr<FileSystem> fs = makePosixFileSystem();
    TempDir dir;
};

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
            return session->rename(from, to, strandedAt);
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
    EXPECT_EQ(fs->openRenameSession()->rename(dir / "a", dir / "b", strandedAt), EEXIST);
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
    EXPECT_EQ(session->rename(dir / "tree/link/A", dir / "tree/link/a", strandedAt), ELOOP);
    EXPECT_EQ(session->rename(dir / "treelink/d/A", dir / "treelink/d/a", strandedAt), ELOOP);
    EXPECT_EQ(test::listNames(dir / "elsewhere"), std::vector<std::string>{"A"});
    EXPECT_EQ(test::listNames(dir / "tree/d"), std::vector<std::string>{"A"});
    // The link itself is an entry like any other and is renamed, not what it points to.
    EXPECT_EQ(session->rename(dir / "tree/link", dir / "tree/link2", strandedAt), 0);
    EXPECT_EQ(session->rename(dir / "tree/d/A", dir / "tree/d/a", strandedAt), 0);
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
}

TEST_F(PosixFileSystemTest, CreateDirectoriesMakesEveryMissingLevel) {
    EXPECT_EQ(fs->createDirectories(dir / "x/y/z"), 0);
    EXPECT_EQ(fs->createDirectories(dir / "x/y/z"), 0);
    test::writeFile(dir / "file");
    EXPECT_EQ(fs->createDirectories(dir / "file"), ENOTDIR);
}

}  // namespace
}  // namespace zr
