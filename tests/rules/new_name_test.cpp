// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/new_name.h"

#include <gtest/gtest.h>

#include "rules/app_error.h"

namespace zr {
namespace {

// Runs the rules on single names, in preview mode unless a test switches to Go.
class NewNameTest : public ::testing::Test {
protected:
    NewNameTest() {
        settings.setText(Option::Edit3, "*");
        settings.setChecked(Option::CheckBox6, false);  // case range: the base name
        settings.setItemIndex(kLowerCase);
        state.PreviewMode = true;
    }

    // The new name, or "=" when the name is not handed on.
    std::string rename(const std::string& name) {
        ParseOptionLists(settings, lists);
        NewNameComputer computer(settings, lists, state);
        const std::int32_t before = state.PreviewCount;
        computer.ComputeNewName("/dir", name);
        if (state.PreviewCount == before)
            return "=";
        return state.NewNameResult;
    }

    void pattern(const std::string& regex, const std::string& replacement,
                 PatternRange range = PatternRange::Name, bool all = false,
                 bool ignoreCase = false) {
        settings.setChecked(ExtendedOption::PatternReplace, true);
        settings.setText(ExtendedOption::Pattern, regex);
        settings.setText(ExtendedOption::Replacement, replacement);
        settings.setValue(ExtendedOption::PatternRange, static_cast<int>(range));
        settings.setChecked(ExtendedOption::PatternAll, all);
        settings.setChecked(ExtendedOption::PatternIgnoreCase, ignoreCase);
    }

    void caseMode(int mode, bool inclusive = false, bool onlyExtension = false) {
        settings.setChecked(Option::CheckBox4, true);
        settings.setItemIndex(mode);
        settings.setChecked(Option::CheckBox6, inclusive);
        settings.setChecked(Option::CheckBox7, onlyExtension);
    }

    RenameSettings settings;
    ParsedLists lists;
    RuleState state;
};

TEST_F(NewNameTest, RulesApplyInTheirFixedOrder) {
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, "-copy");
    settings.setChecked(Option::CheckBox10, true);
    settings.setText(Option::Edit8, "_");
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "IMG");
    settings.setText(Option::Edit10, "photo");
    caseMode(kLowerCase, true);
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "2004-");
    settings.setChecked(Option::CheckBox3, true);
    settings.setText(Option::Edit4, "_a");
    EXPECT_EQ(rename("IMG_0042-copy.JPG"), "2004-photo0042_a.jpg");
    // The replacement comes before the case conversion and is case-sensitive.
    settings.setText(Option::Edit9, "img");
    EXPECT_EQ(rename("IMG_0042-copy.JPG"), "2004-img0042_a.jpg");
}

TEST_F(NewNameTest, ConvertCharsComeAfterTheCaseConversion) {
    settings.setChecked(Option::CheckBox9, true);
    settings.setText(Option::Edit6, "A");
    settings.setText(Option::Edit7, "4");
    caseMode(kUpperCase);
    EXPECT_EQ(rename("banana.txt"), "B4N4N4.txt");
    caseMode(kLowerCase);
    EXPECT_EQ(rename("banana.txt"), "=");
}

TEST_F(NewNameTest, KillStringsRemoveTheFirstOccurrenceOfEachInTurn) {
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, "_");
    EXPECT_EQ(rename("a_b_c.txt"), "ab_c.txt");
    settings.setText(Option::Edit5, "ab;b");
    EXPECT_EQ(rename("aabb.txt"), "a.txt");
    settings.setText(Option::Edit5, ";;");  // an empty entry and ";"
    EXPECT_EQ(rename("a;b.txt"), "ab.txt");
}

TEST_F(NewNameTest, KillCharsRemoveEveryOccurrence) {
    settings.setChecked(Option::CheckBox10, true);
    settings.setText(Option::Edit8, "_-");
    EXPECT_EQ(rename("my_file-1.txt"), "myfile1.txt");
    settings.setText(Option::Edit8, "é");
    EXPECT_EQ(rename("été.txt"), "t.txt");
}

TEST_F(NewNameTest, ConvertStringsChainPairsButNeverRescanInsertedText) {
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "a;b");
    settings.setText(Option::Edit10, "b;c");
    EXPECT_EQ(rename("ab.txt"), "cc.txt");
    settings.setText(Option::Edit9, "a");
    settings.setText(Option::Edit10, "aa");
    EXPECT_EQ(rename("a.txt"), "aa.txt");
    settings.setText(Option::Edit10, "x");
    settings.setText(Option::Edit9, "A");
    EXPECT_EQ(rename("a.txt"), "=");
    settings.setText(Option::Edit9, "aa");
    EXPECT_EQ(rename("aaa.txt"), "xa.txt");
}

