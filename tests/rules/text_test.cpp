// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/text.h"

#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>

#include <cerrno>

#include "rules/app_error.h"
#include "rules/rename_settings.h"

namespace zr {
namespace {

TEST(Utf8, InvalidBytesRoundTripByteForByte) {
    const std::string samples[] = {
        std::string("plain.txt"),
        std::string("caf\xC3\xA9.jpg"),
        std::string("bad\xFF\xFEname"),
        std::string("\xC3"),              // truncated sequence
        std::string("\xE0\x80\xAF"),      // overlong "/"
        std::string("\xED\xB2\x80"),      // an encoded surrogate
        std::string("\xF4\x90\x80\x80"),  // above U+10FFFF
        std::string("x\xC3\xA9\xC3"),
        std::string("\xF0\x9F\x93\xB7.png"),  // four bytes
    };
    for (const std::string& s : samples)
        EXPECT_EQ(toBytes(toCodePoints(s)), s);
}

TEST(Utf8, OneCharacterPerCodePointOrStrayByte) {
    EXPECT_EQ(toCodePoints("é").size(), 1u);
    EXPECT_EQ(toCodePoints("\xFF\xFE").size(), 2u);
    EXPECT_EQ(codePointCount(kDefaultConvertFrom), 26u);
    // A stray byte must not pass for the character its escape might resemble.
    EXPECT_EQ(toCodePoints("\xE9")[0], kEscapeBase + 0xE9);
    EXPECT_NE(toCodePoints("\xE9")[0], U'é');
}

TEST(CaseMapping, OneToOneAndStrayBytesUntouched) {
    EXPECT_EQ(toUpperCase(U'ß'), U'ß');  // its full uppercase has two letters
    EXPECT_EQ(toUpperCase(U'ě'), U'Ě');
    EXPECT_EQ(toLowerCase(U'Ä'), U'ä');
    EXPECT_EQ(toLowerCase(kEscapeBase + 0xC4), kEscapeBase + 0xC4);
    EXPECT_FALSE(isLetter(kEscapeBase + 0xC4));
    EXPECT_TRUE(isLetter(U'ž'));
    EXPECT_FALSE(isLetter(U'2'));
    EXPECT_FALSE(isLetter(U'\''));
}

TEST(CombiningMarks, AreTheMarkCategoriesAndMapToThemselves) {
    EXPECT_TRUE(isCombiningMark(0x301));   // Mn
    EXPECT_TRUE(isCombiningMark(0x903));   // Mc
    EXPECT_TRUE(isCombiningMark(0x20DD));  // Me
    EXPECT_FALSE(isCombiningMark(U'é'));
    EXPECT_FALSE(isCombiningMark(0x1161));  // a conjoining Hangul vowel is a letter
    EXPECT_FALSE(isCombiningMark(kEscapeBase + 0xCC));
    EXPECT_FALSE(hasCombiningMark(U"Příliš žluťoučký"));
    EXPECT_TRUE(hasCombiningMark(U"Pr\u030Ci"));
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const bool mark = (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_M_MASK) != 0;
        ASSERT_EQ(isCombiningMark(c), mark) << std::hex << static_cast<std::uint32_t>(c);
        if (mark) {
            ASSERT_EQ(toUpperCase(c), c) << std::hex << static_cast<std::uint32_t>(c);
            ASSERT_EQ(toLowerCase(c), c) << std::hex << static_cast<std::uint32_t>(c);
        }
    }
}

// ICU's own normalizer on a whole text, for comparison.
std::u32string icuCompose(const std::u32string& text) {
    UErrorCode error = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(error);
    icu::UnicodeString source;
    for (char32_t c : text)
        source.append(static_cast<UChar32>(c));
    const icu::UnicodeString result = nfc->normalize(source, error);
    std::u32string out;
    for (int32_t i = 0; i < result.length(); i = result.moveIndex32(i, 1))
        out += static_cast<char32_t>(result.char32At(i));
    return out;
}

TEST(Composition, AgreesWithTheNormalizerCharacterByCharacter) {
    // Every ASCII character with every mark of the basic block (the quick path), and letters
    // with several marks.
    for (char32_t base = 0x20; base < 0x7F; ++base) {
        for (char32_t mark = 0x300; mark <= 0x36F; ++mark) {
            const std::u32string pair{base, mark};
            ASSERT_EQ(composeCharacters(pair), icuCompose(pair))
                << std::hex << static_cast<std::uint32_t>(base) << " "
                << static_cast<std::uint32_t>(mark);
        }
    }
    for (const std::u32string text : {U"e\u0323\u0302", U"c\u0323\u030C", U"é\u0323",
                                      U"\u0301\u0323", U"a\u0344", U"\u212B\u0301"})
        EXPECT_EQ(composeCharacters(text), icuCompose(text));
    EXPECT_EQ(composeCharacters(U"e\u0323\u0302"), U"\u1EC7");
    // Characters are composed one by one: conjoining Hangul letters stay apart.
    EXPECT_EQ(composeCharacters(U"\u1112\u1161\u11AB"), U"\u1112\u1161\u11AB");
    EXPECT_EQ(icuCompose(U"\u1112\u1161\u11AB"), U"한");
    // A stray byte takes no mark.
    const std::u32string stray{kEscapeBase + 0xE9, 0x301};
    EXPECT_EQ(characterEnd(stray, 0), 1u);
    EXPECT_EQ(composeCharacters(stray), stray);
    EXPECT_EQ(toBytes(composeCharacters(toCodePoints("\xC3\xA9\xCC"))), "\xC3\xA9\xCC");
}

TEST(CaseMapping, LowerCaseRangeMapsALetterWithMarksAsItsComposedForm) {
    auto lower = [](std::u32string text) {
        lowerCaseRange(text, 0, text.size());
        return text;
    };
    EXPECT_EQ(lower(U"E\u0301X"), U"éx");            // changed: written composed
    EXPECT_EQ(lower(U"e\u0301X"), U"e\u0301x");      // unchanged: kept
    EXPECT_EQ(lower(U"I\u0307"), lower(U"\u0130"));  // İ gives i in both forms
    EXPECT_EQ(lower(U"J\u030C"), U"\u01F0");         // ǰ has a composed form, J̌ has not
    std::u32string text = U"A\u0301.A\u0301";
    lowerCaseRange(text, 2, text.size());
    EXPECT_EQ(text, U"A\u0301.á");
}

TEST(Extension, FromTheLastDot) {
    EXPECT_EQ(extensionLength(U"photo.jpg"), 4u);
    EXPECT_EQ(extensionLength(U"archive.tar.gz"), 3u);
    EXPECT_EQ(extensionLength(U"readme"), 0u);
    EXPECT_EQ(extensionLength(U"name."), 1u);
    EXPECT_EQ(extensionLength(U".profile"), 8u);
    EXPECT_EQ(extensionLength(U"dir.d/file"), 0u);
    EXPECT_EQ(extensionLength(U"12:30.jpg"), 4u);  // ":" is an ordinary character in a name
}

TEST(ErrorBoxText, FullStopOnlyAfterCharactersAboveTheDot) {
    EXPECT_EQ(errorBoxText("File access denied"), "File access denied.");
    EXPECT_EQ(errorBoxText("'[' is an invalid mask at (2)"), "'[' is an invalid mask at (2)");
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("I/O error 28"), "I/O error 28.");  // "8" is above "."
    EXPECT_EQ(errorBoxText("stop!"), "stop!");
    EXPECT_EQ(errorBoxText(""), "");
}

