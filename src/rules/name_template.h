// SPDX-License-Identifier: GPL-3.0-or-later
// Texts with fields: the replacement of pattern replace, and the prefix and the suffix when
// "fields" is on. A template is compiled once per run and expanded per entry.
//
// The grammar (an error names its position, in code points from 1):
//   {field}      the value of a field (the list below)
//   {field:FMT}  the value written as FMT asks: a width for a number, a date format for a date
//                (below); a text takes no format
//   {a|b:FMT}    field a, or when the entry has no value for it, field b; the format after ":"
//                applies to each, so it must suit every field of the chain (a number and a date
//                never share one). An entry with a value for none of them is not renamed,
//                and fails with the reason of the first ("no date taken").
//   {{ and }}    a literal "{" and "}"; a "{" or "}" alone is an error.
// and in a replacement only, where the groups of the pattern's match are at hand:
//   $0 .. $9     the whole match and groups 1 to 9 ("$12" is group 1 and a "2")
//   ${12} ${name} a group by number or by name
//   $$           a literal "$"; a "$" followed by anything else is an error.
// Any other character, the backslash included, stands for itself. A group that took no part in
// the match is empty. Field names are lower-case letters, digits and "_"; a name the program
// does not know is an error at compile time, never a surprise in the middle of a run.
//
// The fields, each with an example and the reason an entry without a value fails with:
//   of the entry, always at hand:
//   {n}          the entry's number: {n:3} gives 007, 042, 1234 (a wider number is written
//                whole; a negative one gets its "-" before the zeros)
//   {parent}     the name of the folder the entry lies in: "Holiday" (empty at the root)
//   {ext}        the extension of the entry's name as it was, dot included: ".jpg" (empty when
//                it has none)
//   {modified}   the entry's last modification (to the second), in this computer's time zone:
//                {modified:%Y%m%d} gives 20240615. "no modified time" when the entry could not
//                be looked at (it went away after its folder was listed, or the folder lets its
//                names be read but not their details) or its time is outside the years 1 to 9999.
//   from a photo (the picture's metadata) or a movie (its header):
//   {taken}      when the photo was taken (EXIF DateTimeOriginal, else CreateDate: the camera's
//                clock, as it showed) or the movie recorded (its creation time, in this
//                computer's time zone): {taken:%Y-%m-%d %H.%M.%S} gives "2024-06-15 10.20.30".
//                "no date taken".
//   {camera}     the camera's model: "Canon EOS 80D". "no camera".
//   {width}      the picture's width in pixels as stored (not turned by its orientation): 4000.
//                "no width".
//   {height}     its height: 3000. "no height".
//   from a piece of music (its tags):
//   {artist}     "Nina Simone". "no artist".
//   {album}      "Pastel Blues". "no album".
//   {title}      "Sinnerman". "no title".
//   {track}      the track's number on its disc: {track:2} gives 03 ("3" of a tag "3/12").
//                "no track".
//   {disc}       the disc's number in its set: 1. "no disc".
//   {year}       the year of the recording: 1965. "no year".
//   {genre}      "Jazz". "no genre".
// A text from a file is written as the file holds it, made fit for a name: a "/" becomes "-",
// control and invisible characters are dropped, blanks and dots are trimmed at both ends; the
// rules after pattern replace (kill, convert, case) then apply to it as to any name.
//
// Formats:
//   numbers (n, width, height, track, disc, year): a width from 1 to 20, zeros in front.
//   dates (taken, modified): a text of conversions and characters; without a format,
//     "%Y-%m-%d %H.%M.%S" ("2024-06-15 10.20.30": it sorts as the dates do, and its dots keep
//     it a valid name on file systems that refuse ":"). The conversions:
//       %Y the year (2024)        %y its last two digits (24)
//       %m the month (06)         %d the day of the month (15)      %j the day of the year (167)
//       %H the hour (00-23)       %I the hour (01-12)               %p AM or PM
//       %M the minute             %S the second
//       %a Sat  %A Saturday  %b Jun  %B June      %u the day of the week (1-7, Monday 1)
//       %z the UTC offset (+0200); nothing when the file did not tell the zone (a photo's
//          clock of unknown zone)
//       %F the date as %Y-%m-%d   %% a "%"
//     Any other character stands for itself ("-", " ", "." and also ":", which Linux takes
//     but FAT and Windows shares refuse). The names of days and months are English, whatever
//     the user's locale: the same rules give the same names on every computer, and a folder
//     renamed on one sorts the same on another. Refused at their position: any other
//     conversion (%T, %-d, ...), a format without a conversion ({taken:3}), and what would
//     put into a name what no name can hold: a "/" (or %D and %x, which write one) and a
//     control character (or %n and %t).
//   texts (camera, artist, ..., parent, ext): none.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

enum class Field : std::uint8_t {
    Number,
    Parent,
    Extension,
    Modified,
    // What a file holds.
    Taken,
    Camera,
    Width,
    Height,
    Artist,
    Album,
    Title,
    Track,
    Disc,
    Year,
    Genre,
};
inline constexpr std::size_t kFieldCount = 15;

// The fields a template, or a run's templates, use: the walk looks at the disk only for them.
class FieldSet {
public:
    constexpr void add(Field field) { m_bits |= bit(field); }
    constexpr bool contains(Field field) const { return (m_bits & bit(field)) != 0; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr FieldSet& operator|=(FieldSet other) {
        m_bits |= other.m_bits;
        return *this;
    }
    constexpr bool operator==(const FieldSet&) const = default;

private:
    static constexpr std::uint32_t bit(Field field) { return 1u << static_cast<unsigned>(field); }
    std::uint32_t m_bits = 0;
};

// A field's format as the template gives it: the text after ":" (empty without one; a date field
// is given the default date format instead), and for a number its width (0 without one).
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
    // Every field the template names, fallbacks included.
    FieldSet fields() const { return m_fields; }
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
    FieldSet m_fields;
    bool m_usesNumber = false;
    bool m_literal = true;
};

// Writes `value` in decimal with at least `width` digits, zeros in front, to `out`.
void appendNumber(std::int64_t value, int width, std::u32string& out);

// What a date field without a format writes.
inline constexpr std::u32string_view kDefaultDateFormat = U"%Y-%m-%d %H.%M.%S";

// Writes `date` as `format` (a date format the template compiled) asks, to `out`. A negative
// tm_isdst says that the zone is unknown, and %z then writes nothing; otherwise %z writes
// tm_gmtoff. Only the date and time and tm_wday, tm_yday are read.
void appendDate(const std::tm& date, std::u32string_view format, std::u32string& out);

// The error message for a template held by the option called `what`:
// "Invalid replacement at position 7: unknown field 'x'".
std::string templateErrorText(std::string_view what, const TemplateError& error);

}  // namespace zr
