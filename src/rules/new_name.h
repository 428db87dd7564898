// SPDX-License-Identifier: GPL-3.0-or-later
// The new-name computation: for one directory entry, the filter test and then the rename rules
// in their fixed order; a changed name is handed on to the preview or queued for renaming.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/characters.h"
#include "rules/filters.h"
#include "rules/option_lists.h"
#include "rules/rename_settings.h"
#include "rules/rule_state.h"

namespace zr {

// Computes new names for one run. The parsed lists stay as they were at the start of the run;
// the other options are read as they stand at each entry, so a change made during the run (by
// loading settings or restoring defaults) applies from the next entry on.
//
// The rules see characters as people read them: a letter with combining marks is one character,
// found, converted and case-mapped as its composed form. A name without combining marks is
// worked on code point by code point; one with marks as a CharacterText, which keeps the bytes
// of every character no rule changed and writes changed ones composed.
class NewNameComputer {
public:
    NewNameComputer(const RenameSettings& settings, const ParsedLists& lists, RuleState& state);

    // Decides whether `name`, lying in `directory`, is renamed and to what. Throws AppError for
    // an invalid filter mask.
    void ComputeNewName(std::string_view directory, std::string_view name);

private:
    void refreshFields();
    bool isKillChar(char32_t c) const;
    char32_t convertChar(char32_t c) const;
    // Convert chars as the mapping below, from the two fields.
    void buildCharMap();
    void caseRange(std::u32string_view text, std::size_t& begin, std::size_t& end) const;
    void applyCase(int mode);

    // The rules on m_characters, for names with combining marks.
    void killStringsInCharacters();
    void killCharsInCharacters();
    void convertStringInCharacters(const std::u32string& from, const std::u32string& to);
    void applyCaseToCharacters(int mode);
    void convertCharsInCharacters();

    const RenameSettings& m_settings;
    const ParsedLists& m_lists;
    RuleState& m_state;
    FilterMatcher m_filters;

    // The list entries with their characters composed.
    std::vector<std::u32string> m_killStrings;
    struct ConvertPair {
        std::u32string from;
        std::u32string to;
        bool toHasMarks;
    };
    std::vector<ConvertPair> m_convertPairs;

    // Fields decoded at the settings revision m_revision.
    std::uint64_t m_revision = ~std::uint64_t{0};
    std::u32string m_killChars;
    bool m_killCharsHaveMarks = false;
    std::u32string m_prefix;
    std::u32string m_suffix;
    // Convert chars as a mapping: each code point of the first field (its letters composed) to
    // what the chain of replacements turns it into.
    std::array<char32_t, 128> m_asciiCharMap{};
    std::vector<std::pair<char32_t, char32_t>> m_charMap;  // the others, sorted
    std::array<bool, 128> m_asciiKill{};

    std::u32string m_name;
    std::u32string m_work;
    std::u32string m_scratch;
    std::string m_bytes;
    CharacterText m_characters;
};

}  // namespace zr
