// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/text.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace zr {

namespace {

inline bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

const UNormalizer2* loadNormalizer(const UNormalizer2* (*instance)(UErrorCode*)) {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* normalizer = instance(&error);
    if (U_FAILURE(error) || normalizer == nullptr)
        throw std::runtime_error(std::string("Unicode normalization data missing: ") +
                                 u_errorName(error));
    return normalizer;
}

const UNormalizer2* composer() {
    static const UNormalizer2* const nfc = loadNormalizer(unorm2_getNFCInstance);
    return nfc;
}

const UNormalizer2* decomposer() {
    static const UNormalizer2* const nfd = loadNormalizer(unorm2_getNFDInstance);
    return nfd;
}

// Appends `text` normalised by `normalizer` to `out`. Only characters reach here, never a stray
// byte, so every code point is a real one.
void appendNormalized(const UNormalizer2* normalizer, std::u32string_view text,
                      std::u32string& out) {
    thread_local std::u16string source;
    thread_local std::u16string result;
    source.clear();
    for (char32_t c : text) {
        if (c < 0x10000) {
            source.push_back(static_cast<char16_t>(c));
        } else {
            source.push_back(static_cast<char16_t>(U16_LEAD(c)));
            source.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        }
    }
    result.resize(source.size() * 3 + 8);
    UErrorCode error = U_ZERO_ERROR;
    auto normalize = [&] {
        return unorm2_normalize(normalizer, source.data(), static_cast<int32_t>(source.size()),
                                result.data(), static_cast<int32_t>(result.size()), &error);
    };
    int32_t length = normalize();
    if (error == U_BUFFER_OVERFLOW_ERROR) {
        error = U_ZERO_ERROR;
        result.resize(static_cast<std::size_t>(length));
        length = normalize();
    }
    if (U_FAILURE(error))
        throw std::runtime_error(std::string("Unicode normalization failed: ") +
                                 u_errorName(error));
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U16_NEXT(result.data(), i, length, c);
        out.push_back(static_cast<char32_t>(c));
    }
}

// The marks of the basic block that have no decomposition of their own: after a plain ASCII
// character such a mark composes exactly when the pair has a composition.
inline bool isPlainDiacritic(char32_t c) {
    return c >= 0x300 && c <= 0x36F && c != 0x340 && c != 0x341 && c != 0x343 && c != 0x344;
}

// An ASCII character with a mark of the basic block: what most decomposed names are made of.
// The compositions of all such pairs, worked out once; 0 where a pair has none.
char32_t composeAsciiPair(char32_t base, char32_t mark) {
    static const std::vector<char32_t> table = [] {
        std::vector<char32_t> pairs(0x80 * 0x70);
        for (char32_t b = 0; b < 0x80; ++b) {
            for (char32_t m = 0x300; m < 0x370; ++m) {
                const UChar32 c = unorm2_composePair(composer(), static_cast<UChar32>(b),
                                                     static_cast<UChar32>(m));
                pairs[b * 0x70 + (m - 0x300)] = c >= 0 ? static_cast<char32_t>(c) : 0;
            }
        }
        return pairs;
    }();
    return table[base * 0x70 + (mark - 0x300)];
}

}  // namespace

