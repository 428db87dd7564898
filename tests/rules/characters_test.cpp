// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/characters.h"

#include <gtest/gtest.h>

#include "rules/text.h"

namespace zr {
namespace {

std::string written(const CharacterText& text) {
    std::u32string out;
    text.write(out);
    return toBytes(out);
}

TEST(CharacterText, KeepsOriginalFormsAndFindsOnlyWholeCharacters) {
    CharacterText text;
    text.assign(toCodePoints("qe\u0301 q\u030C\xFF\u0301"));
    EXPECT_EQ(text.size(), 6u);  // q é " " q̌ \xFF and the mark after the stray byte
    EXPECT_EQ(written(text), "qe\u0301 q\u030C\xFF\u0301");
    EXPECT_EQ(text.characterAt(4), CharacterText::npos);  // inside q̌
    std::size_t last = 0;
    EXPECT_EQ(text.find(U"q", 1, last), CharacterText::npos);  // not the q of q̌
    EXPECT_EQ(text.find(U"\u0301", 0, last), 5u);              // only the mark standing alone
    EXPECT_EQ(last, 6u);
}

TEST(CharacterText, ReplacedCharactersAreComposedAndMarksJoinTheCharacterBefore) {
    CharacterText text;
    text.assign(U"e\u0301xa");
    EXPECT_EQ(text.replace(1, 2, U"o\u0308"), 2u);
    EXPECT_EQ(written(text), "e\u0301öa");  // untouched é keeps its form
    EXPECT_EQ(text.replace(0, 1, U"ab"), 2u);
    EXPECT_EQ(written(text), "aböa");
    EXPECT_EQ(text.characterAt(2), 2u);

    // Bare marks put in after a letter join it, composed and with the marks in order.
    text.assign(U"e\u0301x");
    EXPECT_EQ(text.replace(1, 2, U"\u0323"), 1u);
    EXPECT_EQ(text.size(), 1u);
    EXPECT_EQ(written(text), "\u1EB9\u0301");
    // Marks left behind a removed stray byte join the letter before it, in their original form.
    text.assign(toCodePoints("e\xFF\xCC\x81."));
    EXPECT_EQ(text.replace(1, 2, {}), 1u);
    EXPECT_EQ(text.size(), 2u);
    EXPECT_EQ(written(text), "e\u0301.");
    // A letter put in place of a stray byte takes the marks after it.
    text.assign(toCodePoints("\xFF\xCC\x81"));
    EXPECT_EQ(text.replace(0, 1, U"a"), 1u);
    EXPECT_EQ(written(text), "á");
}

}  // namespace
}  // namespace zr
