// SPDX-License-Identifier: GPL-3.0-or-later
// The new-name computation: for one directory entry, the filter test and then the rename rules
// in their fixed order; a changed name is handed on to the preview or queued for renaming.
//
// Pattern replace, when it is on, runs first, and the other rules work on its result. Its
// replacement, and the prefix and the suffix when "fields" is on, may hold fields
// (name_template.h), so an entry can fail: a field without a value, or a pattern that ran away.
// A failed entry is handed on nowhere; the result says why, for the walk to show.
//
// Numbering: an entry takes a number when its new name holds one, that is when a `{n}` field
// was expanded for it, whether or not its name then changes (so the same rules run again over a
// folder they numbered give every entry its number back, where counting only changed names
// would shift the numbers and clash). An entry that the filters leave out, that the pattern does
// not match, or that fails takes none, so the numbers have no gaps. The k-th number taken
// (from 0) is start + k * step. The walk says which number an entry gets (EntryContext) and
// counts the numbers taken, per folder or across the run, in the order it chooses; without
// one, the computer counts itself, across the run in the order of the calls.
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
#include "rules/pattern_rule.h"
#include "rules/rename_settings.h"
#include "rules/rule_state.h"

namespace zr {

// What the walk knows of an entry besides its name and folder.
struct EntryContext {
    // What a `{n}` field writes for the entry.
    std::int64_t number = 1;
    // The values of the fields the walk reads from the disk for the entry: its modification
    // time and what the file holds (the fields other than {n}, {parent} and {ext}). Without
    // them, such a field has no value.
    const FieldValues* disk = nullptr;
};

enum class NameOutcome : std::uint8_t {
    Skipped,    // the filters leave the entry out
    Unchanged,  // the rules give it the name it has
    Renamed,    // handed on: to NewNameResult during a Scan, to the journal during Go
    Failed,     // no new name: failureReason says why; nothing is handed on
};

struct NameResult {
    NameOutcome outcome = NameOutcome::Skipped;
    // The entry took its number; the next one numbered takes the next.
    bool numberUsed = false;
    // With Failed, a few words for a preview cell and the failure log ("no date taken").
    const char* failureReason = nullptr;
};

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

    // Decides whether `name`, lying in `directory`, is renamed and to what, numbering the
    // entries itself; `disk`: the entry's fields from the disk, read when a rule first asks for
    // one. Throws AppError for an invalid filter mask, and for a pattern or template that does
    // not compile (which checkRuleTexts() refuses before a run).
    NameResult ComputeNewName(std::string_view directory, std::string_view name,
                              const FieldValues* disk = nullptr);
    // The same with the number the walk gives the entry.
    NameResult ComputeNewName(std::string_view directory, std::string_view name,
                              const EntryContext& entry);

    // Whether the filters let the entry `name` through (outside the directory pass), as
    // ComputeNewName() tests it.
    bool passesFilters(std::string_view name);
    // The same without handing the name on, for a walk that settles a folder's names together
    // (numbers in an order of its own, names made unique) before it hands them on in its order:
    // with Renamed, plannedName() holds the new name until the next call.
    NameResult PlanNewName(std::string_view directory, std::string_view name,
                           const EntryContext& entry);
    const std::string& plannedName() const { return m_bytes; }
    // Hands on the rename of `name` in `directory` to `newName`, as ComputeNewName does.
    void HandOver(std::string_view directory, std::string_view name, std::string_view newName);

private:
    // The fields of the entry being computed.
    class EntryFields : public FieldValues {
    public:
        bool append(Field field, const FieldFormat& format, std::u32string& out) const override;

        std::int64_t number = 0;
        std::string_view directory;
        std::u32string_view name;
        const FieldValues* disk = nullptr;
        mutable bool numberWritten = false;
    };

    NameResult compute(std::string_view directory, std::string_view name, std::int64_t number,
                       const FieldValues* disk, bool handOn = true);
    void refreshFields();
    void refreshTemplates();
    // Pattern replace on m_work or m_characters; false, with `reason`, when the entry fails.
    bool applyPattern(bool& characters, const char*& reason);
    void replaceInCharacters(std::size_t offset);
    // The prefix or suffix for the entry: `plain`, or with fields on the template expanded.
    // Null when a field has no value, with `failure` saying why.
    const std::u32string* affix(const NameTemplate& expanded,
                                const std::optional<std::string>& error,
                                const std::u32string& plain, const char*& failure);
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

    // Pattern replace and the templates, compiled when their texts change.
    bool m_patternOn = false;
    bool m_fieldsOn = false;
    bool m_patternCompiled = false;
    std::string m_compiledPattern;
    std::string m_compiledReplacement;
    bool m_compiledIgnoreCase = false;
    PatternRule m_pattern;
    std::optional<std::string> m_patternError;
    NameTemplate m_prefixTemplate;
    NameTemplate m_suffixTemplate;
    std::optional<std::string> m_prefixError;
    std::optional<std::string> m_suffixError;
    std::int64_t m_numbersTaken = 0;
    EntryFields m_fields;
    std::vector<PatternReplacement> m_replacements;
    std::u32string m_pool;
    std::u32string m_affix;
    std::u32string m_pieceText;

    std::u32string m_name;
    std::u32string m_filterName;
    std::u32string m_work;
    std::u32string m_scratch;
    std::string m_bytes;
    CharacterText m_characters;
};

}  // namespace zr