TEST_F(NewNameTest, MismatchedConvertListsSkipOnlyTheirOwnStep) {
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "a;b");
    settings.setText(Option::Edit10, "x");
    settings.setChecked(Option::CheckBox9, true);
    settings.setText(Option::Edit6, "abc");
    settings.setText(Option::Edit7, "xy");
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "p_");
    EXPECT_EQ(rename("abc.txt"), "p_abc.txt");
}

TEST_F(NewNameTest, CaseModesOnTheBaseNameTheWholeNameOrTheExtension) {
    struct Row {
        int mode;
        bool inclusive;
        bool onlyExtension;
        const char* expected;
    };
    const Row rows[] = {
        {kLowerCase, false, false, "hello world.TXT"},
        {kUpperCase, false, false, "HELLO WORLD.TXT"},
        {kFirstUpper, false, false, "Hello world.TXT"},
        {kAllFirstUpper, false, false, "HELLO WORLD.TXT"},
        {kLowerCase, true, false, "hello world.txt"},
        {kLowerCase, false, true, "hELLO wORLD.txt"},
        {kFirstUpper, false, true, "hELLO wORLD.Txt"},
        {kLowerCase, true, true, "hELLO wORLD.txt"},  // "only in extension" decides
    };
    for (const Row& row : rows) {
        caseMode(row.mode, row.inclusive, row.onlyExtension);
        std::string result = rename("hELLO wORLD.TXT");
        if (result == "=")
            result = "hELLO wORLD.TXT";
        EXPECT_EQ(result, row.expected) << row.mode << row.inclusive << row.onlyExtension;
    }
}

TEST_F(NewNameTest, WordsStartAfterEveryNonLetter) {
    caseMode(kAllFirstUpper, true);
    EXPECT_EQ(rename("my file.txt"), "My File.Txt");
    EXPECT_EQ(rename("2nd take.avi"), "2Nd Take.Avi");
    caseMode(kAllFirstUpper);
    EXPECT_EQ(rename("don't.txt"), "Don'T.txt");
    caseMode(kFirstUpper);
    EXPECT_EQ(rename("01 intro.mp3"), "01 Intro.mp3");
    caseMode(kUpperCase, true);
    EXPECT_EQ(rename("žluťoučký kůň.jpg"), "ŽLUŤOUČKÝ KŮŇ.JPG");
    caseMode(-1, true);  // no item selected: nothing changes
    EXPECT_EQ(rename("Mixed.JPG"), "=");
}

TEST_F(NewNameTest, ExtensionRuleForCaseRanges) {
    caseMode(kUpperCase, false, true);
    EXPECT_EQ(rename("readme"), "=");  // no extension: nothing to convert
    EXPECT_EQ(rename(".profile"), ".PROFILE");
    caseMode(kUpperCase);
    EXPECT_EQ(rename(".profile"), "=");  // the base name is empty
}

TEST_F(NewNameTest, SuffixGoesBeforeTheLastDot) {
    settings.setChecked(Option::CheckBox3, true);
    settings.setText(Option::Edit4, "_s");
    EXPECT_EQ(rename("photo.jpg"), "photo_s.jpg");
    EXPECT_EQ(rename("readme"), "readme_s");
    EXPECT_EQ(rename("archive.tar.gz"), "archive.tar_s.gz");
    EXPECT_EQ(rename("name."), "name_s.");
    EXPECT_EQ(rename(".profile"), "_s.profile");
    settings.setChecked(Option::CheckBox8, true);
    EXPECT_EQ(rename("photo.jpg"), "photo.jpg_s");
    settings.setChecked(Option::CheckBox8, false);
    // The suffix is placed by the extension of the prefixed name.
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "a.");
    EXPECT_EQ(rename("readme"), "a_s.readme");
}

TEST_F(NewNameTest, ConvertCharsChainInFieldOrder) {
    settings.setChecked(Option::CheckBox9, true);
    settings.setText(Option::Edit6, "ab");
    settings.setText(Option::Edit7, "bc");
    EXPECT_EQ(rename("ab.txt"), "cc.txt");
    settings.setText(Option::Edit6, "ba");
    settings.setText(Option::Edit7, "cb");
    EXPECT_EQ(rename("ab.txt"), "bc.txt");
    settings.setText(Option::Edit6, kDefaultConvertFrom);
    settings.setText(Option::Edit7, kDefaultConvertTo);
    EXPECT_EQ(rename("Příliš žluťoučký kůň.jpg"),
              "Prilis zlutoucky kuň.jpg");  // ň is not in the list
}

