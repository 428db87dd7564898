// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/name_template.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "rules/natural_order.h"
#include "rules/pattern_rule.h"
#include "rules/text.h"
#include "rules/unique_name.h"

namespace zr {
namespace {

// Number 7, parent "dir", extension ".jpg"; without `parent` the entry has none.
struct Values : FieldValues {
    bool append(Field field, const FieldFormat& format, std::u32string& out) const override {
        switch (field) {
            case Field::Number:
                appendNumber(number, format.width, out);
                return true;
            case Field::Parent:
                if (!parent)
                    return false;
                out += U"dir";
                return true;
            case Field::Extension:
                out += U".jpg";
                return true;
        }
        return false;
    }
    std::int64_t number = 7;
    bool parent = true;
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
    values.parent = false;
    EXPECT_EQ(expand("a{parent}", false, values), "! no parent folder");
    EXPECT_EQ(expand("a{parent|ext}", false, values), "a.jpg");
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
