// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/filters.h"

#include <gtest/gtest.h>

#include "rules/app_error.h"
#include "rules/text.h"

namespace zr {
namespace {

bool passes(std::vector<std::string> masks, const std::string& name, bool ignoreCase = false,
            bool ignoreCaseInExtension = false) {
    FilterMatcher matcher(masks);
    return matcher.PassesFilters(toCodePoints(name), ignoreCase, ignoreCaseInExtension);
}

TEST(PassesFilters, NoMasksOrAnEmptyMaskMatchNothing) {
    EXPECT_FALSE(passes({}, "a.jpg"));
    EXPECT_FALSE(passes({""}, "a.jpg"));
    EXPECT_TRUE(passes({"", "*.jpg"}, "a.jpg"));
}

TEST(PassesFilters, CaseOptionsOnAccentedLetters) {
    EXPECT_FALSE(passes({"är*"}, "ÄRGER.TXT"));
    EXPECT_TRUE(passes({"är*"}, "ÄRGER.TXT", true, false));
    EXPECT_FALSE(passes({"är*"}, "ÄRGER.TXT", false, true));
    // In the extension only: the accented extension matches in either case.
    EXPECT_FALSE(passes({"*.ä"}, "x.Ä"));
    EXPECT_TRUE(passes({"*.ä"}, "x.Ä", false, true));
    EXPECT_TRUE(passes({"*.Ä"}, "x.ä", false, true));  // the mask's extension is lowered too
    EXPECT_FALSE(passes({"Ä*.x"}, "äb.x", false, true));
}

TEST(PassesFilters, CaseOptionsTreatBothFormsAlike) {
    EXPECT_TRUE(passes({"É*"}, "e\u0301te\u0301.txt", true, false));
    EXPECT_TRUE(passes({"E\u0301*"}, "été.txt", true, false));
    EXPECT_FALSE(passes({"E\u0301*"}, "été.txt"));
    EXPECT_TRUE(passes({"*.É"}, "x.e\u0301", false, true));
    // Lowercased as one letter: İ becomes i in either form.
    EXPECT_TRUE(passes({"i*"}, "I\u0307stanbul", true, false));
    EXPECT_TRUE(passes({"I\u0307*"}, "istanbul", true, false));
}

TEST(PassesFilters, EveryMaskIsCompiledSoALaterInvalidOneStillFails) {
    try {
        passes({"*.txt", "["}, "notes.txt");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'[' is an invalid mask at (2)");
    }
}

TEST(PassesFilters, ErrorQuotesTheMaskAfterLowercasing) {
    try {
        passes({"ÄB[", "x"}, "x", true, false);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'äb[' is an invalid mask at (4)");
    }
}

TEST(PassesFilters, CachedMasksGiveTheSameResultsAsFreshOnesWhenOptionsChange) {
    FilterMatcher matcher({"*.JPG", "IMG*"});
    const std::u32string upper = toCodePoints("PHOTO.JPG");
    const std::u32string lower = toCodePoints("photo.jpg");
    const std::u32string accented = toCodePoints("élan.JPG");
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(matcher.PassesFilters(upper, false, false));
        EXPECT_TRUE(matcher.PassesFilters(lower, false, false));  // a-z fold in the matcher
        EXPECT_TRUE(matcher.PassesFilters(accented, false, true));
        EXPECT_TRUE(matcher.PassesFilters(accented, true, false));
        EXPECT_FALSE(matcher.PassesFilters(toCodePoints("x.png"), true, true));
    }
}

TEST(PassesFilters, AMaskCompiledForOneCaseOptionIsNotReusedForAnother) {
    // The letters of a set are lowered only with the option, and only a to z match in either
    // case: the compiled set differs between the options.
    FilterMatcher matcher({"[ÉÈ]*", "*.[ÄÖ]"});
    const std::u32string lower = toCodePoints("élan.txt");
    const std::u32string extension = toCodePoints("x.ä");
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(matcher.PassesFilters(lower, true, false));
        EXPECT_FALSE(matcher.PassesFilters(lower, false, false));
        EXPECT_FALSE(matcher.PassesFilters(lower, false, true));
        EXPECT_TRUE(matcher.PassesFilters(extension, false, true));
        EXPECT_FALSE(matcher.PassesFilters(extension, false, false));
    }
}

TEST(PassesFilters, ErrorCountsCharactersAndQuotesALoweredLetterComposed) {
    try {
        passes({"E\u0301["}, "x", true, false);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'é[' is an invalid mask at (3)");
    }
}

}  // namespace
}  // namespace zr