TEST(SystemErrorText, MapsByMeaning) {
    EXPECT_EQ(systemErrorText(ENOENT), "File not found");
    EXPECT_EQ(systemErrorText(ENOTDIR), "Invalid filename");
    EXPECT_EQ(systemErrorText(ENAMETOOLONG), "Invalid filename");
    EXPECT_EQ(systemErrorText(EMFILE), "Too many open files");
    EXPECT_EQ(systemErrorText(EACCES), "File access denied");
    EXPECT_EQ(systemErrorText(EROFS), "File access denied");
    // Beyond the four the user knows from the original platform, the system's own words.
    EXPECT_EQ(systemErrorText(ENOSPC), "No space left on device");
    EXPECT_EQ(systemErrorText(EIO), "Input/output error");
}

TEST(Utf8, EachLengthClassEndsWhereItShould) {
    const std::pair<char32_t, std::string> edges[] = {
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [codePoint, bytes] : edges) {
        EXPECT_EQ(toBytes(std::u32string(1, codePoint)), bytes)
            << std::hex << static_cast<unsigned>(codePoint);
        EXPECT_EQ(toCodePoints(bytes), std::u32string(1, codePoint))
            << std::hex << static_cast<unsigned>(codePoint);
    }
    // One past the edge in the shorter form is an overlong form: stray bytes, one each.
    for (const std::string overlong : {"\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF"}) {
        std::u32string strays;
        for (const char byte : overlong)
            strays += kEscapeBase + static_cast<unsigned char>(byte);
        EXPECT_EQ(toCodePoints(overlong), strays);
    }
    EXPECT_EQ(toCodePoints("\xED\xA0\x80").size(), 3u);  // U+D800, a surrogate
}

}  // namespace
}  // namespace zr
