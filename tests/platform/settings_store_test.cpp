// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "support/child_process.h"
#include "support/faulty_file_system.h"
#include "support/store_text.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using Op = test::FaultyFileSystem::Op;

using test::kStoreHeader;
using test::kStoreKey;
using test::kStoreParent;

class SettingsStoreTest : public ::testing::Test {
protected:
    std::unique_ptr<FileSystem> real = makePosixFileSystem();
    test::FaultyFileSystem fs{*real};
    test::TempDir dir;
    std::string path = dir / "config/zentarel-renamer/settings.reg";
    SettingsStore store{fs, path};

    // Opens the key (creating it when asked) and tells whether it existed.
    bool open(bool create = true) {
        bool exists = false;
        const std::optional<StoreError> error = store.openKey(create, exists);
        EXPECT_FALSE(error.has_value()) << error->message;
        return exists;
    }
};

TEST_F(SettingsStoreTest, WritesTheTextOfARegistryExport) {
    open();
    EXPECT_EQ(store.writeInteger("ver", 1005), std::nullopt);
    EXPECT_EQ(store.writeString("ed8", "/home/ann/Photos/"), std::nullopt);
    EXPECT_EQ(store.writeInteger("rx0", -1), std::nullopt);
    EXPECT_EQ(store.closeKey(), std::nullopt);
    EXPECT_EQ(test::readFile(path), kStoreHeader + kStoreParent + "\n" + kStoreKey +
                                        "\"ver\"=dword:000003ed\n"
                                        "\"ed8\"=\"/home/ann/Photos/\"\n"
                                        "\"rx0\"=dword:ffffffff\n\n");
}

TEST_F(SettingsStoreTest, OpeningWithoutCreatingLeavesNoTrace) {
    EXPECT_FALSE(open(false));
    EXPECT_TRUE(store.valueNames().empty());
    EXPECT_EQ(store.writeInteger("ver", 1005), "Failed to set data for 'ver'");
    EXPECT_EQ(store.closeKey(), std::nullopt);
    EXPECT_FALSE(test::exists(dir / "config"));

    // A key once created exists even with no values.
    open();
    EXPECT_EQ(store.closeKey(), std::nullopt);
    EXPECT_TRUE(open(false));
}

TEST_F(SettingsStoreTest, ValuesAreTypedAndAWrongTypeIsAnError) {
    open();
    ASSERT_EQ(store.writeInteger("px", INT32_MIN), std::nullopt);
    ASSERT_EQ(store.writeInteger("py", INT32_MAX), std::nullopt);
    ASSERT_EQ(store.writeString("ed8", "1005"), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);

    open(false);
    std::int32_t number = 0;
    EXPECT_EQ(store.readInteger("PX", number), std::nullopt);
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_EQ(store.readInteger("py", number), std::nullopt);
    EXPECT_EQ(number, INT32_MAX);
    std::string text;
    EXPECT_EQ(store.readString("ed8", text), std::nullopt);
    EXPECT_EQ(text, "1005");
    EXPECT_EQ(store.readInteger("ed8", number), "Invalid data type for 'ed8'");
    EXPECT_EQ(store.readString("px", text), "Invalid data type for 'px'");
    EXPECT_EQ(store.readInteger("rx0", number), "There is no value 'rx0'");
}

TEST_F(SettingsStoreTest, TextRoundTripsExactlyWithOneValuePerLine) {
    const std::vector<std::string> values = {
        "",
        "C:\\tmp\\ say \"hi\"",
        "two\nlines\r\n",
        "tab\there ěščř [x] =",
        "\"n\"=dword:00000001",
        "\\x41 is no escape here",
        std::string("nul\0 del\x7f", 9),
        "stray \xff\xfe, overlong \xc0\xaf, surrogate \xed\xa0\x80, cut \xe2\x82",
        "too high \xf4\x90\x80\x80, highest \xf4\x8f\xbf\xbf",
    };
    open();
    std::vector<std::string> names;
    for (std::size_t i = 0; i < values.size(); ++i) {
        names.push_back(i == 0 ? "odd \"name\" \\ \n" : "ed" + std::to_string(i));
        ASSERT_EQ(store.writeString(names.back(), values[i]), std::nullopt);
    }
    ASSERT_EQ(store.closeKey(), std::nullopt);

    open(false);
    EXPECT_EQ(store.valueNames(), names);
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::string back;
        EXPECT_EQ(store.readString(names[i], back), std::nullopt);
        EXPECT_EQ(back, values[i]) << names[i];
    }
    const std::string file = test::readFile(path);
    EXPECT_NE(file.find("\"ed2\"=\"two\\x0alines\\x0d\\x0a\"\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\"ed1\"=\"C:\\\\tmp\\\\ say \\\"hi\\\"\"\n"), std::string::npos);
    EXPECT_NE(file.find("\"ed7\"=\"stray \\xff\\xfe, overlong \\xc0\\xaf,"), std::string::npos);
    // Header, blank, parent, blank, key, one line per value, blank.
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'),
              static_cast<std::ptrdiff_t>(5 + values.size() + 1));
}

