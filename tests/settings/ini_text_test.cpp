// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace zr {
namespace {

std::string written(std::string content, std::vector<IniEntry> entries) {
    EXPECT_EQ(writeIniSection(content, "S", entries), std::nullopt);
    return content;
}

TEST(IniText, AwkwardValuesReadBackExactly) {
    const std::vector<std::string> values = {
        "",
        " lead",
        "trail ",
        "\tboth\t",
        "\"",
        "\"quoted\"",
        "a\"b",
        " \"x",
        "semi;colon",
        ";comment mark",
        "a=b",
        "[S]",
        "ěščř",
        std::string("bad \xff\xc3 nul\0", 11),
        std::string(5000, 'x'),
    };
    std::vector<IniEntry> entries;
    for (std::size_t i = 0; i < values.size(); ++i)
        entries.push_back({"k" + std::to_string(i), values[i]});
    const std::vector<IniEntry> back = readIniSection(written("", entries), "S");
    ASSERT_EQ(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(back[i].value, values[i]) << "value " << i;
}

TEST(IniText, ReadingTrimsBlanksThenOnePairOfQuotesAndSkipsWhatIsNoKey) {
    const std::vector<IniEntry> entries = readIniSection(
        "[S]\n  a  =  plain  \nb=  \"  kept  \"  \nc=\"\"x\"\"\nd=\"open\ne\n; f=1\n=g\n", "S");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].key, "a");
    EXPECT_EQ(entries[0].value, "plain");
    EXPECT_EQ(entries[1].value, "  kept  ");
    EXPECT_EQ(entries[2].value, "\"x\"");
    EXPECT_EQ(entries[3].value, "\"open");
}

TEST(IniText, NamesCompareWithoutCaseAndTheFirstOccurrenceCounts) {
    const std::string content =
        "key=outside\n[other]\nkey=other\n[s]\nKey=first\nother=1\nKEY=second\n[S]\nkey=late\n";
    const std::vector<IniEntry> entries = readIniSection(content, "S");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].value, "first");
    EXPECT_EQ(written(content, {{"key", "new"}, {"added", "x"}}),
              "key=outside\n[other]\nkey=other\n[s]\nkey=new\nother=1\nKEY=second\nadded=x\n"
              "[S]\nkey=late\n");
}

TEST(IniText, WritingKeepsEveryOtherLineByteForByte) {
    const std::string content =
        "\xEF\xBB\xBF; by hand\r\n[First]\r\nx = 1 \r\n\r\n"
        "[S]\r\n  old = \"keep\"   \r\na=1\r\n \tc = 1\r\n\r\n; next\r\n[Last]\r\ny=2";
    const std::vector<IniEntry> entries = {{"a", "2"}, {"new", " v "}, {"b", "3"}, {"c", "2"}};
    const std::string after = written(content, entries);
    // A key written again keeps the blanks before it.
    EXPECT_EQ(after,
              "\xEF\xBB\xBF; by hand\r\n[First]\r\nx = 1 \r\n\r\n"
              "[S]\r\n  old = \"keep\"   \r\na=2\r\n \tc=2\r\nnew=\" v \"\r\nb=3\r\n\r\n; "
              "next\r\n[Last]\r\ny=2");
    EXPECT_EQ(written(after, entries), after);
}

TEST(IniText, NewLinesTakeTheFilesLineEndOrCrLf) {
    EXPECT_EQ(written("", {{"a", "1"}}), "[S]\r\na=1\r\n");
    EXPECT_EQ(written("[T]\nb=2", {{"a", "1"}}), "[T]\nb=2\n[S]\na=1\n");
    EXPECT_EQ(written("[S]", {{"a", "1"}}), "[S]\r\na=1\r\n");
    EXPECT_EQ(written("\xEF\xBB\xBF[S]\nz=0", {{"a", "1"}}), "\xEF\xBB\xBF[S]\nz=0\na=1\n");
}

TEST(IniText, ALineBreakInAValueIsRefusedBeforeAnythingChanges) {
    for (const char* value : {"two\nlines", "two\rlines"}) {
        std::string content = "[S]\na=1\n";
        EXPECT_EQ(writeIniSection(content, "S", std::vector<IniEntry>{{"a", "2"}, {"bad", value}}),
                  "the value of 'bad' holds a line break, which a settings file cannot store");
        EXPECT_EQ(content, "[S]\na=1\n");
    }
}

TEST(IniText, IntegerRule) {
    const std::pair<const char*, int> rows[] = {
        {"1", 1},        {"0", 0},           {"-1", -1},  {"007", 7},   {"0x10", 16},
        {"0X3ed", 1005}, {"0xffffffff", -1}, {"abc", 42}, {"", 42},     {"0x", 42},
        {"0xg", 42},     {"12abc", 42},      {"+1", 42},  {"0x-1", 42}, {"99999999999", 42},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(iniInteger(text, 42), expected) << "'" << text << "'";
}

}  // namespace
}  // namespace zr
