// SPDX-License-Identifier: GPL-3.0-or-later
// Names written where text is expected and read back: the file system's bytes, which need not
// be UTF-8, as valid UTF-8 without tabs or line breaks, from which the exact bytes return. Used by
// the command line's cells and the journal files.
#pragma once

#include <string>
#include <string_view>

#include "rules/text.h"

namespace zr {

// Whether a decoded code point stands for a byte that is not part of valid UTF-8.
inline bool isStrayByte(char32_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// Appends `bytes` with "\\" for a backslash, "\t", "\n" and "\r", and "\xHH" for every other
// control byte and for every byte that is not part of valid UTF-8; with `escapeStar`, "\*" for
// "*" as well. The result is valid UTF-8 without tabs or line breaks.
void appendEscaped(std::string& out, std::string_view bytes, bool escapeStar = false);
std::string escapeTsv(std::string_view bytes);

// Reverses appendEscaped (with "\*" accepted). False, with `error` set, for an unknown escape,
// a lone backslash at the end, "\x00", or a raw control character.
bool unescape(std::string_view text, std::string& out, std::string& error);

}  // namespace zr
