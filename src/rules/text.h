// SPDX-License-Identifier: GPL-3.0-or-later
// Names are the file system's bytes; the rules work on Unicode code points. A byte that is not
// part of valid UTF-8 decodes to a code point of its own (one of U+DC80 to U+DCFF) and
// encodes back to the same byte, so every name round-trips byte for byte.
//
// A character as people read it is a code point with the combining marks that follow it: "é"
// may be stored as one code point or as "e" and U+0301 (names from macOS usually are). Where the
// rules compare characters they compare their canonical compositions, so both forms are one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zr {

// The code point a stray byte 0x80..0xFF decodes to: U+DC80..U+DCFF, lone surrogates that valid
// UTF-8 never yields.
constexpr char32_t kEscapeBase = 0xDC00;

// Replaces `out` with the code points of `bytes`. Returns whether any of them is U+0300 or
// above, where combining marks begin: when not, the text holds none.
bool decodeUtf8(std::string_view bytes, std::u32string& out);
// Replaces `out` with the bytes of `text`.
void encodeUtf8(std::u32string_view text, std::string& out);

std::u32string toCodePoints(std::string_view bytes);
std::string toBytes(std::u32string_view text);

// Number of code points in `bytes`, by the same decoding.
std::size_t codePointCount(std::string_view bytes);

// Whether `c` is a combining mark (general category Mn, Mc or Me). None lies below U+0300, so
// most names are told apart without a lookup.
bool isCombiningMarkAbove300(char32_t c);
inline bool isCombiningMark(char32_t c) {
    return c >= 0x300 && isCombiningMarkAbove300(c);
}
bool hasCombiningMark(std::u32string_view text);

// Where the character that begins at `begin` ends: after the combining marks that follow its
// first code point. A stray byte stands alone: marks after it begin a character of their own,
// so it is never composed with anything.
inline std::size_t characterEnd(std::u32string_view text, std::size_t begin);

// Appends the canonical composition (NFC) of one character to `out`. A single code point is
// taken as it is.
void appendComposed(std::u32string_view character, std::u32string& out);
// Appends the canonical decomposition (NFD) of one character to `out`.
void appendDecomposed(std::u32string_view character, std::u32string& out);
// `text` with every character in its canonical composition. Characters are composed one by one,
// never with their neighbours, so conjoining Hangul letters stay as they are.
std::u32string composeCharacters(std::u32string_view text);

// Simple case mappings of the locale's data: one code point always maps to one, and a
// combining mark maps to itself.
inline char32_t toLowerCase(char32_t c);
inline char32_t toUpperCase(char32_t c);
// Lowercases [begin, end) of `text`, which must begin and end on character boundaries. A
// character with combining marks is lowercased in its composed form and, when that changes it,
// written composed, so both forms of a letter give the same result.
void lowerCaseRange(std::u32string& text, std::size_t begin, std::size_t end);
// The same for a text known to hold no combining mark: code point by code point.
void lowerCaseCodePoints(std::u32string& text, std::size_t begin, std::size_t end);
// Whether `c` is alphabetic; digits, blanks, punctuation and escaped bytes are not.
bool isLetter(char32_t c);

// Length of the extension of `text`: the part from its last "." to its end, dot included; 0
// when there is no "."; the whole text when its only "." is the first character. The search
// stops at a path delimiter.
std::size_t extensionLength(std::u32string_view text);

char32_t toLowerCaseAbove7F(char32_t c);
char32_t toUpperCaseAbove7F(char32_t c);

inline char32_t toLowerCase(char32_t c) {
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') ? c + (U'a' - U'A') : c;
    return toLowerCaseAbove7F(c);
}

inline char32_t toUpperCase(char32_t c) {
    if (c < 0x80)
        return (c >= U'a' && c <= U'z') ? c - (U'a' - U'A') : c;
    return toUpperCaseAbove7F(c);
}

inline std::size_t characterEnd(std::u32string_view text, std::size_t begin) {
    std::size_t end = begin + 1;
    if (text[begin] >= kEscapeBase + 0x80 && text[begin] <= kEscapeBase + 0xFF)
        return end;
    while (end < text.size() && isCombiningMark(text[end]))
        ++end;
    return end;
}

}  // namespace zr
