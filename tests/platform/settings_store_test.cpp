#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using test::FaultyFileSystem;
using Op = FaultyFileSystem::Op;

constexpr const char* kKey = "[HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer]";
constexpr const char* kParent = "[HKEY_CURRENT_USER\\Software\\Vornik]";

class SettingsStoreTest : public ::testing::Test {
protected:
    std::unique_ptr<FileSystem> real = makePosixFileSystem();
    FaultyFileSystem fs{*real};
    test::TempDir dir;
    std::string path = dir / "config/zentarel-renamer/settings.reg";
    SettingsStore store{fs, path};

    // Opens the key, creating it; fails the test when that is refused.
    void open() {
        bool exists = false;
        const std::optional<StoreError> error = store.openKey(true, exists);
        ASSERT_FALSE(error.has_value()) << error->message;
    }
    void writeStrings(const std::vector<std::pair<std::string, std::string>>& values) {
        open();
        for (const auto& [name, value] : values)
            ASSERT_EQ(store.writeString(name, value), std::nullopt);
        ASSERT_EQ(store.closeKey(), std::nullopt);
    }
};

TEST_F(SettingsStoreTest, WritesTheTextOfARegistryExport) {
    open();
    EXPECT_EQ(store.writeInteger("ver", 1005), std::nullopt);
    EXPECT_EQ(store.writeString("ed8", "/home/ann/Photos/"), std::nullopt);
    EXPECT_EQ(store.writeInteger("rx0", -1), std::nullopt);
    EXPECT_EQ(store.closeKey(), std::nullopt);
    EXPECT_EQ(test::readFile(path), std::string("Windows Registry Editor Version 5.00\n\n") +
                                        kParent + "\n\n" + kKey +
                                        "\n"
                                        "\"ver\"=dword:000003ed\n"
                                        "\"ed8\"=\"/home/ann/Photos/\"\n"
                                        "\"rx0\"=dword:ffffffff\n\n");
}

TEST_F(SettingsStoreTest, OpeningWithoutCreatingLeavesNoTrace) {
    bool exists = true;
    EXPECT_FALSE(store.openKey(false, exists).has_value());
    EXPECT_FALSE(exists);
    EXPECT_FALSE(store.hasValue("ver"));
    EXPECT_TRUE(store.valueNames().empty());
    EXPECT_EQ(store.writeInteger("ver", 1005), "Failed to set data for 'ver'");
    EXPECT_EQ(store.closeKey(), std::nullopt);
    EXPECT_FALSE(test::exists(dir / "config"));

    // An empty key is still a key once created.
    open();
    EXPECT_EQ(store.closeKey(), std::nullopt);
    EXPECT_FALSE(store.openKey(false, exists).has_value());
    EXPECT_TRUE(exists);
}

TEST_F(SettingsStoreTest, ValuesAreTypedAndAWrongTypeIsAnError) {
    open();
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::int32_t>>{
             {"vx", 0}, {"vy", -1}, {"px", INT32_MIN}, {"py", INT32_MAX}})
        ASSERT_EQ(store.writeInteger(name, value), std::nullopt);
    ASSERT_EQ(store.writeString("ed8", "1005"), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);

    bool exists = false;
    ASSERT_FALSE(store.openKey(false, exists).has_value());
    std::int32_t number = 7;
    EXPECT_EQ(store.readInteger("vy", number), std::nullopt);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(store.readInteger("PX", number), std::nullopt);
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_EQ(store.readInteger("py", number), std::nullopt);
    EXPECT_EQ(number, INT32_MAX);
    std::string text;
    EXPECT_EQ(store.readString("ed8", text), std::nullopt);
    EXPECT_EQ(text, "1005");
    EXPECT_EQ(store.readInteger("ed8", number), "Invalid data type for 'ed8'");
    EXPECT_EQ(store.readString("vx", text), "Invalid data type for 'vx'");
    EXPECT_EQ(store.readInteger("rx0", number), "There is no value 'rx0'");
}

