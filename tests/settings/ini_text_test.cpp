#include "settings/ini_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace zr {
namespace {

std::string written(std::string content, std::vector<IniEntry> entries,
                    std::string_view section = "S") {
    EXPECT_EQ(writeIniSection(content, section, entries), std::nullopt);
    return content;
}

TEST(IniText, AwkwardValuesReadBackExactly) {
    const std::vector<std::string> values = {
        "",
        " lead",
        "trail ",
        "\tboth\t",
        " ",
        "\"",
        "\"\"",
        "\"quoted\"",
        "a\"b",
        " \"x",
        "semi;colon",
        ";starts with a comment mark",
        "a=b=c",
        "=",
        "[Other]",
        "[S]",
        "ěščřžýáíéúůťď",
        std::string("bad \xff\xfe utf-8 \xc3", 16),
        std::string("nul\0inside", 10),
        std::string(5000, 'x'),
    };
    std::vector<IniEntry> entries;
    for (std::size_t i = 0; i < values.size(); ++i)
        entries.push_back({"k" + std::to_string(i), values[i]});
    const std::vector<IniEntry> back = readIniSection(written("", entries), "S");
    ASSERT_EQ(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back[i].key, entries[i].key);
        EXPECT_EQ(back[i].value, values[i]) << "value " << i;
    }
}

TEST(IniText, ReadTrimsBlanksThenOnePairOfQuotes) {
    const std::string content =
        "[S]\n"
        "  a  =  plain text  \n"
        "b=  \"  kept  \"  \n"
        "c=\"\"inner\"\"\n"
        "d=\"open\n"
        "e\n"
        "; f=comment\n"
        "=no key\n";
    const std::vector<IniEntry> entries = readIniSection(content, "S");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].key, "a");
    EXPECT_EQ(entries[0].value, "plain text");
    EXPECT_EQ(entries[1].value, "  kept  ");
    EXPECT_EQ(entries[2].value, "\"inner\"");
    EXPECT_EQ(entries[3].value, "\"open");
}

TEST(IniText, NamesCompareWithoutCaseAndTheFirstOccurrenceCounts) {
    const std::string content =
        "key=outside\n"
        "[other]\nkey=other\n"
        "[s]\nKey=first\nother=1\nKEY=second\n"
        "[S]\nkey=second section\n";
    const std::vector<IniEntry> entries = readIniSection(content, "S");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].key, "Key");
    EXPECT_EQ(entries[0].value, "first");
    EXPECT_EQ(entries[1].key, "other");

    const std::string after = written(content, {{"key", "new"}, {"added", "x"}});
    EXPECT_EQ(after,
              "key=outside\n"
              "[other]\nkey=other\n"
              "[s]\nkey=new\nother=1\nKEY=second\nadded=x\n"
              "[S]\nkey=second section\n");
}

TEST(IniText, WritingKeepsEveryOtherLineByteForByte) {
    const std::string content =
        "; written by hand\r\n"
        "[First]\r\n"
        "x = 1 \r\n"
        "\r\n"
        "[S]\r\n"
        "  old = \"keep me\"   \r\n"
        "a=1\r\n"
        "\r\n"
        "; about the next section\r\n"
        "[Last]\r\n"
        "y=2";
    const std::string after = written(content, {{"a", "2"}, {"new", " v "}, {"b", "3"}});
    EXPECT_EQ(after,
              "; written by hand\r\n"
              "[First]\r\n"
              "x = 1 \r\n"
              "\r\n"
              "[S]\r\n"
              "  old = \"keep me\"   \r\n"
              "a=2\r\n"
              "new=\" v \"\r\n"
              "b=3\r\n"
              "\r\n"
              "; about the next section\r\n"
              "[Last]\r\n"
              "y=2");
    EXPECT_EQ(written(after, {{"a", "2"}, {"new", " v "}, {"b", "3"}}), after);
}

TEST(IniText, MissingSectionIsAppendedWithTheFilesLineEnd) {
    EXPECT_EQ(written("", {{"a", "1"}}), "[S]\r\na=1\r\n");
    EXPECT_EQ(written("[T]\nb=2", {{"a", "1"}}), "[T]\nb=2\n[S]\na=1\n");
    EXPECT_EQ(written("[T]\r\nb=2\r\n", {{"a", "1"}}), "[T]\r\nb=2\r\n[S]\r\na=1\r\n");
}

TEST(IniText, KeysGoBehindAHeaderOrKeyThatEndsTheFile) {
    EXPECT_EQ(written("[S]", {{"a", "1"}}), "[S]\r\na=1\r\n");
    EXPECT_EQ(written("[S]\nz=0", {{"a", "1"}}), "[S]\nz=0\na=1\n");
}

TEST(IniText, ByteOrderMarkIsKeptAndDoesNotHideTheFirstSection) {
    const std::string content = "\xEF\xBB\xBF[S]\na=1\n";
    ASSERT_EQ(readIniSection(content, "S").size(), 1u);
    EXPECT_EQ(written(content, {{"a", "2"}}), "\xEF\xBB\xBF[S]\na=2\n");
}

TEST(IniText, ALineBreakInAValueIsRefusedBeforeAnythingChanges) {
    for (const char* value : {"two\nlines", "two\rlines", "end\r\n"}) {
        std::string content = "[S]\na=1\n";
        const std::optional<std::string> error =
            writeIniSection(content, "S", std::vector<IniEntry>{{"a", "2"}, {"bad", value}});
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error,
                  "the value of 'bad' holds a line break, which a settings file cannot "
                  "store");
        EXPECT_EQ(content, "[S]\na=1\n");
    }
}

TEST(IniText, IntegerRule) {
    struct Row {
        const char* text;
        int expected;
    };
    const Row rows[] = {
        {"1", 1},
        {"0", 0},
        {"-1", -1},
        {"1005", 1005},
        {"007", 7},
        {"0x10", 16},
        {"0X3ed", 1005},
        {"0xffffffff", -1},
        {"abc", 42},
        {"", 42},
        {"0x", 42},
        {"0xg", 42},
        {"12abc", 42},
        {" 1", 42},
        {"+1", 42},
        {"0x-1", 42},
        {"99999999999", 42},
        {"0x100000000", 42},
    };
    for (const Row& r : rows)
        EXPECT_EQ(iniInteger(r.text, 42), r.expected) << "'" << r.text << "'";
}

}  // namespace
}  // namespace zr
