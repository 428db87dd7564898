#include "rules/text.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(systemErrorText(ENOSPC), "I/O error 28");
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
        EXPECT_EQ(toBytes(std::u32string(1, codePoint)), bytes) << std::hex << static_cast<unsigned>(codePoint);
        EXPECT_EQ(toCodePoints(bytes), std::u32string(1, codePoint)) << std::hex << static_cast<unsigned>(codePoint);
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
