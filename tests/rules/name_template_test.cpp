// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/name_template.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "rules/natural_order.h"
#include "rules/pattern_rule.h"
#include "rules/text.h"
#include "rules/unique_name.h"

namespace zr {
namespace {

std::tm date(int year, int month, int day, int hour, int minute, int second, int weekday,
             int yearDay, std::optional<long> offsetMinutes) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_wday = weekday;
    tm.tm_yday = yearDay;
    tm.tm_isdst = offsetMinutes ? 0 : -1;
    tm.tm_gmtoff = offsetMinutes.value_or(0) * 60;
    return tm;
}

// Number 7, parent "dir", extension ".jpg", a photo of Saturday 2024-06-15 10:20:30 +02:00 by
// a Canon, modified on Sunday 2009-01-04 21:05:09 in a zone not known, and the tags of a piece
// of music; the fields in `missing` have no value.
struct Values : FieldValues {
    bool append(Field field, const FieldFormat& format, std::u32string& out) const override {
        if (missing.contains(field))
            return false;
        const auto number = [&](std::int64_t n) {
            appendNumber(n, format.width, out);
            return true;
        };
        const auto text = [&](std::u32string_view t) {
            out += t;
            return true;
        };
        switch (field) {
            case Field::Number:
                return number(this->number);
            case Field::Parent:
                return text(U"dir");
            case Field::Extension:
                return text(U".jpg");
            case Field::Modified:
            case Field::Taken:
                appendDate(field == Field::Taken ? taken : modified, format.text, out);
                return true;
            case Field::Camera:
                return text(U"Canon EOS 80D");
            case Field::Width:
                return number(4000);
            case Field::Height:
                return number(3000);
            case Field::Artist:
                return text(U"Nina Simone");
            case Field::Album:
                return text(U"Pastel Blues");
            case Field::Title:
                return text(U"Sinnerman");
            case Field::Track:
                return number(3);
            case Field::Disc:
                return number(1);
            case Field::Year:
                return number(1965);
            case Field::Genre:
                return text(U"Jazz");
        }
        return false;
    }
    std::int64_t number = 7;
    std::tm taken = date(2024, 6, 15, 10, 20, 30, 6, 166, 120);
    std::tm modified = date(2009, 1, 4, 21, 5, 9, 0, 3, std::nullopt);
    FieldSet missing;
};

// The expansion of `text`, or "@position reason" when it does not compile. With `groups` the
// pattern has groups 1 ("a") and 2 (named "num", "b").
std::string expand(const std::string& text, bool groups, const Values& values = {}) {
    const PatternGroups pattern{2, [](std::u32string_view n) { return n == U"num" ? 2 : -1; }};
    NameTemplate compiled;
    if (const auto error = compiled.compile(toCodePoints(text), groups ? &pattern : nullptr))
        return "@" + std::to_string(error->position) + " " + error->reason;
    const std::u32string_view texts[] = {U"ab", U"a", U"b"};
    std::u32string out;
    if (const char* missing = compiled.expand(values, texts, out))
        return std::string("! ") + missing;
    return toBytes(out);
}

TEST(NameTemplate, FieldsEscapesAndGroups) {
    const std::pair<const char*, const char*> rows[] = {
        {"x{n}y", "x7y"},
        {"{n:3}", "007"},
        {"{n:1}", "7"},
        {"{{n}} a}}b{{", "{n} a}b{"},
        {"{parent}/{ext}", "dir/.jpg"},
        {"{ext|n}", ".jpg"},
        {"$1 \\ {n}", "$1 \\ 7"},  // no groups: "$" and "\" are text
        {"{x}", "@2 unknown field 'x'"},
        {"ab{n", "@3 '{' without its '}' (write '{{' for one)"},
        {"a{n:3", "@2 '{' without its '}' (write '{{' for one)"},
        {"}", "@1 a '}' alone (write '}}' for one)"},
        {"{}", "@1 an empty field (write '{{' for a '{')"},
        {"{N}", "@2 a field name is made of a-z, 0-9 and '_'"},
        {"{n x}", "@3 a field name is made of a-z, 0-9 and '_'"},
        {"{n|}", "@4 a field name is missing"},
        {"{n:0}", "@4 the width of a number must be a number from 1 to 20"},
        {"{n:21}", "@4 the width of a number must be a number from 1 to 20"},
        {"{n:2x}", "@4 the width of a number must be a number from 1 to 20"},
        {"é{parent:3}", "@10 'parent' takes no format"},
        {"{n|parent:3}", "@11 'parent' takes no format"},
        // Every field of the files, with and without formats.
        {"{taken}", "2024-06-15 10.20.30"},
        {"{taken:%Y%m%d-%H%M%S}", "20240615-102030"},
        {"{taken:%F %z %%:|}", "2024-06-15 +0200 %:|"},
        {"{modified:%a %A %b %B %y %j %I%p %u%z}", "Sun Sunday Jan January 09 004 09PM 7"},
        {"{modified|taken:%H}", "21"},
        {"{camera} {width}x{height:5}", "Canon EOS 80D 4000x03000"},
        {"{artist} - {album} - {track:2} {title} ({disc}, {year}, {genre})",
         "Nina Simone - Pastel Blues - 03 Sinnerman (1, 1965, Jazz)"},
        {"{track|disc|n:3}", "003"},
        // Formats that do not suit their fields, and dates no name could hold.
        {"{artist:2}", "@9 'artist' takes no format"},
        {"{camera|taken:%Y}", "@15 'camera' takes no format"},
        {"{taken|n:3}", "@10 a number and a date cannot share a format"},
        {"{track:%Y}", "@8 the width of a number must be a number from 1 to 20"},
        {"{taken:}", "@8 a date format needs a conversion, such as %Y"},
        {"{taken:3%%}", "@8 a date format needs a conversion, such as %Y"},
        {"{taken:%Y/%m}", "@10 a name cannot hold '/'"},
        {"{taken:%Y\t%m}", "@10 a name cannot hold a control character"},
        {"{taken:\x7f%Y}", "@8 a name cannot hold a control character"},
        {"{taken:%D}", "@8 '%D' writes a '/', which a name cannot hold"},
        {"{modified:a%x}", "@12 '%x' writes a '/', which a name cannot hold"},
        {"{taken:%Y%n}", "@10 '%n' writes a control character"},
        {"{taken:%T}",
         "@8 '%T' is not a date conversion (%Y %y %m %d %j %H %I %M %S %p %a %A %b %B %u %z %F "
         "%%)"},
        {"{taken:%-d}",
         "@8 '%-' is not a date conversion (%Y %y %m %d %j %H %I %M %S %p %a %A %b "
         "%B %u %z %F %%)"},
        {"{taken:%Y%}", "@10 '%' at the end of a date format (write '%%' for one)"},
        {"{taken:%Y{n}}", "@1 '{' without its '}' (write '{{' for one)"},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(expand(text, false), expected) << text;

    const std::pair<const char*, const char*> groupRows[] = {
        {"$0-$1-$2", "ab-a-b"},
        {"${num}${1}$12$$", "baa2$"},
        {"{n:2}$2", "07b"},
        {"$3", "@1 the pattern has no group 3"},
        {"x${12}", "@2 the pattern has no group 12"},
        {"${nope}", "@1 the pattern has no group named 'nope'"},
        {"a${1", "@2 '${' without its '}'"},
        {"$x", "@1 '$' must be followed by a group number, '{' or '$'"},
        {"ab$", "@3 '$' at the end (write '$$' for one)"},
    };
    for (const auto& [text, expected] : groupRows)
        EXPECT_EQ(expand(text, true), expected) << text;
}

TEST(NameTemplate, NumbersAreNeverCutAndMissingValuesFailTheEntry) {
    Values values;
    for (const auto& [number, expected] : std::vector<std::pair<std::int64_t, const char*>>{
             {1234, "1234"}, {999, "999"}, {-5, "-005"}, {0, "000"}}) {
        values.number = number;
        EXPECT_EQ(expand("{n:3}", false, values), expected);
    }
    values.number = INT64_MIN;
    EXPECT_EQ(expand("{n}", false, values), "-9223372036854775808");
    values.missing.add(Field::Parent);
    EXPECT_EQ(expand("a{parent|ext}", false, values), "a.jpg");

    // Each field's own reason, that of the first field of a chain with no value at all.
    const std::pair<const char*, const char*> reasons[] = {
        {"n", "no number"},         {"parent", "no parent folder"},
        {"ext", "no extension"},    {"modified", "no modified time"},
        {"taken", "no date taken"}, {"camera", "no camera"},
        {"width", "no width"},      {"height", "no height"},
        {"artist", "no artist"},    {"album", "no album"},
        {"title", "no title"},      {"track", "no track"},
        {"disc", "no disc"},        {"year", "no year"},
        {"genre", "no genre"},
    };
    static_assert(std::size(reasons) == kFieldCount);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        values.missing.add(static_cast<Field>(i));
        const std::string field = reasons[i].first;
        EXPECT_EQ(expand("a{" + field + "}", false, values), std::string("! ") + reasons[i].second);
        EXPECT_EQ(expand("a{" + field + "|parent}", false, values),
                  std::string("! ") + reasons[i].second);
    }
}

TEST(NameTemplate, EveryDateConversionWritesWhatANameCanHold) {
    const std::u32string_view all = U"%Y %y %m %d %j %H %I %M %S %p %a %A %b %B %u %z %F %%";
    const std::pair<std::tm, const char*> rows[] = {
        {date(1, 1, 1, 0, 0, 0, 1, 0, -330),
         "0001 01 01 01 001 00 12 00 00 AM Mon Monday Jan January 1 -0530 0001-01-01 %"},
        {date(9999, 12, 31, 23, 59, 59, 5, 364, 840),
         "9999 99 12 31 365 23 11 59 59 PM Fri Friday Dec December 5 +1400 9999-12-31 %"},
        {date(2000, 2, 29, 12, 0, 0, 2, 59, 0),
         "2000 00 02 29 060 12 12 00 00 PM Tue Tuesday Feb February 2 +0000 2000-02-29 %"},
    };
    for (const auto& [tm, expected] : rows) {
        std::u32string out;
        appendDate(tm, all, out);
        EXPECT_EQ(toBytes(out), expected);
    }
    // A date the system got wrong still writes no "/": numbers for names out of range.
    std::u32string out;
    appendDate(date(2024, 13, 1, 25, 0, 0, 9, 0, std::nullopt), U"%b %a %I", out);
    EXPECT_EQ(toBytes(out), "13 9 01");
}

TEST(NameTemplate, SaysWhichFieldsARunReads) {
    NameTemplate compiled;
    ASSERT_FALSE(compiled.compile(U"{taken|modified:%Y} {n:2} {{artist}}", nullptr));
    FieldSet expected;
    for (Field f : {Field::Taken, Field::Modified, Field::Number})
        expected.add(f);
    EXPECT_EQ(compiled.fields(), expected);

    // Only the templates a run expands count: the suffix's rule is off here.
    RenameSettings settings;
    settings.setChecked(ExtendedOption::PatternReplace, true);
    settings.setText(ExtendedOption::Pattern, "^IMG_(\\d+)");
    settings.setText(ExtendedOption::Replacement, "{artist} $1");
    settings.setChecked(ExtendedOption::Fields, true);
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "{camera|ext}");
    settings.setText(Option::Edit4, "{year}");
    expected = {};
    for (Field f : {Field::Artist, Field::Camera, Field::Extension})
        expected.add(f);
    EXPECT_EQ(fieldsInUse(settings), expected);
    settings.setChecked(ExtendedOption::Fields, false);
    expected = {};
    expected.add(Field::Artist);
    EXPECT_EQ(fieldsInUse(settings), expected);
    // Numbers in the order of the dates taken read the dates, but only when there are numbers.
    settings.setValue(ExtendedOption::NumberOrder, static_cast<int>(NumberOrder::Taken));
    EXPECT_EQ(fieldsInUse(settings), expected);
    settings.setText(ExtendedOption::Replacement, "{artist} {n}");
    for (Field f : {Field::Number, Field::Taken})
        expected.add(f);
    EXPECT_EQ(fieldsInUse(settings), expected);
    settings.setChecked(ExtendedOption::PatternReplace, false);
    EXPECT_TRUE(fieldsInUse(settings).empty());
    // Texts that do not compile read nothing: the run is refused.
    settings.setChecked(ExtendedOption::PatternReplace, true);
    settings.setText(ExtendedOption::Replacement, "{artist} {nope}");
    EXPECT_TRUE(fieldsInUse(settings).empty());
}