// Each replacement applies in turn to what the ones before it made, whatever the fields repeat:
// checked against that rule followed letter by letter, on every name of three letters.
TEST_F(NewNameTest, ConvertCharsMeanTheReplacementsOneAfterAnother) {
    settings.setChecked(Option::CheckBox9, true);
    const std::string letters = "abcd";
    unsigned seed = 7;
    const auto draw = [&seed, &letters](std::size_t length) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245 + 12345;
            text += letters[(seed >> 16) % letters.size()];
        }
        return text;
    };
    for (int round = 0; round < 60; ++round) {
        const std::string from = draw(1 + round % 7);
        const std::string to = draw(from.size());
        settings.setText(Option::Edit6, from);
        settings.setText(Option::Edit7, to);
        for (const std::string name : {"abc", "dcb", "bad", "cab", "dda"}) {
            std::string expected = name;
            for (char& c : expected) {
                for (std::size_t j = 0; j < from.size(); ++j) {
                    if (c == from[j])
                        c = to[j];
                }
            }
            EXPECT_EQ(rename(name), expected == name ? "=" : expected) << from << " " << to;
        }
    }
}

TEST_F(NewNameTest, ConvertCharsNeverReadBeyondAShortenedSecondField) {
    settings.setChecked(Option::CheckBox9, true);
    settings.setText(Option::Edit6, "abc");
    settings.setText(Option::Edit7, "xyz");
    ParseOptionLists(settings, lists);
    NewNameComputer computer(settings, lists, state);
    // Settings loaded during the run shorten the second field; the flags of the run stay.
    settings.setText(Option::Edit7, "x");
    computer.ComputeNewName("/dir", "abc.txt");
    EXPECT_EQ(state.NewNameResult, "xbc.txt");
}

TEST_F(NewNameTest, OptionsChangedDuringTheRunApplyFromTheNextEntry) {
    ParseOptionLists(settings, lists);
    NewNameComputer computer(settings, lists, state);
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "a_");
    computer.ComputeNewName("/dir", "x.txt");
    EXPECT_EQ(state.NewNameResult, "a_x.txt");
    settings.setText(Option::Edit2, "b_");
    computer.ComputeNewName("/dir", "x.txt");
    EXPECT_EQ(state.NewNameResult, "b_x.txt");
}

TEST_F(NewNameTest, CaseOnlyChangesAreChangesAndUnchangedNamesAreNot) {
    caseMode(kLowerCase);
    EXPECT_EQ(rename("A.txt"), "a.txt");
    EXPECT_EQ(state.PreviewCount, 1);
    EXPECT_EQ(rename("a.txt"), "=");
    EXPECT_EQ(state.PreviewCount, 1);
}

TEST_F(NewNameTest, AnEmptyNewNameIsCountedButNotShown) {
    settings.setChecked(Option::CheckBox10, true);
    settings.setText(Option::Edit8, "abc.");
    ParseOptionLists(settings, lists);
    NewNameComputer computer(settings, lists, state);
    computer.ComputeNewName("/dir", "cab.a");
    EXPECT_EQ(state.PreviewCount, 1);
    EXPECT_EQ(state.NewNameResult, "");

    state.PreviewMode = false;
    computer.ComputeNewName("/dir", "cab.a");
    ASSERT_EQ(state.JournalCount, 1);
    EXPECT_EQ(state.Journal[0].text(), "/dir/cab.a*");
}

TEST_F(NewNameTest, FiltersDecideUnlessADirectoryIsHandedOver) {
    settings.setText(Option::Edit3, "*.jpg");
    caseMode(kUpperCase, true);
    EXPECT_EQ(rename("My.Folder"), "=");
    state.DirectoryPass = true;
    EXPECT_EQ(rename("My.Folder"), "MY.FOLDER");
    // With the filters skipped, an invalid mask goes unnoticed.
    settings.setText(Option::Edit3, "[");
    EXPECT_EQ(rename("x"), "X");
    state.DirectoryPass = false;
    EXPECT_THROW(rename("x"), AppError);
}