TEST_F(SettingsStoreTest, TextRoundTripsExactlyAndKeepsTheFileOneValuePerLine) {
    const std::vector<std::string> values = {
        "",
        "C:\\tmp\\",
        "say \"hi\"",
        "two\nlines",
        "\r\n",
        "\r",
        "tab\there",
        "ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ",
        "[HKEY_CURRENT_USER\\Software]",
        "\"name\"=dword:00000001",
        "\\x41 is not an escape here",
        std::string("nul\0byte", 8),
        "\x7f",
        "stray \xff\xfe bytes",
        "overlong \xc0\xaf and surrogate \xed\xa0\x80 and cut \xe2\x82",
        "beyond U+10FFFF \xf4\x90\x80\x80, last valid \xf4\x8f\xbf\xbf",
    };
    std::vector<std::pair<std::string, std::string>> written;
    for (std::size_t i = 0; i < values.size(); ++i)
        written.push_back({"ed" + std::to_string(i), values[i]});
    written.push_back({"name \"with\" \\ and\nbreak", "x"});
    writeStrings(written);

    bool exists = false;
    ASSERT_FALSE(store.openKey(false, exists).has_value());
    std::vector<std::string> names;
    for (const auto& w : written) {
        names.push_back(w.first);
        std::string back;
        EXPECT_EQ(store.readString(w.first, back), std::nullopt);
        EXPECT_EQ(back, w.second) << w.first;
    }
    EXPECT_EQ(store.valueNames(), names);

    const std::string file = test::readFile(path);
    EXPECT_NE(file.find("\"ed3\"=\"two\\x0alines\"\n"), std::string::npos);
    EXPECT_NE(file.find("\"ed13\"=\"stray \\xff\\xfe bytes\"\n"), std::string::npos);
    EXPECT_NE(file.find("\"ed2\"=\"say \\\"hi\\\"\"\n"), std::string::npos);
    // Header, blank, parent, blank, key, the values, blank.
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'),
              static_cast<std::ptrdiff_t>(5 + written.size() + 1));
}