TEST(PatternRule, CompileErrorsNameThePositionInWords) {
    struct Row {
        const char* pattern;
        const char* replacement;
        const char* error;
    };
    const Row rows[] = {
        {"abc(", "", "Invalid pattern at position 4: the parentheses do not match"},
        {"a)b", "", "Invalid pattern at position 2: the parentheses do not match"},
        {"x{3,1}", "", "Invalid pattern at position 6: in {min,max}, max is less than min"},
        {"[z-a]", "", "Invalid pattern at position 4: a range in [] that runs backwards"},
        {"é\\p{Foo}", "", "Invalid pattern at position 8: invalid Unicode property"},
        {"ab\ncd(", "", "Invalid pattern at position 6: the parentheses do not match"},
        {"(a)", "$2", "Invalid replacement at position 1: the pattern has no group 2"},
        {"(?<y>a)", "${x}",
         "Invalid replacement at position 1: the pattern has no group named 'x'"},
    };
    for (const Row& row : rows) {
        PatternRule rule;
        EXPECT_EQ(rule.compile(toCodePoints(row.pattern), toCodePoints(row.replacement), false),
                  row.error)
            << row.pattern << " " << row.replacement;
    }
}

TEST(NaturalOrder, NumbersByValueEverythingElseByCodePoint) {
    const std::tuple<const char*, const char*, int> rows[] = {
        {"IMG_2", "IMG_10", -1},
        {"IMG_10", "IMG_9", 1},
        {"B", "a", -1},
        {"a-", "a1", -1},
        {"z", "é", -1},
        {"x", "x1", -1},
        {"", "a", -1},
        {"a1b", "a1b", 0},
        {"f99999999999999999999999", "f100000000000000000000000", -1},
        // Leading zeros decide last, fewer first.
        {"IMG_2", "IMG_02", -1},
        {"IMG_02.jpg", "IMG_2.png", -1},
        {"a01b2", "a1b02", 1},
    };
    for (const auto& [a, b, expected] : rows) {
        EXPECT_EQ(compareNatural(a, b), expected) << a << " " << b;
        EXPECT_EQ(compareNatural(b, a), -expected) << b << " " << a;
    }
}

