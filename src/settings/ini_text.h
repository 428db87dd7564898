// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing one section of an INI text (settings files) without disturbing the rest:
// a write changes only the lines of the keys it writes, so comments, other keys and other
// sections stay byte for byte.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

struct IniEntry {
    std::string key;
    std::string value;
};

// The keys of the first section named `section`, in file order, each once with the value of its
// first line. Section and key names compare without regard to case (ASCII). A value has the
// blanks around it removed and then one pair of surrounding double quotes. A line "name=value"
// is a key; a line starting with ";" is a comment.
std::vector<IniEntry> readIniSection(std::string_view content, std::string_view section);

// Whether `content` has a section named `section`, with keys or without.
bool hasIniSection(std::string_view content, std::string_view section);

// Writes `entries` into the first section named `section` of `content`. An entry replaces the
// first line of its key in that section; the entries the section lacks go, in their order,
// behind its last key (or its header). A missing section is appended to the end. New lines end
// like the first line of `content`, or with CR LF when it has no line end yet. A value with
// blanks at either end or a double quote is written between double quotes, so that every value
// reads back exactly. A value holding a line break cannot be stored: the result is then the
// reason, and `content` is unchanged.
std::optional<std::string> writeIniSection(std::string& content, std::string_view section,
                                           std::span<const IniEntry> entries);

// Section and key names compare without regard to ASCII case; this is the form they compare in.
std::string foldIniName(std::string_view name);

// The INI integer rule: a decimal integer, or a hexadecimal one when the text is longer than two
// characters and starts with "0x" or "0X"; any other text gives nothing.
std::optional<int> parseIniInteger(std::string_view text);
// The same with `defaultValue` for a text that is no integer.
inline int iniInteger(std::string_view text, int defaultValue) {
    return parseIniInteger(text).value_or(defaultValue);
}

}  // namespace zr
