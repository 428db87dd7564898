// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/read_only_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/file_system.h"
#include "support/shim_rules.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using test::TempDir;

using Folder = test::FolderHandle;

TEST(ReadOnlyFile, OpensOnlyRegularFilesAndNeverThroughALink) {
    TempDir dir;
    test::writeFile(dir / "photo.jpg", "bytes");
    test::makeDirectory(dir / "folder.jpg");
    ASSERT_EQ(symlink("photo.jpg", (dir / "link.jpg").c_str()), 0);
    // Nobody writes to the pipe: opening it for reading would wait for ever.
    ASSERT_EQ(mkfifo((dir / "x.jpg").c_str(), 0600), 0);
    const Folder folder(dir.path());
    const Folder devices("/dev");
    const struct {
        int folder;
        const char* name;
        int error;
    } rows[] = {
        {folder.fd(), "photo.jpg", 0},
        {folder.fd(), "link.jpg", ELOOP},
        {folder.fd(), "folder.jpg", kErrorNotRegularFile},
        {folder.fd(), "x.jpg", kErrorNotRegularFile},
        {folder.fd(), "missing.jpg", ENOENT},
        {devices.fd(), "null", kErrorNotRegularFile},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReadOnlyFile file;
        EXPECT_EQ(ReadOnlyFile::open(row.folder, row.name, file), row.error);
        EXPECT_EQ(file.isOpen(), row.error == 0);
    }
    ReadOnlyFile file;
    ASSERT_EQ(ReadOnlyFile::open(folder.fd(), "photo.jpg", file), 0);
    char buffer[16];
    EXPECT_EQ(file.size(), 5);
    EXPECT_EQ(file.readAt(1, buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "ytes");
}

TEST(ReadOnlyFile, AnEntryReplacedBetweenTheLookAndTheOpenIsRefused) {
    test::ShimRules shim;
    if (!shim.loaded())
        GTEST_SKIP() << "needs the fault shim preloaded, as ctest does";
    TempDir dir;
    test::writeFile(dir / "photo.jpg", "first");
    const std::string pauseDir = dir / "pause";
    test::makeDirectory(pauseDir);
    setenv("ZR_FAULTS_DIR", pauseDir.c_str(), 1);
    shim.set("open~photo.jpg$@1=pause");  // after the look, before the open
    std::thread replacer([&] {
        for (int i = 0; i < 3000 && !test::exists(pauseDir + "/paused"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        test::writeFile(dir / "second", "second");
        std::filesystem::rename(dir / "second", dir / "photo.jpg");
        test::writeFile(pauseDir + "/resume");
    });
    const Folder folder(dir.path());
    ReadOnlyFile file;
    EXPECT_EQ(ReadOnlyFile::open(folder.fd(), "photo.jpg", file), ESTALE);
    replacer.join();
    unsetenv("ZR_FAULTS_DIR");
}

// A page of a mapped file that went away would end the process with SIGBUS.
TEST(ReadOnlyFile, AMappingOfAFileCutShortReadsZerosAndSaysSo) {
    TempDir dir;
    const long page = sysconf(_SC_PAGESIZE);
    test::writeFile(dir / "raw.nef", std::string(3 * page, 'x'));
    const Folder folder(dir.path());
    ReadOnlyFile file;
    ASSERT_EQ(ReadOnlyFile::open(folder.fd(), "raw.nef", file), 0);
    const std::unique_ptr<FileMapping> mapping = file.map();
    ASSERT_TRUE(mapping);
    EXPECT_EQ(static_cast<char>(mapping->data()[0]), 'x');
    EXPECT_FALSE(mapping->damaged());
    ASSERT_EQ(truncate((dir / "raw.nef").c_str(), page / 2), 0);
    const volatile std::byte* data = mapping->data();
    EXPECT_EQ(static_cast<char>(data[2 * page + 1]), '\0');
    EXPECT_EQ(static_cast<char>(data[0]), 'x');  // what is still there reads as it was
    EXPECT_TRUE(mapping->damaged());
}

}  // namespace
}  // namespace zr
