// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/rename_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace zr {
namespace {

TEST(RenameSettings, KeysFollowThePositionsInOrder) {
    const std::vector<std::string> expected = {
        "ed8",  "ch9",  "ed11", "ch13", "ed14", "ch15", "ed16", "ch17", "cb18", "ch19",
        "ed20", "ch21", "ch22", "ch23", "ch24", "ed25", "ed26", "ed27", "ch28", "ch30",
        "ch31", "ch32", "ch33", "ch35", "ed36", "ed37", "ch39", "ch40"};
    std::vector<std::string> keys;
    int lastPosition = -1;
    for (const OptionInfo& o : RenameSettings::all()) {
        keys.push_back(o.key);
        EXPECT_GT(o.position, lastPosition);
        lastPosition = o.position;
        EXPECT_STREQ(RenameSettings::components()[o.position].name, o.controlName);
        EXPECT_EQ(RenameSettings::findByControlName(o.controlName), o.option);
        EXPECT_EQ(RenameSettings::findByKey(o.key), o.option);
    }
    EXPECT_EQ(keys, expected);
}

TEST(RenameSettings, WindowCreationState) {
    RenameSettings s;
    for (const OptionInfo& o : RenameSettings::all()) {
        if (o.kind == ControlKind::Edit) {
            EXPECT_EQ(s.text(o.option), "") << o.controlName;
        }
    }
    std::vector<std::string> checkedNames;
    for (const OptionInfo& o : RenameSettings::all()) {
        if (o.kind == ControlKind::CheckBox && s.checked(o.option))
            checkedNames.push_back(o.controlName);
    }
    EXPECT_EQ(checkedNames,
              (std::vector<std::string>{"CheckBox1", "CheckBox6", "CheckBox12", "CheckBox15"}));
    EXPECT_EQ(s.itemIndex(), -1);
}

TEST(RenameSettings, ListenerHearsChangesOnly) {
    RenameSettings s;
    std::vector<Option> heard;
    s.setChangeListener([&](Option o) { heard.push_back(o); });
    s.setChecked(Option::CheckBox1, true);  // already checked
    s.setText(Option::Edit1, "");
    s.setItemIndex(-1);
    EXPECT_TRUE(heard.empty());
    s.setChecked(Option::CheckBox5, true);
    s.setText(Option::Edit1, "/x/");
    s.setItemIndex(7);  // out of range: no item, as it was
    s.setItemIndex(2);
    EXPECT_EQ(heard, (std::vector<Option>{Option::CheckBox5, Option::Edit1, Option::ComboBox1}));
    s.setItemIndex(9);
    EXPECT_EQ(s.itemIndex(), -1);
}

TEST(RenameSettings, ACopyTakesTheValuesButNotTheListener) {
    RenameSettings bound;
    int heard = 0;
    bound.setChangeListener([&](Option) { ++heard; });
    bound.setText(Option::Edit1, "/x/");
    RenameSettings copy = bound;
    copy.setText(Option::Edit1, "/y/");
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(bound.text(Option::Edit1), "/x/");
    bound = copy;  // takes the values, keeps its own listener
    EXPECT_EQ(bound.text(Option::Edit1), "/y/");
    bound.setChecked(Option::CheckBox5, true);
    EXPECT_EQ(heard, 2);
}

TEST(RenameSettings, RestoreDefaultsInItsOrderAndKeepsTheOtherBoxes) {
    RenameSettings s;
    s.setChecked(Option::CheckBox1, false);
    s.setChecked(Option::CheckBox9, true);
    s.setChecked(Option::CheckBox13, true);
    s.setChecked(Option::CheckBox14, true);
    s.setChecked(Option::CheckBox15, false);
    s.setChecked(Option::CheckBox17, true);
    s.setChecked(Option::CheckBox7, true);
    s.setChecked(Option::CheckBox6, false);
    s.setChecked(Option::CheckBox11, true);
    s.setChecked(Option::CheckBox12, false);
    s.setChecked(Option::CheckBox5, true);
    s.setText(Option::Edit6, "q");
    std::vector<std::string> order;
    s.setChangeListener([&](Option o) { order.push_back(RenameSettings::info(o).controlName); });
    s.restoreDefaults();
    EXPECT_EQ(order,
              (std::vector<std::string>{"Edit1", "Edit3", "CheckBox11", "CheckBox12", "CheckBox5",
                                        "Edit5", "Edit8", "ComboBox1", "CheckBox6", "CheckBox7",
                                        "Edit2", "Edit4", "Edit6", "Edit7", "Edit9", "Edit10"}));
    EXPECT_FALSE(s.checked(Option::CheckBox1));
    EXPECT_TRUE(s.checked(Option::CheckBox9));
    EXPECT_TRUE(s.checked(Option::CheckBox13));
    EXPECT_TRUE(s.checked(Option::CheckBox14));
    EXPECT_FALSE(s.checked(Option::CheckBox15));
    EXPECT_TRUE(s.checked(Option::CheckBox17));
    EXPECT_TRUE(s.checked(Option::CheckBox6));
    EXPECT_FALSE(s.checked(Option::CheckBox7));
    EXPECT_TRUE(s.checked(Option::CheckBox12));
    EXPECT_FALSE(s.checked(Option::CheckBox11));
    EXPECT_EQ(s.text(Option::Edit1), "/tmp/");
    EXPECT_EQ(s.text(Option::Edit3), "*.jpg;*.gif");
    EXPECT_EQ(s.text(Option::Edit6), "ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ");
    EXPECT_EQ(s.text(Option::Edit7), "escrzyaieuutdESCRZYAIEUUTD");
    EXPECT_EQ(s.text(Option::Edit8), "#_");
    EXPECT_EQ(s.itemIndex(), kLowerCase);
}

TEST(RenameSettings, PersistedKeysMustNameAControlOfTheirKind) {
    std::string error;
    EXPECT_EQ(RenameSettings::optionForKey("ch19", ControlKind::CheckBox, &error),
              Option::CheckBox5);
    EXPECT_EQ(RenameSettings::optionForKey("cb18", ControlKind::ComboBox, &error),
              Option::ComboBox1);
    struct Row {
        const char* key;
        ControlKind kind;
        const char* why;
    };
    const Row rows[] = {
        {"chx", ControlKind::CheckBox, "'x' is not a decimal number"},
        {"ch", ControlKind::CheckBox, "'' is not a decimal number"},
        {"ch9a", ControlKind::CheckBox, "'9a' is not a decimal number"},
        {"ch51", ControlKind::CheckBox, "the window has no component 51"},
        {"ch-1", ControlKind::CheckBox, "the window has no component -1"},
        {"ch8", ControlKind::CheckBox, "component 8 (Edit1) is not a check box"},
        {"ed7", ControlKind::Edit, "component 7 (Button1) is not an edit field"},
        {"cb9", ControlKind::ComboBox, "component 9 (CheckBox1) is not a combo box"},
    };
    for (const Row& row : rows) {
        error.clear();
        EXPECT_FALSE(RenameSettings::optionForKey(row.key, row.kind, &error)) << row.key;
        EXPECT_EQ(error, std::string("'") + row.key + "' is not a valid settings key: " + row.why);
    }
}

TEST(RenameSettings, RestoringTheDefaultsUnchecksEveryBoxItResets) {
    RenameSettings s;
    for (const OptionInfo& o : RenameSettings::all()) {
        if (o.kind == ControlKind::CheckBox)
            s.setChecked(o.option, true);
    }
    s.restoreDefaults();
    const std::vector<Option> keep = {Option::CheckBox1,  Option::CheckBox9,  Option::CheckBox13,
                                      Option::CheckBox14, Option::CheckBox15, Option::CheckBox17,
                                      Option::CheckBox6,  Option::CheckBox12};
    for (const OptionInfo& o : RenameSettings::all()) {
        if (o.kind != ControlKind::CheckBox)
            continue;
        const bool checked = std::find(keep.begin(), keep.end(), o.option) != keep.end();
        EXPECT_EQ(s.checked(o.option), checked) << o.controlName;
    }
}

TEST(RenameSettings, ExtendedOptionsStartAtTheirDefaultsAndRestoreTurnsTheRulesOff) {
    RenameSettings s;
    std::set<std::string> keys;
    for (const ExtendedOptionInfo& o : allExtended()) {
        EXPECT_EQ(s.value(o.option), o.defaultValue) << o.key;
        EXPECT_EQ(s.text(o.option), "") << o.key;
        EXPECT_TRUE(keys.insert(o.key).second) << o.key;
        EXPECT_EQ(findExtendedByKey(o.key), o.option);
        // A loader of the window's keys acts on any name holding one of these.
        for (const char* kind : {"ch", "ed", "cb"})
            EXPECT_EQ(std::string(o.key).find(kind), std::string::npos) << o.key;
    }
    EXPECT_EQ(findExtendedByKey("Number-STEP"), ExtendedOption::NumberStep);
    EXPECT_EQ(s.choice<NumberOrder>(ExtendedOption::NumberOrder), NumberOrder::Name);

    std::vector<ExtendedOption> heard;
    s.setExtendedChangeListener([&](ExtendedOption o) { heard.push_back(o); });
    s.setChecked(ExtendedOption::PatternReplace, true);
    s.setChecked(ExtendedOption::PatternReplace, true);  // no change, nothing heard
    s.setText(ExtendedOption::Pattern, "x");
    s.setValue(ExtendedOption::NumberOrder, static_cast<int>(NumberOrder::Walk));
    s.setValue(ExtendedOption::ScriptFormat, static_cast<int>(ScriptFormat::Sh));
    const std::uint64_t revision = s.revision();
    heard.clear();
    s.restoreDefaults();
    EXPECT_EQ(heard,
              (std::vector<ExtendedOption>{ExtendedOption::PatternReplace, ExtendedOption::Pattern,
                                           ExtendedOption::NumberOrder}));
    EXPECT_GT(s.revision(), revision);
    EXPECT_EQ(s.choice<ScriptFormat>(ExtendedOption::ScriptFormat), ScriptFormat::Sh);

    RenameSettings copy = s;
    EXPECT_EQ(copy.choice<ScriptFormat>(ExtendedOption::ScriptFormat), ScriptFormat::Sh);
}

TEST(RenameSettings, ExtendedValuesOutsideTheirRangeAreRefused) {
    struct Row {
        ExtendedOption option;
        int value;
        bool valid;
    };
    const Row rows[] = {
        {ExtendedOption::NumberStep, 0, false},       {ExtendedOption::NumberStep, -999999, true},
        {ExtendedOption::NumberStep, 1000000, false}, {ExtendedOption::NumberStart, -1, false},
        {ExtendedOption::NumberStart, 0, true},       {ExtendedOption::NumberOrder, 4, false},
        {ExtendedOption::NumberOrder, -1, false},     {ExtendedOption::Unique, 2, false},
        {ExtendedOption::PatternRange, 2, true},
    };
    for (const Row& row : rows) {
        RenameSettings s;
        int heard = 0;
        s.setExtendedChangeListener([&](ExtendedOption) { ++heard; });
        const std::int32_t before = s.value(row.option);
        EXPECT_EQ(s.setValue(row.option, row.value), row.valid) << row.value;
        EXPECT_EQ(s.value(row.option), row.valid ? row.value : before);
        EXPECT_EQ(heard, row.valid && row.value != before ? 1 : 0);
    }
    EXPECT_EQ(extendedValueRange(ExtendedOption::NumberStep),
              "a number from -999999 to 999999 other than 0");
    EXPECT_EQ(extendedValueRange(ExtendedOption::NumberOrder), "name, modified, walk or taken");
}

}  // namespace
}  // namespace zr
