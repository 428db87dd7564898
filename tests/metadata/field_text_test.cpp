// SPDX-License-Identifier: GPL-3.0-or-later
#include "metadata/field_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace zr {
namespace {

using namespace std::string_literals;

TEST(NameText, MakesATagSafeForAName) {
    const struct {
        std::string raw;
        std::string text;
    } rows[] = {
        {"AC/DC", "AC-DC"},
        {"a\0b"s, "ab"},
        {"Tab\there\nnewline\x1B[31m\x7F", "Tabherenewline[31m"},
        {"\xC2\x85next\xC2\x9F", "next"},                    // C1 controls, as UTF-8
        {"Caf\xE9 \x80 5", "Caf\xC3\xA9 \xE2\x82\xAC 5"},    // Windows-1252 bytes
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},          // valid UTF-8 kept
        {"\xED\xA0\x80x", "\xC3\xAD\xC2\xA0\xE2\x82\xACx"},  // a surrogate is no UTF-8
        {"\xEF\xBB\xBFTitle", "Title"},                      // byte order mark
        {"abc\xE2\x80\xAEgpj.exe", "abcgpj.exe"},            // right-to-left override
        {"  ..hidden. . ", "hidden"},
        {"\xE3\x80\x80wide\xC2\xA0", "wide"},  // ideographic and no-break spaces
        {" . / . ", "-"},
        {"\x01\x02 . ", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(nameText(row.raw), row.text);
    }
}

TEST(NameText, IsCutBetweenCharactersAtTheBound) {
    EXPECT_EQ(nameText(std::string(1 << 20, 'x')), std::string(kMaxFieldTextBytes, 'x'));
    std::string accents;
    for (int i = 0; i < 200; ++i)
        accents += "\xC3\xA9";  // two bytes each: 127 fit
    std::string cut;
    for (int i = 0; i < 127; ++i)
        cut += "\xC3\xA9";
    EXPECT_EQ(nameText(accents), cut);
    // A blank left last by the cut is trimmed too.
    EXPECT_EQ(nameText(std::string(254, 'x') + " yy"), std::string(254, 'x'));
}

std::string shown(const std::optional<FieldDate>& date) {
    if (!date)
        return "none";
    char text[64];
    const std::tm tm = date->toTm();
    std::strftime(text, sizeof text, date->hasZone() ? "%Y-%m-%d %H:%M:%S %z" : "%Y-%m-%d %H:%M:%S",
                  &tm);
    return text;
}

TEST(ParseDate, ReadsTheFormsTheFormatsStore) {
    const struct {
        std::string text;
        const char* date;
    } rows[] = {
        {"2021:06:15 10:20:30", "2021-06-15 10:20:30"},
        {"2021-06-15 10:20:30\0"s, "2021-06-15 10:20:30"},
        {"2021:06:15 10:20:30  ", "2021-06-15 10:20:30"},
        {"2020-02-29T12:00:00+05:30", "2020-02-29 12:00:00 +0530"},
        {"2020-02-29T12:00:00.250Z", "2020-02-29 12:00:00 +0000"},
        {"2020-02-29T12:00-0800", "2020-02-29 12:00:00 -0800"},
        {"2020-02-29", "2020-02-29 00:00:00"},
        {"0000:00:00 00:00:00", "none"},
        {"    :  :     :  :  ", "none"},
        {"2021:02:29 10:20:30", "none"},
        {"2021:13:01 10:20:30", "none"},
        {"2021:06:15 24:00:00", "none"},
        {"2021:06:15 10:20:30 junk", "none"},
        {"2021", "none"},
        {"", "none"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(shown(parseDate(row.text)), row.date);
    }
    EXPECT_EQ(parseUtcOffset("+02:00"), 120);
    EXPECT_EQ(parseUtcOffset("-05:30"), -330);
    EXPECT_EQ(parseUtcOffset("   :  "), std::nullopt);
}

TEST(FieldDate, GivesStrftimeEveryPartItFormats) {
    const FieldDate date = *parseDate("2021:06:15 10:20:30");
    char text[64];
    const std::tm tm = date.toTm();
    std::strftime(text, sizeof text, "%a %A %j %U %F %T", &tm);
    EXPECT_STREQ(text, "Tue Tuesday 166 24 2021-06-15 10:20:30");
    EXPECT_EQ(parseDate("1969:12:31 00:00:00")->toTm().tm_wday, 3);
    EXPECT_EQ(parseDate("0001:01:01 00:00:00")->toTm().tm_wday, 1);
    EXPECT_EQ(parseDate("2000:12:31 00:00:00")->toTm().tm_yday, 365);
}

TEST(FieldDate, AMomentBecomesThisComputersLocalTime) {
    const std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
    setenv("TZ", "JST-9", 1);
    tzset();
    const std::optional<FieldDate> tokyo = localDate(1623752430);  // 2021-06-15 10:20:30 UTC
    setenv("TZ", saved.c_str(), 1);
    tzset();
    EXPECT_EQ(shown(tokyo), "2021-06-15 19:20:30 +0900");
    EXPECT_EQ(shown(localDate(1623752430)), "2021-06-15 10:20:30 +0000");
}

TEST(LeadingNumber, TakesTheNumberAtTheStart) {
    EXPECT_EQ(leadingNumber("3/12"), 3u);
    EXPECT_EQ(leadingNumber(" 07"), 7u);
    EXPECT_EQ(leadingNumber("2019-05-01"), 2019u);
    EXPECT_EQ(leadingNumber("4294967295"), 4294967295u);
    EXPECT_EQ(leadingNumber("4294967296"), std::nullopt);
    EXPECT_EQ(leadingNumber("x3"), std::nullopt);
    EXPECT_EQ(leadingNumber(""), std::nullopt);
}

}  // namespace
}  // namespace zr