TEST_F(SettingsStoreTest, AValueWrittenAgainKeepsItsPlaceAndANewOneGoesLast) {
    writeStrings({{"ed8", "a"}, {"ch9", "b"}, {"ed11", "c"}});
    open();
    ASSERT_EQ(store.writeInteger("CH9", 1), std::nullopt);
    ASSERT_EQ(store.writeString("ed14", "d"), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    open();
    EXPECT_EQ(store.valueNames(), (std::vector<std::string>{"ed8", "ch9", "ed11", "ed14"}));
    std::int32_t number = 0;
    EXPECT_EQ(store.readInteger("ch9", number), std::nullopt);
    EXPECT_EQ(number, 1);
}

TEST_F(SettingsStoreTest, DeletingTheKeyKeepsItsParentAndTheOtherKeys) {
    const std::string other = "[HKEY_CURRENT_USER\\Software\\Other]\n\"x\"=\"y\"\n\n";
    const std::string sibling =
        "[HKEY_CURRENT_USER\\Software\\Vornik\\ZentarelrenamerOld]\n\"ver\"=dword:000003ec\n\n";
    test::writeFile(
        path, std::string("Windows Registry Editor Version 5.00\n\n") + other + kParent +
                  "\n\"keep\"=dword:00000001\n\n" + kKey + "\n\"ver\"=dword:000003ec\n\n" +
                  "[HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer\\Below]\n\n" + sibling);
    bool exists = false;
    ASSERT_FALSE(store.openKey(false, exists).has_value());
    ASSERT_TRUE(exists);
    ASSERT_FALSE(store.deleteKey().has_value());
    EXPECT_EQ(test::readFile(path), std::string("Windows Registry Editor Version 5.00\n\n") +
                                        other + kParent + "\n\"keep\"=dword:00000001\n\n" +
                                        sibling);
    ASSERT_FALSE(store.openKey(false, exists).has_value());
    EXPECT_FALSE(exists);
}

TEST_F(SettingsStoreTest, ReadsWhatAHandEditMayLeave) {
    test::writeFile(path, std::string("Windows Registry Editor Version 5.00\r\n") +
                              "[hkey_current_user\\software\\vornik\\zentarelrenamer]\r\n" +
                              "\"ver\"=dword:3ED\r\n\"ed8\"=\"\\x2Fa\"\r\n\r\n" + kParent + "\n" +
                              kKey + "\n\"VER\"=dword:000003ec\n\"ch9\"=dword:1\n");
    bool exists = false;
    ASSERT_FALSE(store.openKey(false, exists).has_value());
    ASSERT_TRUE(exists);
    EXPECT_EQ(store.valueNames(), (std::vector<std::string>{"ver", "ed8", "ch9"}));
    std::int32_t number = 0;
    EXPECT_EQ(store.readInteger("ver", number), std::nullopt);
    EXPECT_EQ(number, 1004);
    std::string text;
    EXPECT_EQ(store.readString("ed8", text), std::nullopt);
    EXPECT_EQ(text, "/a");
}

TEST_F(SettingsStoreTest, AnUnparseableStoreIsReportedNeverWrittenOverAndCanBeMovedAside) {
    struct Row {
        std::string text;
        int line;
    };
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const std::string key = std::string(kKey) + "\n";
    const Row rows[] = {
        {"REGEDIT4\n\n" + key, 1},
        {header + "\"ver\"=dword:000003ed\n", 3},
        {header + key + "\"ver\"=dword:0000003ed\n", 4},
        {header + key + "\"ver\"=dword:\n", 4},
        {header + key + "\"ver\"=hex:01\n", 4},
        {header + key + "\"ed8\"=\"open\n", 4},
        {header + key + "\"ed8\"=\"a\\qb\"\n", 4},
        {header + key + "\"ed8\"=\"a\\x4\"\n", 4},
        {header + key + "\"ed8\"=\"a\" x\n", 4},
        {header + key + "ed8=\"a\"\n", 4},
        {header + key + "\n\n[HKEY_CURRENT_USER\n", 6},
    };
    for (const Row& r : rows) {
        test::writeFile(path, r.text);
        bool exists = true;
        const std::optional<StoreError> error = store.openKey(true, exists);
        ASSERT_TRUE(error.has_value()) << r.text;
        EXPECT_TRUE(error->unparseable);
        EXPECT_FALSE(exists);
        EXPECT_NE(error->message.find(path), std::string::npos) << error->message;
        EXPECT_NE(error->message.find("(line " + std::to_string(r.line) + ":"), std::string::npos)
            << error->message;
        EXPECT_EQ(store.writeInteger("ver", 1005), "Failed to set data for 'ver'");
        EXPECT_EQ(store.closeKey(), std::nullopt);
        const std::optional<StoreError> deleted = store.deleteKey();
        ASSERT_TRUE(deleted.has_value());
        EXPECT_TRUE(deleted->unparseable);
        EXPECT_EQ(test::readFile(path), r.text);
    }
    EXPECT_EQ(fs.calls(Op::ReplaceFile), 0);

    std::string movedTo;
    ASSERT_EQ(store.moveAside(movedTo), std::nullopt);
    EXPECT_EQ(movedTo, path + ".unreadable");
    EXPECT_EQ(test::readFile(movedTo), rows[std::size(rows) - 1].text);
    EXPECT_FALSE(test::exists(path));
    writeStrings({{"ed8", "/fresh/"}});

    test::writeFile(path, "garbage");
    ASSERT_EQ(store.moveAside(movedTo), std::nullopt);
    EXPECT_EQ(movedTo, path + ".unreadable-2");
    EXPECT_EQ(test::readFile(movedTo), "garbage");
    EXPECT_EQ(test::readFile(path + ".unreadable"), rows[std::size(rows) - 1].text);
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeReadIsNotWrittenOver) {
    test::writeFile(path, "Windows Registry Editor Version 5.00\n\n");
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
    ASSERT_EQ(store.writeInteger("vx", 800), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    const std::string before = test::readFile(path);

    const auto secondBatch = [this] {
        open();
        EXPECT_EQ(store.writeInteger("vx", 900), std::nullopt);
        EXPECT_EQ(store.writeString("ed8", "/x/"), std::nullopt);
        return store.closeKey();
    };
    fs.fail(Op::ReplaceFile, "settings.reg", EIO);
    EXPECT_EQ(secondBatch(), "Failed to set data for 'vx'");
    EXPECT_EQ(test::readFile(path), before);

    fs.clear();
    fs.failWritesAfter(10);
    EXPECT_EQ(secondBatch(), "Failed to set data for 'vx'");
    EXPECT_EQ(test::readFile(path), before);

    fs.clear();
    fs.fail(Op::CreateDirectories, "zentarel-renamer", EACCES);
    EXPECT_EQ(secondBatch(), "Failed to set data for 'vx'");
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(test::listNames(dir / "config/zentarel-renamer"),
              std::vector<std::string>{"settings.reg"});

    fs.fail(Op::ReplaceFile, "settings.reg", ENOSPC);
    const std::optional<StoreError> deleted = store.deleteKey();
    ASSERT_TRUE(deleted.has_value());
    EXPECT_EQ(test::readFile(path), before);
}

// Sets an environment variable for the life of the object, restoring it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

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
        {"/cfg", "/home/ann", "/cfg/zentarel-renamer/settings.reg"},
        {"/cfg/", "/home/ann", "/cfg/zentarel-renamer/settings.reg"},
        {"", "/home/ann", "/home/ann/.config/zentarel-renamer/settings.reg"},
        {nullptr, "/home/ann/", "/home/ann/.config/zentarel-renamer/settings.reg"},
        {"relative/cfg", "/home/ann", "/home/ann/.config/zentarel-renamer/settings.reg"},
        {"/", nullptr, "/zentarel-renamer/settings.reg"},
        {nullptr, nullptr, ""},
        {"", "relative", ""},
    };
    for (const Row& r : rows) {
        ScopedEnv configHome("XDG_CONFIG_HOME", r.configHome);
        ScopedEnv home("HOME", r.home);
        EXPECT_EQ(userSettingsStorePath(), r.expected)
            << (r.configHome ? r.configHome : "(unset)") << " " << (r.home ? r.home : "(unset)");
    }
}

