// SPDX-License-Identifier: GPL-3.0-or-later
// Texts with fields: the replacement of pattern replace, and the prefix and the suffix when
// "fields" is on. A template is compiled once per run and expanded per entry.
//
// The grammar (an error names its position, in code points from 1):
//   {n}          the entry's number; {n:3} writes it with at least 3 digits, zeros in front
//                (007, 042, 1234: a wider number is written whole; a negative one gets its "-"
//                before the zeros)
//   {parent}     the name of the folder the entry lies in (empty at the root)
//   {ext}        the extension of the entry's name as it was, dot included (".jpg"; empty when
//                it has none)
//   {a|b:FMT}    field a, or when the entry has no value for it, field b; the format after ":"
//                applies to each. An entry with a value for none of them is not renamed, and
//                fails with the reason of the first ("no date taken").
//   {{ and }}    a literal "{" and "}"; a "{" or "}" alone is an error.
// and in a replacement only, where the groups of the pattern's match are at hand:
//   $0 .. $9     the whole match and groups 1 to 9 ("$12" is group 1 and a "2")
//   ${12} ${name} a group by number or by name
//   $$           a literal "$"; a "$" followed by anything else is an error.
// Any other character, the backslash included, stands for itself. A group that took no part in
// the match is empty. Field names are lower-case letters, digits and "_"; a name the program
// does not know is an error at compile time, never a surprise in the middle of a run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

enum class Field : std::uint8_t { Number, Parent, Extension };

// A field's format as the template gives it: the text after ":" (empty without one), and for
// the number its width (0 without one).
struct FieldFormat {
    std::u32string_view text;
    int width = 0;
};

// The values of one entry's fields.
class FieldValues {
public:
    virtual ~FieldValues() = default;
    // Appends the value of `field`, written as `format` asks, to `out`; false, with nothing
    // appended, when the entry has no value for it.
    virtual bool append(Field field, const FieldFormat& format, std::u32string& out) const = 0;
};

// Why a template does not compile: the 1-based position and a few words.
struct TemplateError {
    std::size_t position = 0;
    std::string reason;
};

// The groups of a compiled pattern, for a replacement's "$" references.
struct PatternGroups {
    int count = 0;  // groups besides the whole match
    // The number of the group of that name, or -1 when there is none.
    std::function<int(std::u32string_view name)> numberOf;
};

// The widest zero-padding a number field takes: an int64 has at most 19 digits.
constexpr int kMaxNumberWidth = 20;

class NameTemplate {
public:
    // Compiles `text`. With `groups` "$" introduces a group reference; without (prefix, suffix)
    // it is an ordinary character.
    std::optional<TemplateError> compile(std::u32string_view text, const PatternGroups* groups);

    bool usesNumber() const { return m_usesNumber; }
    // Whether the template holds nothing but text.
    bool literal() const { return m_literal; }

    // Appends the expansion to `out`; `groups[g]` is the text of group g (the whole match at
    // 0). The result is null, or the reason the entry fails when a field has no value.
    const char* expand(const FieldValues& values, std::span<const std::u32string_view> groups,
                       std::u32string& out) const;

private:
    enum class Kind : std::uint8_t { Text, Group, Field };
    struct Piece {
        Kind kind;
        std::uint32_t begin;  // Text: in m_text; Field: the chain in m_chain
        std::uint32_t end;
        std::uint32_t formatBegin = 0;  // in m_text
        std::uint32_t formatEnd = 0;
        int number = 0;  // Group: its number; Field: the width of a number
    };

    std::u32string m_text;
    std::vector<Piece> m_pieces;
    std::vector<Field> m_chain;
    bool m_usesNumber = false;
    bool m_literal = true;
};

// Writes `value` in decimal with at least `width` digits, zeros in front, to `out`.
void appendNumber(std::int64_t value, int width, std::u32string& out);

// The error message for a template held by the option called `what`:
// "Invalid replacement at position 7: unknown field 'x'".
std::string templateErrorText(std::string_view what, const TemplateError& error);

}  // namespace zr