TEST_F(NewNameTest, GoQueuesJournalEntriesAndLeavesTheResultEmpty) {
    state.PreviewMode = false;
    caseMode(kLowerCase, true);
    ParseOptionLists(settings, lists);
    NewNameComputer computer(settings, lists, state);
    computer.ComputeNewName("/Photos", "a.JPG");
    computer.ComputeNewName("/", "B.JPG");
    computer.ComputeNewName("/Photos", "c.jpg");
    EXPECT_EQ(state.NewNameResult, "");
    EXPECT_EQ(state.PreviewCount, 0);
    ASSERT_EQ(state.JournalCount, 2);
    EXPECT_EQ(state.Journal[0].text(), "/Photos/a.JPG*a.jpg");
    EXPECT_EQ(state.Journal[1].text(), "//B.JPG*b.jpg");  // at the root the delimiter doubles
}

TEST_F(NewNameTest, NamesWithInvalidUtf8PassThroughUnchanged) {
    caseMode(kUpperCase, true);
    const std::string name = "caf\xE9-\xFF.jpg";
    EXPECT_EQ(rename(name), "CAF\xE9-\xFF.JPG");
    settings.setChecked(Option::CheckBox4, false);
    settings.setChecked(Option::CheckBox10, true);
    settings.setText(Option::Edit8, "\xFF");
    EXPECT_EQ(rename(name), "caf\xE9-.jpg");
}

TEST_F(NewNameTest, ANameIsChangedOnlyWhenItsBytesChange) {
    // "\xC3\xA9" is one character; the replacements make it the two stray bytes C3 and A9, other
    // characters with the very same bytes. Nothing is to be renamed.
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "\xC3\xA9;Z");
    settings.setText(Option::Edit10, "\xC3Z;\xA9");
    EXPECT_EQ(rename("caf\xC3\xA9.txt"), "=");
    EXPECT_EQ(rename("Z\xC3\xA9.txt"), "\xA9\xC3\xA9.txt");
    state.PreviewMode = false;
    rename("caf\xC3\xA9.txt");
    EXPECT_EQ(state.JournalCount, 0);
}

TEST_F(NewNameTest, EachStepWorksOnWhatTheStepBeforeLeft) {
    // Kill strings come before kill chars: with the "-" gone first, "a-b" would not be found.
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, "a-b");
    settings.setChecked(Option::CheckBox10, true);
    settings.setText(Option::Edit8, "-X");
    EXPECT_EQ(rename("xa-by-z.txt"), "xyz.txt");
    // The prefix and the suffix come last, so they keep their case and characters whatever
    // the case and character rules do to the name.
    caseMode(kLowerCase, true);
    settings.setChecked(Option::CheckBox9, true);
    settings.setText(Option::Edit6, "_");
    settings.setText(Option::Edit7, "=");
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "X_P");
    settings.setChecked(Option::CheckBox3, true);
    settings.setText(Option::Edit4, "_S-X");
    EXPECT_EQ(rename("AB_X.JPG"), "X_Pab=_S-X.jpg");
}

TEST_F(NewNameTest, ListFieldsChangedDuringTheRunAreNotSeenByIt) {
    settings.setText(Option::Edit3, "*.jpg");
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, "old");
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "a");
    settings.setText(Option::Edit10, "b");
    ParseOptionLists(settings, lists);
    NewNameComputer computer(settings, lists, state);
    // A settings file loaded from the popup menu while the walk runs.
    settings.setText(Option::Edit3, "*.png");
    settings.setText(Option::Edit5, "new");
    settings.setText(Option::Edit9, "c");
    settings.setText(Option::Edit10, "d");
    computer.ComputeNewName("/dir", "old new ac.jpg");
    EXPECT_EQ(state.NewNameResult, " new bc.jpg");
    computer.ComputeNewName("/dir", "old.png");
    EXPECT_EQ(state.NewNameResult, "");
}

