// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/remembered_settings.h"

#include <gtest/gtest.h>

#include "support/faulty_file_system.h"
#include "support/store_text.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using Op = test::FaultyFileSystem::Op;

using test::kStoreHeader;
using test::kStoreKey;
using test::kStoreParent;

class RememberedSettingsTest : public ::testing::Test {
protected:
    std::unique_ptr<FileSystem> real = makePosixFileSystem();
    test::FaultyFileSystem fs{*real};
    test::TempDir dir;
    std::string path = dir / "zentarel-renamer/settings.reg";
    SettingsStore store{fs, path};
    RenameSettings settings;

    void writeStore(const std::string& values) {
        test::writeFile(path, test::storeWithKey(values));
    }
};

TEST_F(RememberedSettingsTest, NothingRememberedRestoresTheDefaults) {
    EXPECT_TRUE(applyRememberedSettings(store, settings).empty());
    EXPECT_EQ(settings.text(Option::Edit1), "/tmp/");
    EXPECT_FALSE(test::exists(path));
}

TEST_F(RememberedSettingsTest, WhatCloseWritesTheNextStartBringsBack) {
    settings.restoreDefaults();
    settings.setText(Option::Edit1, "/home/ann/Fotky \"2024\"/");
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, " copy ;;x");
    settings.setItemIndex(kAllFirstUpper);
    settings.setChecked(Option::CheckBox15, true);
    settings.setChecked(ExtendedOption::PatternReplace, true);
    settings.setText(ExtendedOption::Replacement, "\"$1\" {n:2}\\");
    settings.setValue(ExtendedOption::NumberStep, -7);
    settings.setValue(ExtendedOption::NumberScope, static_cast<int>(NumberScope::Run));
    WindowGeometry geometry;
    geometry.width = 900;
    geometry.height = 565;
    geometry.left = -20;
    geometry.top = 40;
    geometry.columnWidths = {100, 120, 55, 70, 60};
    EXPECT_EQ(rememberGeometry(store, geometry), std::nullopt);
    EXPECT_EQ(rememberOptions(store, settings), std::nullopt);

    bool exists = false;
    ASSERT_FALSE(store.openKey(false, exists));
    std::vector<std::string> names = store.valueNames();
    store.closeKey();
    ASSERT_EQ(names.size(), 10u + kOptionCount + kExtendedOptionCount);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 11),
              (std::vector<std::string>{"ver", "vx", "vy", "px", "py", "rx0", "rx1", "rx2", "rx3",
                                        "rx4", "ed8"}));
    EXPECT_EQ(names[10 + kOptionCount - 1], "ch40");
    EXPECT_EQ(names[10 + kOptionCount], "pattern-replace");
    EXPECT_EQ(names.back(), "script-format");

    RenameSettings next;
    std::vector<Option> changed;
    next.setChangeListener([&](Option o) { changed.push_back(o); });
    EXPECT_TRUE(applyRememberedSettings(store, next).empty());
    for (const OptionInfo& o : RenameSettings::all()) {
        EXPECT_EQ(next.checked(o.option), settings.checked(o.option)) << o.key;
        EXPECT_EQ(next.text(o.option), settings.text(o.option)) << o.key;
    }
    EXPECT_EQ(next.itemIndex(), kAllFirstUpper);
    for (const ExtendedOptionInfo& o : allExtended()) {
        EXPECT_EQ(next.value(o.option), settings.value(o.option)) << o.key;
        EXPECT_EQ(next.text(o.option), settings.text(o.option)) << o.key;
    }
    // Through the setters, so the window's click reactions run.
    EXPECT_NE(std::find(changed.begin(), changed.end(), Option::CheckBox5), changed.end());

    std::vector<std::string> problems;
    const WindowGeometry back = readRememberedGeometry(store, problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(back.width, 900);
    EXPECT_EQ(back.left, -20);
    EXPECT_EQ(back.columnWidths[3], 70);
}

TEST_F(RememberedSettingsTest, AnotherVersionIsDeletedAndTheDefaultsRestored) {
    writeStore("\"ver\"=dword:000003ec\n\"ed8\"=\"/old/\"\n");
    EXPECT_TRUE(applyRememberedSettings(store, settings).empty());
    EXPECT_EQ(settings.text(Option::Edit1), "/tmp/");
    EXPECT_EQ(test::readFile(path), kStoreHeader + kStoreParent + "\n");
}

TEST_F(RememberedSettingsTest, NoVersionCountsAsCurrentAndGeometryAloneRestoresNothing) {
    writeStore("\"ed8\"=\"/photos/\"\n\"ch19\"=dword:00000001\n");
    EXPECT_TRUE(applyRememberedSettings(store, settings).empty());
    EXPECT_EQ(settings.text(Option::Edit1), "/photos/");
    EXPECT_TRUE(settings.checked(Option::CheckBox5));
    EXPECT_EQ(settings.text(Option::Edit3), "");  // no defaults were restored

    RenameSettings fresh;
    writeStore("\"ver\"=dword:000003ed\n\"vx\"=dword:00000320\n");
    EXPECT_TRUE(applyRememberedSettings(store, fresh).empty());
    EXPECT_EQ(fresh.text(Option::Edit1), "");
    EXPECT_EQ(fresh.itemIndex(), -1);
}