TEST(UniqueName, TheCounterGoesBeforeTheExtension) {
    struct Row {
        const char* wanted;
        std::set<std::string> taken;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"photo.jpg", {}, "photo.jpg"},
        {"photo.jpg", {"photo.jpg"}, "photo (2).jpg"},
        {"photo.jpg", {"photo.jpg", "photo (2).jpg"}, "photo (3).jpg"},
        {"photo (2).jpg", {"photo (2).jpg"}, "photo (3).jpg"},
        {"photo (9).jpg", {"photo (9).jpg", "photo (10).jpg"}, "photo (11).jpg"},
        {"x (1).jpg", {"x (1).jpg"}, "x (1) (2).jpg"},  // 1 and 02 are no counters
        {"x (02).jpg", {"x (02).jpg"}, "x (02) (2).jpg"},
        {"README", {"README"}, "README (2)"},
        {".profile", {".profile"}, ".profile (2)"},
        {"archive.tar.gz", {"archive.tar.gz"}, "archive.tar (2).gz"},
        {"name.", {"name."}, "name (2)."},
        {"Photo.JPG", {"photo.jpg"}, "Photo.JPG"},  // names are bytes
    };
    for (const Row& row : rows) {
        const auto taken = [&row](std::string_view n) {
            return row.taken.contains(std::string(n));
        };
        EXPECT_EQ(uniqueName(row.wanted, taken), row.expected) << row.wanted;
    }
    EXPECT_EQ(uniqueName("a", [](std::string_view) { return true; }), std::nullopt);
}

}  // namespace
}  // namespace zr