TEST_F(NewNameTest, PatternReplaceWithGroupsRangesAndFlags) {
    using R = PatternRange;
    struct Row {
        const char* name;
        const char* regex;
        const char* replacement;
        R range;
        bool all;
        bool ignoreCase;
        const char* expected;
    };
    const Row rows[] = {
        {"IMG_0042.JPG", "^IMG_(\\d+)", "Holiday $1", R::Name, false, false, "Holiday 0042.JPG"},
        {"IMG_0042.JPG", "^IMG_(?<num>\\d+)", "${num}-${1}$0", R::Name, false, false,
         "0042-0042IMG_0042.JPG"},
        {"notes.txt", "^IMG_(\\d+)", "x", R::Name, false, false, "="},  // no match
        {"[x]\\$.txt", "\\[(x)\\]", "$$1{{n}}\\", R::Name, false, false, "$1{n}\\\\$.txt"},
        {"IMG.txt", "^(x)?IMG", "[$1]", R::Name, false, false, "[].txt"},  // unused group
        // Anchors: the name without its extension, the whole name, the extension.
        {"photo.jpg", "o$", "X", R::Name, false, false, "photX.jpg"},
        {"photo.jpg", "o$", "X", R::All, false, false, "="},
        {"photo.jpg", "g$", "X", R::All, false, false, "photo.jpX"},
        {"a.JPEG", "^\\.jpe?g$", ".jpg", R::Extension, false, true, "a.jpg"},
        {"a.JPEG", "^\\.jpe?g$", ".jpg", R::Extension, false, false, "="},
        {"readme", "^$", ".txt", R::Extension, false, false, "readme.txt"},  // no extension
        {"a.b", "^$", ".txt", R::Extension, false, false, "="},
        {".profile", "^$", "dot", R::Name, false, false, "dot.profile"},  // empty base name
        // First match or all; empty matches between characters.
        {"a-b-c.txt", "-", "_", R::Name, false, false, "a_b-c.txt"},
        {"a-b-c.txt", "-", "_", R::Name, true, false, "a_b_c.txt"},
        {"ab.txt", "x*", "-", R::Name, true, false, "-a-b-.txt"},
        // Unicode: case folding, `.` over every character, code points beyond U+FFFF.
        {"STRASSE.txt", "straße", "Road", R::Name, false, true, "Road.txt"},
        {"ÉTÉ.txt", "été", "summer", R::Name, false, true, "summer.txt"},
        {"\xF0\x9F\x98\x80IMG_1.jpg", "IMG_(\\d)", "[$1]", R::Name, false, false,
         "\xF0\x9F\x98\x80[1].jpg"},
        {"caf\xE9\n.txt", "caf(..)", "x$1!", R::Name, false, false, "x\xE9\n!.txt"},
    };
    for (const Row& row : rows) {
        pattern(row.regex, row.replacement, row.range, row.all, row.ignoreCase);
        EXPECT_EQ(rename(row.name), row.expected) << row.name << " " << row.regex;
    }
}

TEST_F(NewNameTest, PatternReplaceComesFirstAndTheOtherRulesWorkOnItsResult) {
    pattern("^IMG_(\\d+)", "Holiday $1 copy");
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, " copy");
    caseMode(kUpperCase, true);
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "{n}-");  // fields are off: the prefix is text
    EXPECT_EQ(rename("IMG_0042.jpg"), "{n}-HOLIDAY 0042.JPG");
    // "Restore defaults" turns the rule off again.
    settings.restoreDefaults();
    settings.setText(Option::Edit3, "*");
    EXPECT_EQ(rename("IMG_0042.jpg"), "=");
}

TEST_F(NewNameTest, ARunawayPatternFailsItsEntryAlone) {
    pattern("(a+)+$", "x");
    ParseOptionLists(settings, lists);
    NewNameComputer computer(settings, lists, state);
    const NameResult failed = computer.ComputeNewName("/dir", std::string(40, 'a') + "b");
    EXPECT_EQ(failed.outcome, NameOutcome::Failed);
    EXPECT_STREQ(failed.failureReason, "pattern took too long");
    EXPECT_EQ(state.PreviewCount, 0);
    EXPECT_EQ(state.NewNameResult, "");
    // The next entry is matched as ever.
    EXPECT_EQ(computer.ComputeNewName("/dir", "aaa").outcome, NameOutcome::Renamed);
    EXPECT_EQ(state.NewNameResult, "x");
    state.PreviewMode = false;
    EXPECT_EQ(computer.ComputeNewName("/dir", std::string(40, 'a') + "b").outcome,
              NameOutcome::Failed);
    EXPECT_EQ(state.JournalCount, 0);
}

