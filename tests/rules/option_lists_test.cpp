// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/option_lists.h"

#include <gtest/gtest.h>

namespace zr {
namespace {

using Entries = std::vector<std::string>;

TEST(SplitOptionList, FollowsTheSeparatorTable) {
    struct Row {
        const char* text;
        Entries entries;
    };
    const Row rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a;b", {"a", "b"}},
        {"a;;b", {"a", ";b"}},
        {"a;;;b", {"a", ";;b"}},
        {"a;", {"a", ""}},
        {";a", {"", "a"}},
        {";", {"", ""}},
        {";;", {"", ";"}},
        {";;;", {"", ";;"}},
        {"a;;", {"a", ";"}},
        {"a;b;", {"a", "b", ""}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SplitOptionList(row.text), row.entries) << "field text: " << row.text;
}

TEST(SplitOptionList, SemicolonAfterOtherCharactersSeparatesAgain) {
    // "a;;b;c": the flag is cleared by "b", so the next ";" separates.
    EXPECT_EQ(SplitOptionList("a;;b;c"), (Entries{"a", ";b", "c"}));
    EXPECT_EQ(SplitOptionList("ä;ö"), (Entries{"ä", "ö"}));
}

TEST(NormaliseStartDirectory, AppendsTheDelimiterOnce) {
    EXPECT_EQ(normaliseStartDirectory(""), "");  // names no directory, never the root
    EXPECT_EQ(normaliseStartDirectory("/"), "/");
    EXPECT_EQ(normaliseStartDirectory("/tmp"), "/tmp/");
    EXPECT_EQ(normaliseStartDirectory("/tmp/"), "/tmp/");
    EXPECT_EQ(normaliseStartDirectory("photos"), "photos/");
}

class ParseOptionListsTest : public ::testing::Test {
protected:
    RenameSettings settings;
    ParsedLists lists;
};

TEST_F(ParseOptionListsTest, SplitsEveryFieldAndNormalisesTheStartDirectory) {
    settings.setText(Option::Edit1, "/data/photos");
    settings.setText(Option::Edit3, "*.jpg;*.png");
    settings.setText(Option::Edit5, "copy;;x");
    settings.setText(Option::Edit9, "a;b");
    settings.setText(Option::Edit10, ";x");
    EXPECT_FALSE(ParseOptionLists(settings, lists));
    EXPECT_EQ(settings.text(Option::Edit1), "/data/photos/");
    EXPECT_EQ(lists.FilterMasks, (Entries{"*.jpg", "*.png"}));
    EXPECT_EQ(lists.KillStrings, (Entries{"copy", ";x"}));
    ASSERT_EQ(lists.ConvertPairs.size(), 2u);
    EXPECT_EQ(lists.ConvertPairs[0], (std::pair<std::string, std::string>("a", "")));
    EXPECT_EQ(lists.ConvertPairs[1], (std::pair<std::string, std::string>("b", "x")));
}

TEST_F(ParseOptionListsTest, ConvertPairsFollowTheToField) {
    settings.setText(Option::Edit9, "a;b");
    settings.setText(Option::Edit10, "x;;y");
    ParseOptionLists(settings, lists);
    // "x;;y" is two entries: "x" and ";y".
    ASSERT_EQ(lists.ConvertPairs.size(), 2u);
    EXPECT_EQ(lists.ConvertPairs[0], (std::pair<std::string, std::string>("a", "x")));
    EXPECT_EQ(lists.ConvertPairs[1], (std::pair<std::string, std::string>("b", ";y")));

    settings.setText(Option::Edit10, "x;");  // an empty to-string needs two or more entries
    ParseOptionLists(settings, lists);
    ASSERT_EQ(lists.ConvertPairs.size(), 2u);
    EXPECT_EQ(lists.ConvertPairs[1], (std::pair<std::string, std::string>("b", "")));
}

TEST_F(ParseOptionListsTest, CountMismatchOnlyWhenConvertStringsIsChecked) {
    struct Row {
        const char* from;
        const char* to;
        bool mismatch;
    };
    const Row rows[] = {
        {"a;b", "x", true}, {"a", "", true}, {"", "", false}, {"a;b", "x;y", false}};
    for (const Row& row : rows) {
        settings.setText(Option::Edit9, row.from);
        settings.setText(Option::Edit10, row.to);
        settings.setChecked(Option::CheckBox16, true);
        ParseOptionLists(settings, lists);
        EXPECT_EQ(lists.ConvertCountMismatch, row.mismatch) << row.from << " / " << row.to;
        settings.setChecked(Option::CheckBox16, false);
        ParseOptionLists(settings, lists);
        EXPECT_FALSE(lists.ConvertCountMismatch);
    }
    settings.setText(Option::Edit9, "");
    settings.setText(Option::Edit10, "");
    ParseOptionLists(settings, lists);
    EXPECT_TRUE(lists.ConvertPairs.empty());
}

TEST_F(ParseOptionListsTest, CharLengthsAreComparedInCharacters) {
    settings.setChecked(Option::CheckBox9, true);
    settings.setText(Option::Edit6, "abc");
    settings.setText(Option::Edit7, "xy");
    ParseOptionLists(settings, lists);
    EXPECT_TRUE(lists.ConvertCharsLengthMismatch);

    // The 26 accented letters take 52 bytes but pair with the 26 plain ones.
    settings.setText(Option::Edit6, kDefaultConvertFrom);
    settings.setText(Option::Edit7, kDefaultConvertTo);
    ParseOptionLists(settings, lists);
    EXPECT_FALSE(lists.ConvertCharsLengthMismatch);

    // A letter typed decomposed is one character; a mark without a composed form is one more.
    settings.setText(Option::Edit6, "c\u030Ce\u0301");
    settings.setText(Option::Edit7, "ce");
    ParseOptionLists(settings, lists);
    EXPECT_FALSE(lists.ConvertCharsLengthMismatch);
    settings.setText(Option::Edit6, "q\u030C");
    settings.setText(Option::Edit7, "q");
    ParseOptionLists(settings, lists);
    EXPECT_TRUE(lists.ConvertCharsLengthMismatch);

    settings.setText(Option::Edit7, "xy");
    settings.setChecked(Option::CheckBox9, false);
    ParseOptionLists(settings, lists);
    EXPECT_FALSE(lists.ConvertCharsLengthMismatch);
}

TEST_F(ParseOptionListsTest, MoreThanAHundredEntriesRefusesTheRunNamingTheField) {
    std::string hundred;
    for (int i = 0; i < 100; ++i)
        hundred += (i ? ";" : "") + std::to_string(i);
    settings.setText(Option::Edit3, hundred);
    EXPECT_FALSE(ParseOptionLists(settings, lists));
    EXPECT_EQ(lists.FilterMasks.size(), 100u);

    settings.setText(Option::Edit3, hundred + ";x");
    auto refusal = ParseOptionLists(settings, lists);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("Filetypes"), std::string::npos) << *refusal;
    EXPECT_TRUE(lists.FilterMasks.empty());

