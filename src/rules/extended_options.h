// SPDX-License-Identifier: GPL-3.0-or-later
// The options beyond the window's 28: pattern replace, numbering, unique names, the exclude
// masks, "skip hidden" and the script format. They have no place among the window's components,
// so they are persisted under readable key names of their own ("pattern", "number-step"), and
// each is off, or at a default that changes nothing, unless a user sets it: a settings file or
// store written before they existed means exactly what it meant.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zr {

enum class ExtendedOption : std::uint8_t {
    PatternReplace,     // the pattern replace rule on
    Pattern,            // the regular expression
    Replacement,        // what a match is replaced by: $1, ${name}, $$ and fields
    PatternIgnoreCase,  // the pattern matches without regard to case
    PatternAll,         // every match is replaced, not only the first
    PatternRange,       // which part of the name the pattern sees (PatternRange)
    Fields,             // fields are expanded in the prefix and the suffix
    NumberStart,        // the first number
    NumberStep,         // what each number adds to the one before
    NumberOrder,        // the order in which entries are numbered (NumberOrder)
    NumberScope,        // numbers counted per folder or across the run (NumberScope)
    Unique,             // a taken new name becomes the first free "name (2).ext"
    ExcludeMasks,       // wildcard masks of names left out, ";" between them
    SkipHidden,         // names that start with a dot are left out
    ScriptFormat,       // what a batch run writes (ScriptFormat)
};

constexpr std::size_t kExtendedOptionCount = 15;

// The choices of the options of kind Choice; the first is the default, and the persisted value
// is the choice's name.
enum class PatternRange : std::int32_t { Name, All, Extension };
// `Walk` keeps the order the walk meets the entries in; the walk may add orders after these.
enum class NumberOrder : std::int32_t { Name, Modified, Walk, Taken };
enum class NumberScope : std::int32_t { Folder, Run };
// The window's .bat files, or POSIX shell scripts.
enum class ScriptFormat : std::int32_t { Bat, Sh };

enum class ExtendedKind : std::uint8_t { Switch, Text, Number, Choice };

struct ExtendedOptionInfo {
    ExtendedOption option;
    // The key in settings files and the value name in the store. None holds "ch", "ed" or "cb",
    // which a loader of the window's keys would take for a component position.
    const char* key;
    ExtendedKind kind;
    std::int32_t defaultValue;  // Switch 0 or 1, Number, or the index of a Choice
    std::int32_t min;           // Number: the range, both ends included
    std::int32_t max;
    bool zeroRefused;  // Number: 0 lies in the range but is no valid value
    std::span<const std::string_view> choices;
};

const ExtendedOptionInfo& extendedInfo(ExtendedOption option);
// All of them, in the order they are persisted.
std::span<const ExtendedOptionInfo> allExtended();
// The option a key names, its letters compared without regard to case, as the window's keys are.
std::optional<ExtendedOption> findExtendedByKey(std::string_view key);

// Whether `value` is a valid value of a Switch (0 or 1), Number or Choice (an index).
bool isValidExtendedValue(ExtendedOption option, std::int32_t value);
// What the valid values are, for an error message: "0 or 1", "a number from 0 to 999999999",
// "name, modified or walk".
std::string extendedValueRange(ExtendedOption option);
// The choice of that name, its letters compared without regard to case.
std::optional<std::int32_t> findExtendedChoice(ExtendedOption option, std::string_view name);

}  // namespace zr