TEST_F(NewNameTest, AnInvalidPatternOrTemplateRefusesTheRun) {
    pattern("IMG_(\\d+", "x");
    EXPECT_EQ(checkRunOptions(settings),
              "Invalid pattern at position 8: the parentheses do not match");
    EXPECT_THROW(rename("IMG_1.jpg"), AppError);
    settings.setChecked(ExtendedOption::PatternReplace, false);
    EXPECT_EQ(checkRunOptions(settings), std::nullopt);
    // A prefix is a template only with fields on, and only when the prefix is used.
    settings.setText(Option::Edit2, "{x}");
    settings.setChecked(ExtendedOption::Fields, true);
    EXPECT_EQ(checkRunOptions(settings), std::nullopt);
    settings.setChecked(Option::CheckBox2, true);
    EXPECT_EQ(checkRunOptions(settings), "Invalid prefix at position 2: unknown field 'x'");
    settings.setChecked(Option::CheckBox2, false);
    settings.setChecked(Option::CheckBox3, true);
    settings.setText(Option::Edit4, "_{n:0}");
    EXPECT_EQ(checkRunOptions(settings),
              "Invalid suffix at position 5: the width of a number must be a number from 1 to 20");
}

TEST_F(NewNameTest, NumbersGoOnlyToEntriesWhoseNewNameHoldsOne) {
    pattern("^(IMG_|Trip )\\d+", "Trip {n:2}");
    settings.setValue(ExtendedOption::NumberStart, 9);
    ParseOptionLists(settings, lists);
    NewNameComputer computer(settings, lists, state);
    std::vector<std::string> results;
    for (const char* name : {"IMG_5.jpg", "notes.txt", "Trip 10.jpg", "IMG_7.jpg"}) {
        const NameResult r = computer.ComputeNewName("/dir", name);
        results.push_back(std::to_string(r.numberUsed) + (r.outcome == NameOutcome::Renamed
                                                              ? state.NewNameResult
                                                              : std::string("=")));
    }
    // The entry the pattern misses takes no number; one that keeps its name takes its own.
    EXPECT_EQ(results, (std::vector<std::string>{"1Trip 09.jpg", "0=", "1=", "1Trip 11.jpg"}));

    // The walk may give the numbers itself; widths never cut a number, and a step may be
    // negative.
    settings.setChecked(ExtendedOption::PatternReplace, false);
    settings.setChecked(ExtendedOption::Fields, true);
    settings.setChecked(Option::CheckBox3, true);
    settings.setText(Option::Edit4, "_{n:3}");
    const std::pair<std::int64_t, const char*> rows[] = {
        {7, "a_007.txt"}, {1234, "a_1234.txt"}, {-5, "a_-005.txt"}, {0, "a_000.txt"}};
    for (const auto& [number, expected] : rows) {
        const NameResult r = computer.ComputeNewName("/dir", "a.txt", EntryContext{number});
        EXPECT_TRUE(r.numberUsed);
        EXPECT_EQ(state.NewNameResult, expected);
    }
    settings.setValue(ExtendedOption::NumberStep, -3);
    settings.setText(Option::Edit4, "_{n}");
    computer.ComputeNewName("/dir", "a.txt");
    EXPECT_EQ(state.NewNameResult, "a_0.txt");  // the fourth number: 9 - 3 * 3
}

TEST_F(NewNameTest, FieldsInPrefixAndSuffixOnlyWithTheirBox) {
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "{parent}{{{ext}}}$1 ");
    settings.setChecked(Option::CheckBox3, true);
    settings.setText(Option::Edit4, "{n}");
    EXPECT_EQ(rename("b.jpg"), "{parent}{{{ext}}}$1 b{n}.jpg");
    settings.setChecked(ExtendedOption::Fields, true);
    EXPECT_EQ(rename("b.jpg"), "dir{.jpg}$1 b1.jpg");
    pattern("^.*$", "{parent}-x{ext}", PatternRange::All);
    settings.setChecked(Option::CheckBox2, false);
    settings.setChecked(Option::CheckBox3, false);
    EXPECT_EQ(rename("IMG.jpg"), "dir-x.jpg");
}

// Names copied from macOS often hold their accents decomposed: "é" as "e" and U+0301. Such a
// letter is one character to the rules, found and converted as its composed form; characters no
// rule changes keep their bytes, changed ones are written composed.
struct FormsRow {
    const char* composed;    // the name with its letters composed
    const char* decomposed;  // the same name with some or all of them decomposed
    const char* fromComposed;
    const char* fromDecomposed;
};

class AccentTest : public NewNameTest {
protected:
    void expectRows(std::initializer_list<FormsRow> rows) {
        for (const FormsRow& row : rows) {
            EXPECT_EQ(rename(row.composed), row.fromComposed) << row.composed;
            EXPECT_EQ(rename(row.decomposed), row.fromDecomposed) << row.decomposed;
        }
    }
    void convertChars(const std::string& from, const std::string& to) {
        settings.setChecked(Option::CheckBox9, true);
        settings.setText(Option::Edit6, from);
        settings.setText(Option::Edit7, to);
    }
    void killChars(const std::string& chars) {
        settings.setChecked(Option::CheckBox10, true);
        settings.setText(Option::Edit8, chars);
    }
};

