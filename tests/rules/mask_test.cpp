// SPDX-License-Identifier: GPL-3.0-or-later
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

// A character is a letter with the combining marks written after it, compared composed, so
// masks and names in either form match alike.
TEST(MaskMatch, OneCharacterIsALetterWithItsAccents) {
    struct Row {
        const char* mask;
        const char* name;
        const char* expected;
    };
    const Row rows[] = {
        {"?at.txt", "čat.txt", "match"},
        {"?at.txt", "c\u030Cat.txt", "match"},
        {"??at.txt", "c\u030Cat.txt", "no match"},
        {"c*", "c\u030Cat.txt", "no match"},
        {"č*", "c\u030Cat", "match"},
        {"c\u030C*", "čat", "match"},
        {"[č]at", "c\u030Cat", "match"},
        {"[c\u030C]at", "čat", "match"},
        {"[!č]at", "c\u030Cat", "no match"},
        {"[a-z]at", "c\u030Cat", "no match"},
        {"*.jpe\u0301g", "x.jpég", "match"},
        {"*.jpég", "x.jpe\u0301g", "match"},
        {"*.jpg", "e\u0301.jpg", "match"},
        {"?.jpg", "e\u0301.jpg", "match"},
        {"??.jpg", "e\u0301.jpg", "no match"},
        // Without a composed form the letter still is one character, matched only as it is.
        {"?", "q\u030C", "match"},
        {"[q\u030C]", "q\u030C", "match"},
        {"[!q\u030C]", "q\u030C", "no match"},
        {"q\u030C", "q\u030C", "match"},
        {"Q\u030C", "q\u030C", "no match"},
        {"?", "\u0301", "match"},  // a mark at the start stands for itself
        // A syntax character with an accent is an ordinary one.
        {"?\u0301", "x", "no match"},
        {"[\u0301]", "[\u0301]", "match"},
        // Hangul letters compose with each other, not as base and marks: left apart.
        {"?", "한", "match"},
        {"?", "\u1112\u1161\u11AB", "no match"},
        {"???", "\u1112\u1161\u11AB", "match"},
        {"?", "\xE9\u0301", "no match"},  // a stray byte takes no accent
    };
    for (const Row& row : rows)
        EXPECT_EQ(test(row.mask, row.name), row.expected) << row.mask << " " << row.name;
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

// The same with accents. The reference splits names into characters (an acute accent, U+0301,
// belongs to the character before it), composes them by a table of its own and compares them
// one by one: a to z in either case, everything else only as it is.
struct Token {
    enum Kind { Star, Any, Set, Literal } kind;
    std::u32string character;  // Literal: the character; Set: its one member
    bool negate = false;
};

std::u32string referenceCompose(std::u32string c) {
    static const std::pair<char32_t, char32_t> table[] = {
        {U'e', U'é'}, {U'E', U'É'}, {U'a', U'á'}, {U'A', U'Á'}};
    if (c.size() >= 2 && c[1] == 0x301) {
        for (const auto& [base, composed] : table) {
            if (c[0] == base) {
                c.erase(0, 1);
                c[0] = composed;
                break;
            }
        }
    }
    return c;
}

std::vector<std::u32string> referenceCharacters(const std::u32string& text) {
    std::vector<std::u32string> out;
    for (char32_t c : text) {
        if (c == 0x301 && !out.empty())
            out.back() += c;
        else
            out.emplace_back(1, c);
    }
    for (std::u32string& c : out)
        c = referenceCompose(c);
    return out;
}

bool referenceSame(const std::u32string& a, const std::u32string& b) {
    auto fold = [](char32_t c) { return c >= U'a' && c <= U'z' ? c - 32 : c; };
    if (a.size() == 1 && b.size() == 1)
        return fold(a[0]) == fold(b[0]);
    return a == b;
}

bool referenceMatch(const std::vector<Token>& mask, std::size_t m,
                    const std::vector<std::u32string>& name, std::size_t n) {
    if (m == mask.size())
        return n == name.size();
    const Token& t = mask[m];
    if (t.kind == Token::Star) {
        std::size_t rest = m + 1;
        while (rest < mask.size() && mask[rest].kind == Token::Any)
            ++rest;
        for (std::size_t skip = n; skip <= name.size(); ++skip) {
            if (referenceMatch(mask, rest, name, skip))
                return true;
        }
        return false;
    }
    if (n == name.size())
        return false;
    const bool one = t.kind == Token::Any ||
                     (t.kind == Token::Set && referenceSame(t.character, name[n]) != t.negate) ||
                     (t.kind == Token::Literal && referenceSame(t.character, name[n]));
    return one && referenceMatch(mask, m + 1, name, n + 1);
}

TEST(MaskMatch, AgreesWithAReferenceOnAccentedLettersInEitherForm) {
    // Mask pieces: how each is written, and what it is.
    const std::pair<const char*, Token> pieces[] = {
        {"*", {Token::Star, U""}},
        {"?", {Token::Any, U""}},
        {"a", {Token::Literal, U"a"}},
        {"A", {Token::Literal, U"A"}},
        {".", {Token::Literal, U"."}},
        {"é", {Token::Literal, U"é"}},
        {"e\u0301", {Token::Literal, U"é"}},
        {"É", {Token::Literal, U"É"}},
        {"b\u0301", {Token::Literal, U"b\u0301"}},
        {"[é]", {Token::Set, U"é"}},
        {"[e\u0301]", {Token::Set, U"é"}},
        {"[!a]", {Token::Set, U"a", true}},
        {"[!e\u0301]", {Token::Set, U"é", true}},
    };
    const char* nameAlphabet[] = {"a", "b", "A", "e", "E", ".", "é", "É", "\u0301"};
    unsigned seed = 4242;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string mask;
        std::vector<Token> tokens;
        for (unsigned i = next(6); i > 0; --i) {
            const auto& piece = pieces[next(std::size(pieces))];
            mask += piece.first;
            tokens.push_back(piece.second);
        }
        std::string name;
        for (unsigned i = next(8); i > 0; --i)
            name += nameAlphabet[next(std::size(nameAlphabet))];
        const bool expected = referenceMatch(tokens, 0, referenceCharacters(toCodePoints(name)), 0);
        ASSERT_EQ(test(mask, name), expected ? "match" : "no match")
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
    EXPECT_EQ(test("e\u0301[]", "x"), "error 3");
    EXPECT_EQ(test("[a-z\u0301", "x"), "error 5");
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
    // Counted in characters, whatever form the letters are in.
    std::string accented;
    std::string name;
    for (int i = 0; i < 30; ++i) {
        accented += "*e\u0301";
        name += "é";
    }
    EXPECT_EQ(test(accented, name), "match");
    EXPECT_EQ(test(accented + "*", "x"), "error " + std::to_string(thirty.size() + 2));
    // "?" after "*" appends no state, so it cannot be the 31st.
    EXPECT_EQ(test(thirty + "?", std::string(31, 'x')), "match");
}

TEST(MaskCompile, ErrorTextQuotesTheMaskAsTested) {
    EXPECT_EQ(TMask::errorText(U"[a", 3), "'[a' is an invalid mask at (3)");
}

}  // namespace
}  // namespace zr
