#include "rules/text.h"

#include <unicode/uchar.h>

namespace zr {

namespace {

inline bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

}  // namespace

void decodeUtf8(std::string_view bytes, std::u32string& out) {
    // Never more code points than bytes: size the output once and write through a pointer.
    out.resize(bytes.size());
    char32_t* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
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
            *o++ = c;
            i += len;
        } else {
            *o++ = kEscapeBase + b;
            ++i;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
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

char32_t toLowerCase(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

char32_t toUpperCase(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
    return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

void lowerCaseRange(std::u32string& text, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
        text[i] = toLowerCase(text[i]);
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
