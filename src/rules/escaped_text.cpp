// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/escaped_text.h"

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

}  // namespace

void appendEscaped(std::string& out, std::string_view bytes, bool escapeStar) {
    // Most names are plain printable ASCII: they are written as they are.
    bool plain = true;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '\\' || (c == '*' && escapeStar)) {
            plain = false;
            break;
        }
    }
    if (plain) {
        out.append(bytes);
        return;
    }
    std::u32string codePoints;
    decodeUtf8(bytes, codePoints);
    std::string encoded;
    for (const char32_t c : codePoints) {
        if (isStrayByte(c)) {
            appendHexByte(out, static_cast<unsigned>(c - kEscapeBase));
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '*' && escapeStar) {
            out += "\\*";
        } else if (c < 0x20 || c == 0x7F) {
            appendHexByte(out, static_cast<unsigned>(c));
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            encodeUtf8(std::u32string_view(&c, 1), encoded);
            out += encoded;
        }
    }
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
