// SPDX-License-Identifier: GPL-3.0-or-later
// The list fields split into their entries at the start of every Scan and Go: filter masks,
// kill strings and convert-string pairs, plus whether the two conversion rules are usable.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/rename_settings.h"

namespace zr {

constexpr int MaxListEntries = 100;

struct ParsedLists {
    std::vector<std::string> FilterMasks;
    std::vector<std::string> KillStrings;
    // (from-string, to-string); as many pairs as the to-field has entries.
    std::vector<std::pair<std::string, std::string>> ConvertPairs;
    bool ConvertCountMismatch = false;
    bool ConvertCharsLengthMismatch = false;
};

// Splits one field at ";". In a run of several ";" the first one separates and the others are
// kept at the start of the next entry, so "a;;b" gives "a" and ";b". An empty text gives no
// entries; every other text gives at least one.
std::vector<std::string> SplitOptionList(std::string_view text);

// Appends the path delimiter to a start directory that does not end with one. An empty text
// stays empty: it names no directory (never the root, which is typed as "/").
std::string normaliseStartDirectory(std::string_view text);

// The warning that refuses a run when a list field that the run uses (by the state of its rule)
// holds more than MaxListEntries entries, naming the field; nothing when every such field fits.
std::optional<std::string> checkListLimits(const RenameSettings& settings);

// The error for an option value holding a NUL byte, which no name can hold, naming its key.
std::string nulValueError(std::string_view key);

// Everything that refuses a run before it starts: the list limits, a NUL byte in a text option
// (a system call would cut the name there), and a pattern or template that does not compile.
// Nothing when the options can run.
std::optional<std::string> checkRunOptions(const RenameSettings& settings);

// Fills `lists` from the fields, writes the normalised start directory back into Edit1 and sets
// the two mismatch flags. A field with more than MaxListEntries entries is left empty; when the
// run uses it, it refuses the run and the result is the warning to show.
std::optional<std::string> ParseOptionLists(RenameSettings& settings, ParsedLists& lists);

}  // namespace zr