TEST_F(SettingsStoreTest, AValueWrittenAgainKeepsItsPlaceAndANewOneGoesLast) {
    open();
    for (const char* name : {"ed8", "ch9", "ed11"})
        ASSERT_EQ(store.writeInteger(name, 0), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    open();
    ASSERT_EQ(store.writeInteger("CH9", 1), std::nullopt);
    ASSERT_EQ(store.writeInteger("ed14", 2), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    open(false);
    EXPECT_EQ(store.valueNames(), (std::vector<std::string>{"ed8", "ch9", "ed11", "ed14"}));
    std::int32_t number = 0;
    EXPECT_EQ(store.readInteger("ch9", number), std::nullopt);
    EXPECT_EQ(number, 1);
}

TEST_F(SettingsStoreTest, DeletingTheKeyKeepsItsParentAndTheOtherKeys) {
    const std::string other = "[HKEY_CURRENT_USER\\Software\\Other]\n\"x\"=\"y\"\n\n";
    const std::string sibling =
        "[HKEY_CURRENT_USER\\Software\\Vornik\\ZentarelrenamerOld]\n\"ver\"=dword:000003ec\n\n";
    test::writeFile(path, kStoreHeader + other + kStoreParent + "\"keep\"=dword:00000001\n\n" +
                              kStoreKey + "\"ver\"=dword:000003ec\n\n" +
                              "[HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer\\Below]\n\n" +
                              sibling);
    ASSERT_TRUE(open(false));
    ASSERT_FALSE(store.deleteKey().has_value());
    EXPECT_EQ(test::readFile(path),
              kStoreHeader + other + kStoreParent + "\"keep\"=dword:00000001\n\n" + sibling);
    EXPECT_FALSE(open(false));
    // With no key left to delete, a store edited by hand is not written over.
    const std::string edited = "; kept as written\n" + test::readFile(path);
    test::writeFile(path, edited);
    ASSERT_FALSE(store.deleteKey().has_value());
    EXPECT_EQ(test::readFile(path), edited);
}

TEST_F(SettingsStoreTest, AnUnparseableStoreIsReportedNeverWrittenOverAndCanBeMovedAside) {
    const std::pair<std::string, int> rows[] = {
        {"REGEDIT4\n\n" + kStoreKey, 1},
        {kStoreHeader + "\"ver\"=dword:000003ed\n", 3},
        {kStoreHeader + kStoreKey + "\"ver\"=dword:0000003ed\n", 4},
        {kStoreHeader + kStoreKey + "\"ver\"=hex:01\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\"=\"open\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\"=\"a\\qb\"\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\"=\"a\\x4\"\n", 4},
        {kStoreHeader + kStoreKey + "ed8=\"a\"\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\"=/p/\"\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\"=\"a\\q41\"\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\"=\"a\\xzz\"\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\":\"a\"\n", 4},
        {kStoreHeader + kStoreKey + "\"ed8\"=\"a\"b\n", 4},
        {kStoreHeader + kStoreKey + "\"ver\"=dword:3edz\n", 4},
        {kStoreHeader + "[]\n", 3},
        {kStoreHeader + kStoreKey + "\n[HKEY_CURRENT_USER\n", 5},
    };
    for (const auto& [text, line] : rows) {
        test::writeFile(path, text);
        bool exists = true;
        const std::optional<StoreError> error = store.openKey(true, exists);
        ASSERT_TRUE(error.has_value()) << text;
        EXPECT_TRUE(error->unparseable);
        EXPECT_NE(error->message.find(path + " cannot be read (line " + std::to_string(line) + ":"),
                  std::string::npos)
            << error->message;
        EXPECT_EQ(store.writeInteger("ver", 1005), "Failed to set data for 'ver'");
        EXPECT_EQ(store.closeKey(), std::nullopt);
        EXPECT_TRUE(store.deleteKey().has_value());
        EXPECT_EQ(test::readFile(path), text);
    }
    EXPECT_EQ(fs.calls(Op::ReplaceFile), 0);

    std::string movedTo;
    ASSERT_EQ(store.moveAside(movedTo), std::nullopt);
    EXPECT_EQ(movedTo, path + ".unreadable");
    EXPECT_EQ(test::readFile(movedTo), rows[std::size(rows) - 1].first);
    EXPECT_FALSE(open(false));
    test::writeFile(path, "garbage");
    ASSERT_EQ(store.moveAside(movedTo), std::nullopt);
    EXPECT_EQ(movedTo, path + ".unreadable-2");
    EXPECT_EQ(test::readFile(movedTo), "garbage");
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeReadIsNotWrittenOver) {
    test::writeFile(path, kStoreHeader);
    fs.fail(Op::ReadFile, "settings.reg", EACCES);
    bool exists = true;
    const std::optional<StoreError> error = store.openKey(true, exists);
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->unparseable);
    EXPECT_NE(error->message.find(path), std::string::npos) << error->message;
    EXPECT_EQ(store.closeKey(), std::nullopt);
    EXPECT_TRUE(store.deleteKey().has_value());
    EXPECT_EQ(fs.calls(Op::ReplaceFile), 0);
}

TEST_F(SettingsStoreTest, AFailedWriteKeepsThePreviousStoreAndNamesTheFirstLostValue) {
    open();
    ASSERT_EQ(store.writeInteger("ver", 1005), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    const std::string before = test::readFile(path);
    const auto secondBatch = [this] {
        open();
        EXPECT_EQ(store.writeInteger("vx", 900), std::nullopt);
        EXPECT_EQ(store.writeString("ed8", "/x/"), std::nullopt);
        return store.closeKey();
    };
    fs.fail(Op::ReplaceFile, "settings.reg", EIO);
    const std::string cannotWrite = "Failed to set data for 'vx': cannot write " + path + ": ";
    EXPECT_EQ(secondBatch(), cannotWrite + "Input/output error");
    EXPECT_TRUE(store.deleteKey().has_value());
    fs.clear();
    fs.failWritesAfter(10);
    EXPECT_EQ(secondBatch(), cannotWrite + "No space left on device");
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(test::listNames(dir / "config/zentarel-renamer"),
              std::vector<std::string>{"settings.reg"});
}

TEST_F(SettingsStoreTest, HandEditsThatARegistryExportAllowsAreRead) {
    const std::string values = "\"ver\"=dword:000003ed\n\"ed8\"=\"/p/\"\n";
    const std::string crlf = "Windows Registry Editor Version 5.00\r\n\r\n" +
                             kStoreKey.substr(0, kStoreKey.size() - 1) +
                             "\r\n\"ver\"=dword:000003ed\r\n\"ed8\"=\"/p/\"\r\n";
    const std::string texts[] = {
        "\xEF\xBB\xBF" + kStoreHeader + kStoreKey + values,
        kStoreHeader + kStoreKey + "\"ver\"=dword:000003ed \n\"ed8\"=\"/p/\"\t\n",
        "; written by hand\n" + kStoreHeader + kStoreKey + values,
        kStoreHeader + "; the key\n" + kStoreKey + "; a note\n" + values + ";\n",
        kStoreHeader + kStoreKey.substr(0, kStoreKey.size() - 1) + "  \n" + values,
        crlf,
    };
    for (const std::string& text : texts) {
        test::writeFile(path, text);
        ASSERT_TRUE(open(false)) << text;
        std::int32_t version = 0;
        std::string start;
        EXPECT_EQ(store.readInteger("ver", version), std::nullopt) << text;
        EXPECT_EQ(version, 1005);
        EXPECT_EQ(store.readString("ed8", start), std::nullopt) << text;
        EXPECT_EQ(start, "/p/");
        EXPECT_EQ(store.valueNames(), (std::vector<std::string>{"ver", "ed8"}));
        store.closeKey();
    }
}

TEST_F(SettingsStoreTest, AStoreThatIsALinkStaysALinkAndItsTargetIsWritten) {
    const std::string dotfiles = dir / "dotfiles";
    test::makeDirectory(dotfiles);
    test::makeDirectory(dir / "config/zentarel-renamer");
    test::writeFile(dotfiles + "/settings.reg", test::storeWithKey("\"ver\"=dword:000003ed\n"));
    ASSERT_EQ(chmod((dotfiles + "/settings.reg").c_str(), 0600), 0);
    ASSERT_EQ(symlink("../../dotfiles/settings.reg", path.c_str()), 0);
    open();
    ASSERT_EQ(store.writeString("ed8", "/via/link/"), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    EXPECT_EQ(std::filesystem::read_symlink(path), "../../dotfiles/settings.reg");
    EXPECT_NE(test::readFile(dotfiles + "/settings.reg").find("\"ed8\"=\"/via/link/\""),
              std::string::npos);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(test::listNames(dotfiles), std::vector<std::string>{"settings.reg"});

    // A link to a store not made yet: the store is made where it points.
    std::filesystem::remove(dotfiles + "/settings.reg");
    open();
    ASSERT_EQ(store.writeInteger("ver", 1005), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    EXPECT_EQ(std::filesystem::read_symlink(path), "../../dotfiles/settings.reg");
    EXPECT_TRUE(test::exists(dotfiles + "/settings.reg"));
}

TEST_F(SettingsStoreTest, AStoreThatIsNoRegularFileOrTooLargeIsRefusedAndKept) {
    test::makeDirectory(dir / "config/zentarel-renamer");
    const auto makeFifo = [this] { return mkfifo(path.c_str(), 0600); };
    const auto makeDirectory = [this] { return mkdir(path.c_str(), 0700); };
    const auto makeLarge = [this] {
        test::writeFile(path, test::storeWithKey("\"ver\"=dword:000003ed\n"));
        return truncate(path.c_str(), 16 * 1024 * 1024 + 1);  // sparse: takes no room
    };
    const std::pair<std::function<int()>, std::string> rows[] = {
        {makeFifo, "not a regular file"},
        {makeDirectory, "not a regular file"},
        {makeLarge, "larger than 16 MiB"},
    };
    test::ChildOptions inTime;
    inTime.timeout = std::chrono::seconds(10);
    for (const auto& [make, says] : rows) {
        ASSERT_EQ(make(), 0);
        // A pipe must not make the store wait for a writer: the child ends in time.
        const std::string seen = test::runInChild(
            [this] {
                bool exists = true;
                const std::optional<StoreError> error = store.openKey(true, exists);
                if (!error)
                    return std::string("opened");
                const bool deleted = !store.deleteKey().has_value();
                return error->message + (error->unparseable ? " (unparseable)" : "") +
                       (deleted ? " (deleted)" : "");
            },
            inTime);
        EXPECT_EQ(seen, "Unable to read the settings store " + path + ": it is " + says) << seen;
        struct stat st;
        EXPECT_EQ(lstat(path.c_str(), &st), 0);
        test::removeTree(path);
    }
}

// What the store meets as the user 65534, with the test folder as that user's root.
class StoreAsAnotherUserTest : public SettingsStoreTest {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to look at the store as another user";
        test::writeFile(path, test::storeWithKey("\"ver\"=dword:000003ec\n"));
        for (const std::string& folder : {dir.path(), dir / "config"})
            ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        ASSERT_EQ(chmod((dir / "config/zentarel-renamer").c_str(), 0555), 0);
        ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    }

    // The messages of `work` on the store "/config/zentarel-renamer/settings.reg", one a line.
    std::string seen(const std::function<std::string(SettingsStore&)>& work) {
        test::ChildOptions asNobody;
        asNobody.root = dir.path();
        asNobody.unprivileged = true;
        return test::runInChild(
            [&work] {
                const std::unique_ptr<FileSystem> fileSystem = makePosixFileSystem();
                SettingsStore store(*fileSystem, kInside);
                return work(store);
            },
            asNobody);
    }

    static constexpr const char* kInside = "/config/zentarel-renamer/settings.reg";
};

TEST_F(StoreAsAnotherUserTest, AFolderThatMayNotBeWrittenKeepsTheStoreAsItWas) {
    const std::string before = test::readFile(path);
    const std::string denied = std::string(": cannot write ") + kInside + ": Permission denied";
    EXPECT_EQ(seen([](SettingsStore& store) {
                  bool exists = false;
                  std::string lines = store.openKey(true, exists) ? "not opened\n" : "";
                  store.writeInteger("vx", 700);
                  lines += store.closeKey().value_or("written") + "\n";
                  lines += store.deleteKey() ? store.deleteKey()->message : "deleted";
                  std::string movedTo;
                  return lines + "\n" + store.moveAside(movedTo).value_or("moved");
              }),
              "Failed to set data for 'vx'" + denied + "\n" +
                  "Failed to delete key 'HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer': "
                  "Permission denied\n"
                  "Unable to move the settings store " +
                  kInside + " aside: Permission denied");
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(test::listNames(dir / "config/zentarel-renamer"),
              std::vector<std::string>{"settings.reg"});

    // A store that may not be read is reported, and a folder that may not be made is too.
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(seen([](SettingsStore& store) {
                  bool exists = false;
                  const std::optional<StoreError> error = store.openKey(true, exists);
                  return error ? error->message : "opened";
              }),
              std::string("Unable to read the settings store ") + kInside + ": Permission denied");
    EXPECT_EQ(seen([](SettingsStore&) {
                  const std::unique_ptr<FileSystem> fileSystem = makePosixFileSystem();
                  SettingsStore fresh(*fileSystem, "/config/fresh/settings.reg");
                  bool exists = false;
                  fresh.openKey(true, exists);
                  return fresh.closeKey().value_or("written");
              }),
              "Failed to create key 'HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer': "
              "cannot write /config/fresh/settings.reg: Permission denied");
}

TEST_F(SettingsStoreTest, AStoreOnAFullDiskKeepsItsPreviousContent) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small file system in a private mount namespace";
    test::makeDirectory(dir / "config");
    test::ChildOptions onTmpfs;
    onTmpfs.tmpfsAt = dir / "config";
    onTmpfs.tmpfsBytes = 4 * 4096;
    const std::string seen = test::runInChild(
        [this] {
            bool exists = false;
            store.openKey(true, exists);
            store.writeString("ed8", "/kept/");
            if (store.closeKey())
                return std::string("the first store could not be written");
            // Three of the four pages are taken, and the new store needs two.
            test::writeFile(dir / "config/filler", std::string(2 * 4096, 'x'));
            const std::string before = test::readFile(path);
            store.openKey(true, exists);
            store.writeString("ed8", std::string(6000, 'y'));
            const std::string error = store.closeKey().value_or("written");
            const bool kept = test::readFile(path) == before &&
                              test::listNames(dir / "config/zentarel-renamer").size() == 1;
            return error + (kept ? "" : " (the store was changed)");
        },
        onTmpfs);
    EXPECT_EQ(seen,
              "Failed to set data for 'ed8': cannot write " + path + ": No space left on device");
}

TEST_F(SettingsStoreTest, AStoreIsMovedAsideOnlyToAFreeName) {
    test::writeFile(path, "garbage");
    test::writeFile(path + ".unreadable");
    for (int i = 2; i <= 100; ++i)
        test::writeFile(path + ".unreadable-" + std::to_string(i));
    std::string movedTo;
    EXPECT_EQ(store.moveAside(movedTo),
              "Unable to move the settings store " + path + " aside: no free name");
    EXPECT_EQ(test::readFile(path), "garbage");
}

// Sets an environment variable (or unsets it, for null) until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(SettingsStoreLocation, XdgConfigHomeDecidesWithHomeAsFallback) {
    struct Row {
        const char* configHome;
        const char* home;
        const char* expected;
    };
    const Row rows[] = {
        {"/cfg/", "/home/ann", "/cfg/zentarel-renamer/settings.reg"},
        {"", "/home/ann/", "/home/ann/.config/zentarel-renamer/settings.reg"},
        {nullptr, "/home/ann", "/home/ann/.config/zentarel-renamer/settings.reg"},
        {"relative", "/home/ann", "/home/ann/.config/zentarel-renamer/settings.reg"},
        {"/", nullptr, "/zentarel-renamer/settings.reg"},
        {"", "relative", ""},
    };
    for (const Row& r : rows) {
        ScopedEnv configHome("XDG_CONFIG_HOME", r.configHome);
        ScopedEnv home("HOME", r.home);
        EXPECT_EQ(userSettingsStorePath(), r.expected)
            << (r.configHome ? r.configHome : "(unset)") << " " << (r.home ? r.home : "(unset)");
    }
    // Without a location the store is an error, never a file in the working directory.
    const std::unique_ptr<FileSystem> fs = makePosixFileSystem();
    SettingsStore nowhere(*fs, "");
    bool exists = true;
    EXPECT_TRUE(nowhere.openKey(true, exists).has_value());
}

TEST(SettingsStoreLocation, TheUsersStoreIsWrittenUnderXdgConfigHome) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(configHome, nullptr) << "run through ctest, which points it at a test folder";
    const std::unique_ptr<FileSystem> fs = makePosixFileSystem();
    SettingsStore store(*fs, userSettingsStorePath());
    bool exists = false;
    ASSERT_FALSE(store.openKey(true, exists).has_value());
    ASSERT_EQ(store.closeKey(), std::nullopt);
    const std::string file = std::string(configHome) + "/zentarel-renamer/settings.reg";
    EXPECT_TRUE(test::exists(file));
    EXPECT_EQ(fs->removeFile(file), 0);
}

}  // namespace
}  // namespace zr
