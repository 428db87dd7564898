#include "rules/mask.h"

#include <gtest/gtest.h>

#include "rules/text.h"

namespace zr {
namespace {

// Compiles and matches; the result is "error N" for an invalid mask.
std::string test(const std::string& mask, const std::string& name) {
    TMask m;
    int position = 0;
    if (!m.compile(toCodePoints(mask), position))
        return "error " + std::to_string(position);
    return m.matches(toCodePoints(name)) ? "match" : "no match";
}

TEST(MaskMatch, StarAndDot) {
    EXPECT_EQ(test("*", "anything.txt"), "match");
    EXPECT_EQ(test("*", ""), "match");
    EXPECT_EQ(test("*.*", "a.b"), "match");
    EXPECT_EQ(test("*.*", "readme"), "no match");
    EXPECT_EQ(test("*.txt", "notes.TXT"), "match");
    EXPECT_EQ(test("*.txt", "notes.txt"), "match");
    EXPECT_EQ(test("*.txt", "notes.txt.bak"), "no match");
    EXPECT_EQ(test("**a", "a"), "match");
}

TEST(MaskMatch, QuestionMarkNeedsACharacterExceptAfterStar) {
    EXPECT_EQ(test("a?", "a"), "no match");
    EXPECT_EQ(test("a?", "ab"), "match");
    EXPECT_EQ(test("a?", "abc"), "no match");
    EXPECT_EQ(test("*?", ""), "match");
    EXPECT_EQ(test("*?.txt", ".txt"), "match");
    EXPECT_EQ(test("?*", ""), "no match");
}

TEST(MaskMatch, Sets) {
    EXPECT_EQ(test("[a-c]*", "Bravo"), "match");
    EXPECT_EQ(test("[!a-c]*", "apple"), "no match");
    EXPECT_EQ(test("[!a-c]*", "Apple"), "no match");
    EXPECT_EQ(test("[!a-c]*", "dog"), "match");
    EXPECT_EQ(test("x[!a]", "x"), "no match");
    EXPECT_EQ(test("x[!a]", "xb"), "match");
    // The second range starts again from the last member, A.
    EXPECT_EQ(test("[a-c-e]", "d"), "match");
    EXPECT_EQ(test("[a-c-e]", "f"), "no match");
    // "]" ends the range A..], so "[" and "\" are members; then "x" and the real "]".
    EXPECT_EQ(test("[a-]x]", "["), "match");
    EXPECT_EQ(test("[a-]x]", "\\"), "match");
    EXPECT_EQ(test("[a-]x]", "^"), "no match");
    EXPECT_EQ(test("[*?[]", "?"), "match");
    EXPECT_EQ(test("[z-a]", "m"), "no match");  // a range that runs backwards adds nothing
    EXPECT_EQ(test("[z-a]", "z"), "match");
}

TEST(MaskMatch, OnlyAsciiLettersFoldInTheMatcher) {
    EXPECT_EQ(test("ärger*", "ÄRGER.TXT"), "no match");
    EXPECT_EQ(test("Ärger*", "ÄRGER.TXT"), "match");
    EXPECT_EQ(test("[ä]", "Ä"), "no match");
    EXPECT_EQ(test("?", "ä"), "match");  // one character, however many bytes
}

TEST(MaskMatch, BacktracksThroughEveryStar) {
    EXPECT_EQ(test("*a*b*c", "xxaxxbxxc"), "match");
    EXPECT_EQ(test("*a*b*c", "cba"), "no match");
    EXPECT_EQ(test("*ab", "aab"), "match");
    EXPECT_EQ(test("*aab", "aaab"), "match");
    EXPECT_EQ(test("a*a*a", "aa"), "no match");
    EXPECT_EQ(test("a*a*a", "aaa"), "match");
    EXPECT_EQ(test("*.tar.gz", "x.tar.tar.gz"), "match");
    std::string longName(2000, 'a');
    EXPECT_EQ(test("*a*b*c", longName + "bc"), "match");
    EXPECT_EQ(test("*a*b*c", longName), "no match");
    EXPECT_EQ(test("*a*a*a*a*a*b", longName), "no match");
}

// A plain recursive matcher for masks of "*", "?", "a", "b", "." and "A": a reference for
// the real one, which must find a match exactly when one exists.
bool referenceMatch(std::string_view mask, std::string_view name) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (mask.empty())
        return name.empty();
    if (mask[0] == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            // "?" right after "*" demands nothing.
            std::string_view rest = mask.substr(1);
            while (!rest.empty() && rest[0] == '?')
                rest.remove_prefix(1);
            if (referenceMatch(rest, name.substr(skip)))
                return true;
        }
        return false;
    }
    if (name.empty())
        return false;
    if (mask[0] != '?' && fold(mask[0]) != fold(name[0]))
        return false;
    return referenceMatch(mask.substr(1), name.substr(1));
}

TEST(MaskMatch, AgreesWithAPlainRecursiveMatcher) {
    const char maskAlphabet[] = "*?ab.A";
    const char nameAlphabet[] = "abAB.";
    unsigned seed = 12345;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string mask;
        std::string name;
        for (unsigned i = next(7); i > 0; --i)
            mask += maskAlphabet[next(6)];
        for (unsigned i = next(9); i > 0; --i)
            name += nameAlphabet[next(5)];
        // "?" right after "*" is dropped by the compiler; the reference knows that too.
        ASSERT_EQ(test(mask, name), referenceMatch(mask, name) ? "match" : "no match")
            << "mask " << mask << " name " << name;
    }
}

TEST(MaskCompile, InvalidMasksReportWhereCompilingStopped) {
    EXPECT_EQ(test("[]", "x"), "error 2");
    EXPECT_EQ(test("[!]", "x"), "error 3");
    EXPECT_EQ(test("[-a]", "x"), "error 2");
    EXPECT_EQ(test("[!-a]", "x"), "error 3");
    EXPECT_EQ(test("[abc", "x"), "error 5");
    EXPECT_EQ(test("[a-]", "x"), "error 5");
    EXPECT_EQ(test("[", "x"), "error 2");
    EXPECT_EQ(test("ab[a-", "x"), "error 6");
    EXPECT_EQ(test("é[]", "x"), "error 3");  // positions count characters, not bytes
}

TEST(MaskCompile, ThirtySkipStatesAtMost) {
    std::string thirty;
    for (int i = 0; i < 30; ++i)
        thirty += "*x";
    EXPECT_EQ(test(thirty, std::string(30, 'x')), "match");
    EXPECT_EQ(test(thirty + "*", "x"), "error " + std::to_string(thirty.size() + 2));
    // The 31st skip state begins with a literal: its position.
    EXPECT_EQ(test(thirty + "*y", "x"), "error " + std::to_string(thirty.size() + 2));
    // ... or with a set: the position of its closing "]".
    EXPECT_EQ(test(thirty + "*[ab]", "x"), "error " + std::to_string(thirty.size() + 5));
    // "?" after "*" appends no state, so it cannot be the 31st.
    EXPECT_EQ(test(thirty + "?", std::string(31, 'x')), "match");
}

TEST(MaskCompile, ErrorTextQuotesTheMaskAsTested) {
    EXPECT_EQ(TMask::errorText(U"[a", 3), "'[a' is an invalid mask at (3)");
}

}  // namespace
}  // namespace zr