bool decodeUtf8(std::string_view bytes, std::u32string& out) {
    // Never more code points than bytes: size the output once and write through a pointer.
    out.resize(bytes.size());
    char32_t* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    bool above300 = false;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
            continue;
        }
        char32_t c = 0;
        std::size_t len = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F, len = 2, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F, len = 3, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            c = b & 0x07, len = 4, min = 0x10000;
        }
        bool valid = len != 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) {
            if (!isContinuation(p[i + k]))
                valid = false;
            else
                c = (c << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points above U+10FFFF are not valid UTF-8.
        if (valid && (c < min || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF))
            valid = false;
        if (valid) {
            above300 |= c >= 0x300;
            *o++ = c;
            i += len;
        } else {
            *o++ = kEscapeBase + b;
            ++i;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return above300;
}

void encodeUtf8(std::u32string_view text, std::string& out) {
    out.resize(text.size() * 4);
    char* o = out.data();
    for (char32_t c : text) {
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
        } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            *o++ = static_cast<char>(c - kEscapeBase);
        } else if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::u32string toCodePoints(std::string_view bytes) {
    std::u32string out;
    decodeUtf8(bytes, out);
    return out;
}

std::string toBytes(std::u32string_view text) {
    std::string out;
    encodeUtf8(text, out);
    return out;
}

std::size_t codePointCount(std::string_view bytes) {
    bool ascii = true;
    for (char b : bytes) {
        if (static_cast<unsigned char>(b) >= 0x80) {
            ascii = false;
            break;
        }
    }
    return ascii ? bytes.size() : toCodePoints(bytes).size();
}

bool isCombiningMarkAbove300(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_M_MASK) != 0;
}

bool hasCombiningMark(std::u32string_view text) {
    // Most names lie wholly below U+0300, where no mark is: a pass without branches tells.
    bool above = false;
    for (char32_t c : text)
        above |= c >= 0x300;
    if (!above)
        return false;
    for (char32_t c : text) {
        if (isCombiningMark(c))
            return true;
    }
    return false;
}

void appendComposed(std::u32string_view character, std::u32string& out) {
    if (character.size() == 1) {
        out += character[0];
    } else if (character.size() == 2 && character[0] < 0x80 && isPlainDiacritic(character[1])) {
        // The usual case, "e" and U+0301, without a round trip through UTF-16.
        const char32_t composed = composeAsciiPair(character[0], character[1]);
        if (composed != 0)
            out += composed;
        else
            out += character;
    } else {
        appendNormalized(composer(), character, out);
    }
}

void appendDecomposed(std::u32string_view character, std::u32string& out) {
    // Nothing below U+00C0 decomposes; a stray byte is never touched.
    if (character.size() == 1 &&
        (character[0] < 0xC0 || (character[0] >= kEscapeBase && character[0] <= 0xDFFF)))
        out += character[0];
    else
        appendNormalized(decomposer(), character, out);
}

std::u32string composeCharacters(std::u32string_view text) {
    if (!hasCombiningMark(text))
        return std::u32string(text);
    std::u32string out;
    for (std::size_t i = 0, end = 0; i < text.size(); i = end) {
        end = characterEnd(text, i);
        appendComposed(text.substr(i, end - i), out);
    }
    return out;
}

char32_t toLowerCaseAbove7F(char32_t c) {
    const auto lower = static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
    return lower != c && c >= 0x300 && isCombiningMarkAbove300(c) ? c : lower;
}

char32_t toUpperCaseAbove7F(char32_t c) {
    // U+0345, the Greek iota below, would become a capital iota: a mark stays a mark.
    const auto upper = static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
    return upper != c && c >= 0x300 && isCombiningMarkAbove300(c) ? c : upper;
}

void lowerCaseCodePoints(std::u32string& text, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
        text[i] = toLowerCase(text[i]);
}

void lowerCaseRange(std::u32string& text, std::size_t begin, std::size_t end) {
    if (!hasCombiningMark(std::u32string_view(text).substr(begin, end - begin))) {
        lowerCaseCodePoints(text, begin, end);
        return;
    }
    std::u32string out(text, 0, begin);
    std::u32string composed;
    std::u32string lowered;
    for (std::size_t i = begin, next = 0; i < end; i = next) {
        next = std::min(characterEnd(text, i), end);
        if (next - i == 1) {
            out += toLowerCase(text[i]);
            continue;
        }
        composed.clear();
        appendComposed(std::u32string_view(text).substr(i, next - i), composed);
        lowered = composed;
        for (char32_t& c : lowered)
            c = toLowerCase(c);
        if (lowered == composed)
            out.append(text, i, next - i);
        else
            appendComposed(lowered, out);
    }
    out.append(text, end);
    text.swap(out);
}

bool isLetter(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return u_isalpha(static_cast<UChar32>(c)) != 0;
}

std::size_t extensionLength(std::u32string_view text) {
    for (std::size_t i = text.size(); i > 0; --i) {
        const char32_t c = text[i - 1];
        if (c == U'.')
            return text.size() - (i - 1);
        if (c == U'/')
            return 0;
    }
    return 0;
}

}  // namespace zr
