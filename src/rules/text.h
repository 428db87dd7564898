// Names are the file system's bytes; the rules work on Unicode code points. A byte that is not
// part of valid UTF-8 decodes to a code point of its own (one of U+DC80 to U+DCFF) and
// encodes back to the same byte, so every name round-trips byte for byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zr {

// The code point a stray byte 0x80..0xFF decodes to: U+DC80..U+DCFF, lone surrogates that valid
// UTF-8 never yields.
constexpr char32_t kEscapeBase = 0xDC00;

// Replaces `out` with the code points of `bytes`.
void decodeUtf8(std::string_view bytes, std::u32string& out);
// Replaces `out` with the bytes of `text`.
void encodeUtf8(std::u32string_view text, std::string& out);

std::u32string toCodePoints(std::string_view bytes);
std::string toBytes(std::u32string_view text);

// Number of code points in `bytes`, by the same decoding.
std::size_t codePointCount(std::string_view bytes);

// Simple case mappings of the locale's data: one code point always maps to one.
char32_t toLowerCase(char32_t c);
char32_t toUpperCase(char32_t c);
void lowerCaseRange(std::u32string& text, std::size_t begin, std::size_t end);
// Whether `c` is alphabetic; digits, blanks, punctuation and escaped bytes are not.
bool isLetter(char32_t c);

// Length of the extension of `text`: the part from its last "." to its end, dot included; 0
// when there is no "."; the whole text when its only "." is the first character. The search
// stops at a path delimiter.
std::size_t extensionLength(std::u32string_view text);

}  // namespace zr