    settings.setText(Option::Edit3, "*");
    settings.setChecked(Option::CheckBox16, true);  // the run uses the convert fields
    settings.setText(Option::Edit10, hundred + ";x");
    refusal = ParseOptionLists(settings, lists);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("\"to\" field of Convert string(s)"), std::string::npos) << *refusal;
    EXPECT_TRUE(lists.ConvertPairs.empty());
}

TEST_F(ParseOptionListsTest, OnlyAFieldTheRunUsesCanRefuseIt) {
    std::string many = "x";
    for (int i = 0; i < 150; ++i)
        many += ";" + std::to_string(i);
    struct Row {
        Option field;
        Option rule;
        bool ruleUsesField;  // when checked
    };
    const Row rows[] = {
        {Option::Edit5, Option::CheckBox5, true},    // Kill string(s)
        {Option::Edit9, Option::CheckBox16, true},   // Convert string(s)
        {Option::Edit10, Option::CheckBox16, true},  // its "to" field
        {Option::Edit3, Option::CheckBox14, false},  // Filetypes, unused with "only directories"
    };
    for (const Row& row : rows) {
        RenameSettings s;
        s.setText(row.field, many);
        for (const bool checked : {false, true}) {
            s.setChecked(row.rule, checked);
            const bool used = checked == row.ruleUsesField;
            EXPECT_EQ(checkRunOptions(s).has_value(), used) << s.info(row.field).key << checked;
            EXPECT_EQ(ParseOptionLists(s, lists).has_value(), used) << s.info(row.field).key;
        }
    }
}

}  // namespace
}  // namespace zr