TEST_F(RememberedSettingsTest, BadValuesAreNamedAndTheOthersStillApply) {
    writeStore(
        "\"ch19\"=\"1\"\n"  // a check box stored as a string
        "\"ed8\"=\"/photos/\"\n"
        "\"ch7\"=dword:00000001\n"  // Button1 is no check box
        "\"ch35\"=dword:00000001\n");
    const std::vector<std::string> problems = applyRememberedSettings(store, settings);
    EXPECT_EQ(problems,
              (std::vector<std::string>{
                  "Invalid data type for 'ch19'",
                  "'ch7' is not a valid settings key: component 7 (Button1) is not a check box"}));
    EXPECT_EQ(settings.text(Option::Edit1), "/photos/");
    EXPECT_TRUE(settings.checked(Option::CheckBox16));
    EXPECT_FALSE(settings.checked(Option::CheckBox5));
}

TEST_F(RememberedSettingsTest, BadExtendedValuesAreNamedAndTheOthersStillApply) {
    writeStore(
        "\"number-step\"=dword:00000000\n"
        "\"unique\"=\"1\"\n"                 // a switch stored as a string
        "\"number-order\"=dword:00000001\n"  // a choice stored as an integer
        "\"Number-Scope\"=\"RUN\"\n"
        "\"pattern-range\"=\"everything\"\n"
        "\"number-start\"=dword:00000005\n");
    EXPECT_EQ(
        applyRememberedSettings(store, settings),
        (std::vector<std::string>{
            "Invalid value for 'number-step': '0' is not a number from -999999 to 999999 "
            "other than 0",
            "Invalid data type for 'unique'", "Invalid data type for 'number-order'",
            "Invalid value for 'pattern-range': 'everything' is not name, all or extension"}));
    EXPECT_EQ(settings.choice<NumberScope>(ExtendedOption::NumberScope), NumberScope::Run);
    EXPECT_EQ(settings.value(ExtendedOption::NumberStart), 5);
    EXPECT_EQ(settings.value(ExtendedOption::NumberStep), 1);
}

TEST_F(RememberedSettingsTest, AVersionOfTheWrongTypeIsReportedAndTheDefaultsShown) {
    writeStore("\"ver\"=\"1005\"\n\"ed8\"=\"/photos/\"\n\"ed11\"=\"\"\n");
    EXPECT_EQ(applyRememberedSettings(store, settings),
              std::vector<std::string>{"Invalid data type for 'ver'"});
    EXPECT_EQ(settings.text(Option::Edit1), "/tmp/");
    EXPECT_EQ(settings.text(Option::Edit3), "*.jpg;*.gif");
    // What the next close writes is what the window shows, never blanks.
    ASSERT_EQ(rememberGeometry(store, WindowGeometry{}), std::nullopt);
    ASSERT_EQ(rememberOptions(store, settings), std::nullopt);
    RenameSettings next;
    EXPECT_TRUE(applyRememberedSettings(store, next).empty());
    EXPECT_EQ(next.text(Option::Edit1), "/tmp/");
    EXPECT_EQ(next.text(Option::Edit3), "*.jpg;*.gif");
}

TEST_F(RememberedSettingsTest, AnUnreadableStoreIsMovedAsideNotLost) {
    test::writeFile(path, "this is no store\n");
    const std::vector<std::string> problems = applyRememberedSettings(store, settings);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("cannot be read"), std::string::npos) << problems[0];
    EXPECT_EQ(problems[1],
              "It was moved to " + path + ".unreadable; the default settings are used");
    EXPECT_EQ(test::readFile(path + ".unreadable"), "this is no store\n");
    EXPECT_EQ(settings.text(Option::Edit1), "/tmp/");
    // The next close writes a fresh store.
    EXPECT_EQ(rememberOptions(store, settings), std::nullopt);
    EXPECT_TRUE(test::exists(path));
}

TEST_F(RememberedSettingsTest, AFailedWriteLeavesThePreviousStoreWhole) {
    settings.restoreDefaults();
    WindowGeometry geometry;
    geometry.width = 700;
    ASSERT_EQ(rememberGeometry(store, geometry), std::nullopt);
    ASSERT_EQ(rememberOptions(store, settings), std::nullopt);
    const std::string before = test::readFile(path);

    fs.failWritesAfter(100);  // the disk fills up half-way through the new store
    geometry.width = 1200;
    const std::string why = "': cannot write " + path + ": No space left on device";
    EXPECT_EQ(rememberGeometry(store, geometry), "Failed to set data for 'ver" + why);
    settings.setText(Option::Edit1, "/elsewhere/");
    EXPECT_EQ(rememberOptions(store, settings), "Failed to set data for 'ed8" + why);
    EXPECT_EQ(test::readFile(path), before);
}

}  // namespace
}  // namespace zr
