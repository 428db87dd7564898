// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/escaped_text.h"

#include <array>

namespace zr {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendHexByte(std::string& out, unsigned value) {
    out += "\\x";
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The length of the valid UTF-8 sequence at `p` (at most `n` bytes), or 0 when the byte there is
// not the start of one: a stray byte. Overlong forms, UTF-16 surrogates and code points above
// U+10FFFF are not valid, as for decodeUtf8().
std::size_t sequenceLength(const unsigned char* p, std::size_t n) {
    const unsigned char b = p[0];
    std::size_t length = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF)
        c = b & 0x1F, length = 2, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        c = b & 0x0F, length = 3, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        c = b & 0x07, length = 4, min = 0x10000;
    if (length == 0 || length > n)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[k] & 0x3F);
    }
    return c < min || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ? 0 : length;
}

// The bytes that stand for themselves in any case: printable ASCII but the backslash and "*".
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (int b = 0x20; b < 0x7F; ++b)
        plain[b] = b != '\\' && b != '*';
    return plain;
}();

}  // namespace

void appendEscaped(std::string& out, std::string_view bytes, bool escapeStar) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t plain = 0;  // where the bytes not yet copied begin
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        if (kPlainBytes[b] || (b == '*' && !escapeStar)) {
            ++i;
            continue;
        }
        if (b >= 0x80) {
            // Valid UTF-8 stays as it is.
            if (const std::size_t length = sequenceLength(p + i, n - i)) {
                i += length;
                continue;
            }
        }
        out.append(bytes.data() + plain, i - plain);
        if (b == '\\')
            out += "\\\\";
        else if (b == '\t')
            out += "\\t";
        else if (b == '\n')
            out += "\\n";
        else if (b == '\r')
            out += "\\r";
        else if (b == '*')
            out += "\\*";
        else
            appendHexByte(out, b);  // another control byte, or a byte that is not UTF-8
        plain = ++i;
    }
    out.append(bytes.data() + plain, n - plain);
}

std::string escapeTsv(std::string_view bytes) {
    std::string out;
    appendEscaped(out, bytes);
    return out;
}

bool unescape(std::string_view text, std::string& out, std::string& error) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            error = "a raw control character";
            return false;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == text.size()) {
            error = "a backslash at the end";
            return false;
        }
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '*':
                out += '*';
                break;
            case 'x': {
                const int high = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
                if (high < 0 || low < 0 || (high == 0 && low == 0)) {
                    error = "a \\x escape without two hex digits of a byte other than 0";
                    return false;
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                error = std::string("an unknown escape \\") + text[i];
                return false;
        }
    }
    return true;
}

}  // namespace zr