TEST_F(AccentTest, CaseRulesCountAccentsAsPartOfTheLetter) {
    caseMode(kAllFirstUpper, true);
    expectRows({
        {"résumé file.txt", "re\u0301sume\u0301 file.txt", "Résumé File.Txt",
         "Re\u0301sume\u0301 File.Txt"},
        // A changed letter is written composed; a mixed name keeps its untouched forms.
        {"žlutý élan", "z\u030Clutý e\u0301lan", "Žlutý Élan", "Žlutý Élan"},
        // A mark after a separator starts no word.
        {"x-\u0301y", "x-\u0301y", "X-\u0301Y", "X-\u0301Y"},
    });
    caseMode(kFirstUpper);
    expectRows({{"élan VITAL.txt", "e\u0301lan VITAL.txt", "Élan vital.txt", "Élan vital.txt"}});
    caseMode(kUpperCase);
    expectRows({
        {"été.txt", "e\u0301te\u0301.txt", "ÉTÉ.txt", "ÉTÉ.txt"},
        // The iota below is a mark and stays one: alpha with it becomes its capital.
        {"ᾳ.txt", "α\u0345.txt", "ᾼ.txt", "ᾼ.txt"},
    });
    caseMode(kLowerCase);
    expectRows({{"İstanbul.txt", "I\u0307stanbul.txt", "istanbul.txt", "istanbul.txt"}});
    caseMode(kFirstUpper, false, true);  // the extension is found from its dot as ever
    expectRows({{"e\u0301.JPÉG", "e\u0301.JPE\u0301G", "e\u0301.Jpég", "e\u0301.Jpég"}});
}

TEST_F(AccentTest, ConvertCharsFindDecomposedLetters) {
    convertChars(kDefaultConvertFrom, kDefaultConvertTo);
    expectRows({
        {"čat.txt", "c\u030Cat.txt", "cat.txt", "cat.txt"},
        // ň is not in the table: decomposed, it keeps its bytes.
        {"Příliš žluťoučký kůň.jpg", "Pr\u030Ci\u0301lis\u030C žluťoučký ku\u030An\u030C.jpg",
         "Prilis zlutoucky kuň.jpg", "Prilis zlutoucky kun\u030C.jpg"},
        // Two marks: the caron goes, the dot below stays.
        {"č\u0323.txt", "c\u0323\u030C.txt", "c\u0323.txt", "c\u0323.txt"},
    });
    // A table typed with decomposed letters pairs them as composed ones.
    convertChars("c\u030Ce\u0301", "ce");
    expectRows({{"čé.txt", "c\u030Ce\u0301.txt", "ce.txt", "ce.txt"}});
}

TEST_F(AccentTest, ConvertAndKillStringsMatchWholeLetters) {
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "Re\u0301sume\u0301;é");
    settings.setText(Option::Edit10, "CV;e");
    expectRows({
        {"café é.txt", "cafe\u0301 e\u0301.txt", "cafe e.txt", "cafe e.txt"},
        {"Résumé.pdf", "Re\u0301sume\u0301.pdf", "CV.pdf", "CV.pdf"},
    });
    // "e" is not found in "é", however it is stored; an inserted text is written composed.
    settings.setText(Option::Edit9, "e;CV");
    settings.setText(Option::Edit10, "x;Re\u0301sume\u0301");
    expectRows({{"café CV", "cafe\u0301 CV", "café Résumé", "cafe\u0301 Résumé"}});

    settings.setChecked(Option::CheckBox16, false);
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, "é;e");
    expectRows({{"été e.txt", "e\u0301te\u0301 e.txt", "té .txt", "te\u0301 .txt"}});
}

TEST_F(AccentTest, KillCharsRemoveMarksAndWholeLetters) {
    killChars("\u030C");  // the caron alone strips it from every letter
    expectRows({{"čas ďas.txt", "c\u030Cas d\u030Cas.txt", "cas das.txt", "cas das.txt"}});
    killChars("č");  // a precomposed letter removes its decomposed form too
    expectRows({{"čas ča.txt", "c\u030Cas ča.txt", "as a.txt", "as a.txt"}});
    killChars("e");  // but a base letter alone does not take an accented one
    expectRows({{"été.txt", "e\u0301te\u0301.txt", "=", "="}});
    killChars("\u0301e");  // without its accent, é is an e
    expectRows({{"été.txt", "e\u0301te\u0301.txt", "t.txt", "t.txt"}});
    killChars("\u0323");
    expectRows({{"ệ.txt", "e\u0323\u0302.txt", "ê.txt", "ê.txt"}});
}

