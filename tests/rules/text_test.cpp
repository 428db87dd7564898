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

}  // namespace
}  // namespace zr
