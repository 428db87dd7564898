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

TEST(CharacterText, SplitsComposesAndWritesBackTheOriginalForms) {
    CharacterText text;
    text.assign(toCodePoints("e\u0301te\u0301 q\u030C\xFF\u0301"));
    EXPECT_EQ(text.size(), 7u);  // é t é " " q̌ \xFF and the mark after the stray byte
    EXPECT_EQ(toBytes(text.composed()), "été q\u030C\xFF\u0301");
    EXPECT_EQ(written(text), "e\u0301te\u0301 q\u030C\xFF\u0301");
    EXPECT_EQ(text.characterAt(1), 1u);
    EXPECT_EQ(text.characterAt(5), CharacterText::npos);  // inside q̌
    EXPECT_EQ(text.characterAt(text.composed().size()), text.size());
}

TEST(CharacterText, FindsOnlyWholeCharacters) {
    CharacterText text;
    text.assign(U"qe\u0301 q\u030Cq e");
    std::size_t last = 0;
    EXPECT_EQ(text.find(U"e", 0, last), 6u);  // not the e of é
    EXPECT_EQ(last, 7u);
    EXPECT_EQ(text.find(U"q", 0, last), 0u);
    EXPECT_EQ(text.find(U"q", 1, last), 4u);  // not the q of q̌
    EXPECT_EQ(text.find(U"q\u030C", 0, last), 3u);
    EXPECT_EQ(text.find(U"é ", 0, last), 1u);
    EXPECT_EQ(last, 3u);
    EXPECT_EQ(text.find(U"", 0, last), CharacterText::npos);
}

TEST(CharacterText, KeptCharactersKeepTheirFormsAndAddedOnesAreComposed) {
    CharacterText source;
    source.assign(U"e\u0301xa");
    CharacterText built;
    built.keep(source, 0);
    built.add(U"o\u0308");
    built.keep(source, 2);
    EXPECT_EQ(written(built), "e\u0301öa");
    // Bare marks join the character before them: in their original form when both pieces
    // were kept and lay side by side, composed otherwise.
    CharacterText joined;
    joined.keep(source, 0);
    joined.add(U"\u0323");
    EXPECT_EQ(written(joined), "\u1EB9\u0301");  // ẹ́: composed, with the marks in order
    CharacterText split;
    split.assign(toCodePoints("e\xFF\xCC\x81"));
    CharacterText rejoined;
    rejoined.keep(split, 0);
    rejoined.keep(split, 2);
    EXPECT_EQ(rejoined.size(), 1u);
    EXPECT_EQ(written(rejoined), "e\u0301");
}

}  // namespace
}  // namespace zr