TEST_F(AccentTest, ANameNoRuleChangesKeepsItsBytes) {
    settings.setText(Option::Edit3, "*.txt;Ma\u0308d*");
    settings.setChecked(Option::CheckBox5, true);
    settings.setText(Option::Edit5, "zzz;a");  // "a" is not "ä"
    killChars("#");
    settings.setChecked(Option::CheckBox16, true);
    settings.setText(Option::Edit9, "IMG");
    settings.setText(Option::Edit10, "x");
    caseMode(kLowerCase, false, true);
    convertChars(kDefaultConvertFrom, kDefaultConvertTo);
    expectRows({{"Mädchen ñ.txt", "Ma\u0308dchen n\u0303.txt", "=", "="}});
    state.PreviewMode = false;
    rename("Ma\u0308dchen n\u0303.txt");
    rename("Ma\u0308dchen");
    EXPECT_EQ(state.JournalCount, 0);
}

TEST_F(AccentTest, PatternsSeeLettersComposedAndKeepWhatTheyDoNotMatch) {
    pattern("é", "E");
    expectRows({
        {"été.txt", "e\u0301te\u0301.txt", "Eté.txt", "Ete\u0301.txt"},
        // Groups come composed; the text between the matches keeps its bytes.
        {"Mädchen é.txt", "Ma\u0308dchen e\u0301.txt", "Mädchen E.txt", "Ma\u0308dchen E.txt"},
    });
    pattern("e\u0301(.)", "[$1]", PatternRange::Name, true);  // a pattern typed decomposed
    expectRows({{"été.txt", "e\u0301te\u0301.txt", "[t]é.txt", "[t]e\u0301.txt"}});
    // A match inside a letter with a mark that has no composed form takes the rest along.
    pattern("x", "q", PatternRange::Name, true);
    expectRows({{"x\u0301x.txt", "x\u0301x.txt", "q\u0301q.txt", "q\u0301q.txt"}});
    pattern("\u0301", "", PatternRange::Name, true);
    expectRows({{"x\u0301q\u0301.txt", "x\u0301q\u0301.txt", "xq.txt", "xq.txt"}});
    // A replacement that brings marks in gives letters the other rules see whole.
    pattern("^a", "e\u0301");
    convertChars("é", "E");
    expectRows({{"ab.txt", "ab.txt", "Eb.txt", "Eb.txt"}});
}

TEST_F(AccentTest, HangulAndOtherScriptsAreLeftAloneUnlessARuleChangesThem) {
    // 한 composed, and as three conjoining letters, which are no combining marks.
    convertChars("한", "h");
    expectRows({{"한.txt", "\u1112\u1161\u11AB.txt", "h.txt", "="}});
    settings.setChecked(Option::CheckBox9, false);
    killChars("한");
    expectRows({{"한.txt", "\u1112\u1161\u11AB.txt", ".txt", "="}});
    settings.setChecked(Option::CheckBox10, false);
    caseMode(kUpperCase, true);
    expectRows(
        {{"한 कि.txt", "\u1112\u1161\u11AB कि.txt", "한 कि.TXT", "\u1112\u1161\u11AB कि.TXT"}});
}

TEST_F(AccentTest, StrayBytesAreNeverComposed) {
    // \xE9 is é in Latin-1, not valid UTF-8: followed by an accent it stays a byte of its own.
    const std::string name = "\xE9\u0301x.txt";
    convertChars(kDefaultConvertFrom, kDefaultConvertTo);
    EXPECT_EQ(rename(name), "=");
    settings.setChecked(Option::CheckBox9, false);
    caseMode(kUpperCase);
    EXPECT_EQ(rename(name), "\xE9\u0301X.txt");
    settings.setChecked(Option::CheckBox4, false);
    killChars("\u0301");
    EXPECT_EQ(rename(name), "\xE9x.txt");
    // With the byte gone, the accent joins the letter before it, in the bytes it had.
    killChars("\xFF");
    EXPECT_EQ(rename("e\xFF\u0301.txt"), "e\u0301.txt");
}

}  // namespace
}  // namespace zr