TEST(SettingsStoreLocation, TheUsersStoreIsWrittenUnderXdgConfigHome) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(configHome, nullptr);
    const std::unique_ptr<FileSystem> fs = makePosixFileSystem();
    SettingsStore store(*fs, userSettingsStorePath());
    bool exists = false;
    ASSERT_FALSE(store.openKey(true, exists).has_value());
    ASSERT_EQ(store.writeInteger("ver", 1005), std::nullopt);
    ASSERT_EQ(store.closeKey(), std::nullopt);
    const std::string folder = std::string(configHome) + "/zentarel-renamer";
    EXPECT_EQ(test::listNames(folder), std::vector<std::string>{"settings.reg"});
    ASSERT_FALSE(store.deleteKey().has_value());
    EXPECT_EQ(test::readFile(folder + "/settings.reg"),
              std::string("Windows Registry Editor Version 5.00\n\n") + kParent + "\n\n");
    EXPECT_EQ(fs->removeFile(folder + "/settings.reg"), 0);
}

TEST(SettingsStoreLocation, NoLocationIsAnErrorNotAStoreInTheWorkingDirectory) {
    const std::unique_ptr<FileSystem> fs = makePosixFileSystem();
    SettingsStore store(*fs, "");
    bool exists = true;
    const std::optional<StoreError> error = store.openKey(true, exists);
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->unparseable);
    EXPECT_EQ(store.closeKey(), std::nullopt);
}

}  // namespace
}  // namespace zr
