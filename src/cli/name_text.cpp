// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/name_text.h"

#include <unicode/uchar.h>

#include "rules/escaped_text.h"
#include "rules/text.h"

namespace zr {

namespace {

constexpr char kHex[] = "0123456789abcdef";

std::size_t codePointWidth(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return 0;
    const auto type = u_charType(static_cast<UChar32>(c));
    if (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_FORMAT_CHAR)
        return 0;
    const auto width = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
    return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

}  // namespace

void appendJson(std::string& out, std::string_view bytes) {
    std::u32string codePoints;
    decodeUtf8(bytes, codePoints);
    std::string encoded;
    for (const char32_t c : codePoints) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F || isStrayByte(c)) {
            const unsigned v = static_cast<unsigned>(c);
            out += "\\u";
            out += kHex[(v >> 12) & 0xF];
            out += kHex[(v >> 8) & 0xF];
            out += kHex[(v >> 4) & 0xF];
            out += kHex[v & 0xF];
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            encodeUtf8(std::u32string_view(&c, 1), encoded);
            out += encoded;
        }
    }
}

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (const char32_t c : toCodePoints(text))
        width += isStrayByte(c) ? 1 : codePointWidth(c);
    return width;
}

std::string fitFromEnd(std::string_view text, std::size_t columns) {
    if (displayWidth(text) <= columns)
        return std::string(text);
    const std::u32string codePoints = toCodePoints(text);
    const std::size_t room = columns > 3 ? columns - 3 : 0;
    std::size_t width = 0;
    std::size_t begin = codePoints.size();
    while (begin > 0) {
        const char32_t c = codePoints[begin - 1];
        const std::size_t w = isStrayByte(c) ? 1 : codePointWidth(c);
        if (width + w > room)
            break;
        width += w;
        --begin;
    }
    return "..." + toBytes(std::u32string_view(codePoints).substr(begin));
}

}  // namespace zr
