// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/name_text.h"

#include <gtest/gtest.h>

#include <random>

namespace zr {
namespace {

TEST(NameText, TsvEscapesSeparatorsBackslashesControlsAndStrayBytes) {
    struct Row {
        std::string bytes;
        std::string escaped;
    };
    for (const Row& r :
         {Row{"plain.jpg", "plain.jpg"}, Row{"a\tb\nc\rd", "a\\tb\\nc\\rd"},
          Row{"back\\slash", "back\\\\slash"}, Row{"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
          Row{"bad\xff\xfe", "bad\\xff\\xfe"},
          Row{"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},  // valid UTF-8 stays
          Row{"\xc3", "\\xc3"},                           // cut short
          Row{"\xed\xa0\x80", "\\xed\\xa0\\x80"},         // an encoded surrogate
          Row{"a*b", "a*b"}}) {
        EXPECT_EQ(escapeTsv(r.bytes), r.escaped) << r.escaped;
    }
    std::string journalField;
    appendEscaped(journalField, "a*b", true);
    EXPECT_EQ(journalField, "a\\*b");
}

TEST(NameText, EscapingRoundTripsEveryByte) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> length(0, 12);
    std::vector<std::string> samples;
    for (int b = 1; b < 256; ++b)
        samples.push_back(std::string(1, static_cast<char>(b)));
    for (int i = 0; i < 2000; ++i) {
        std::string s;
        for (int n = length(random); n > 0; --n)
            s += static_cast<char>(byte(random));
        samples.push_back(s);
    }
    std::string escaped;
    std::string back;
    std::string error;
    for (const std::string& s : samples) {
        escaped.clear();
        appendEscaped(escaped, s, true);
        EXPECT_EQ(escaped.find_first_of("\t\n\r"), std::string::npos);
        ASSERT_TRUE(unescape(escaped, back, error)) << escaped << ": " << error;
        EXPECT_EQ(back, s);
    }
}

TEST(NameText, UnescapeRefusesWhatWasNeverWritten) {
    std::string out;
    std::string error;
    for (const char* bad : {"\\q", "end\\", "\\x0", "\\x00", "\\xg1", "raw\ttab", "cr\r"}) {
        EXPECT_FALSE(unescape(bad, out, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    ASSERT_TRUE(unescape("\\x4A\\x4a", out, error));
    EXPECT_EQ(out, "JJ");
}

TEST(NameText, JsonKeepsUtf8AndWritesStrayBytesAsLoneSurrogates) {
    struct Row {
        std::string bytes;
        std::string json;
    };
    for (const Row& r :
         {Row{"say \"hi\"\\", "say \\\"hi\\\"\\\\"}, Row{"a\tb\n", "a\\tb\\n"},
          Row{"\x01", "\\u0001"}, Row{"bad\xff", "bad\\udcff"},
          Row{"\x80\xc3\xa9", "\\udc80\xc3\xa9"}, Row{"\xed\xa0\x80", "\\udced\\udca0\\udc80"},
          Row{"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"}}) {
        std::string out;
        appendJson(out, r.bytes);
        EXPECT_EQ(out, r.json);
    }
}

TEST(NameText, DisplayWidthAndFitting) {
    EXPECT_EQ(displayWidth("abc"), 3u);
    EXPECT_EQ(displayWidth("\xe6\x97\xa5\xe6\x9c\xac"), 4u);  // two wide characters
    EXPECT_EQ(displayWidth("e\xcc\x81"), 1u);                 // e and a combining accent
    EXPECT_EQ(fitFromEnd("/short", 10), "/short");
    EXPECT_EQ(fitFromEnd("/a/very/long/path", 10), "...ng/path");
    EXPECT_EQ(fitFromEnd("/a/\xe6\x97\xa5\xe6\x9c\xac", 7), "/a/\xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_EQ(fitFromEnd("/a/\xe6\x97\xa5\xe6\x9c\xac", 6), "...\xe6\x9c\xac");
}

}  // namespace
}  // namespace zr
