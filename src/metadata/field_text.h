// SPDX-License-Identifier: GPL-3.0-or-later
// Turning what a file's metadata holds into parts of a name: tag texts made safe for a name,
// dates and numbers parsed from the texts the formats store them as.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "metadata/file_fields.h"

namespace zr {

// The longest text a field gives, in bytes: a name cannot be longer on most file systems.
inline constexpr std::size_t kMaxFieldTextBytes = 255;

// A tag's value as text for a name, always valid UTF-8 and never longer than
// kMaxFieldTextBytes (cut between characters):
// - a byte that is not part of valid UTF-8 is read as Windows-1252 (of which ISO 8859-1 is a
//   part), the code page of most tags that are not Unicode;
// - "/", which a name cannot hold, becomes "-" ("AC/DC" gives "AC-DC");
// - control characters (C0 with NUL, DEL, C1) are dropped, and so are the invisible ones that
//   could make a name show other than it is: byte order marks, the bidirectional embeddings,
//   overrides, isolates and marks, and the line and paragraph separators;
// - blanks (spaces of any width) and dots are trimmed at both ends, so a value never makes a
//   hidden file or a name ending in a dot.
// What is left may be empty: the field then has no value.
std::string nameText(std::string_view raw);

// The date of a text as the formats store it: EXIF's "2021:06:15 10:20:30" (the separators of
// the date may be "-" as well), or XMP's ISO 8601 "2021-06-15T10:20:30", with seconds, minutes
// or the whole time left out, fractions of a second ignored, and a zone ("Z", "+02:00", "+0200")
// taken as the date's UTC offset. None for anything else, and for a date that does not exist
// (month 13, February 30th, year 0: "0000:00:00 00:00:00" is how cameras say "unknown").
std::optional<FieldDate> parseDate(std::string_view text);
// An UTC offset as EXIF's offset times hold it: "+02:00", "-05:30"; none for anything else.
std::optional<int> parseUtcOffset(std::string_view text);
// The local date and time, in this computer's time zone, of a moment given as seconds since
// 1970-01-01 UTC; none when the system cannot tell it or the year is outside 1 to 9999.
std::optional<FieldDate> localDate(std::int64_t unixSeconds);

// The number at the start of a text, after blanks: 3 for "3/12" and for "03"; none when the text
// does not start with a digit or the number is larger than 4294967295.
std::optional<std::uint32_t> leadingNumber(std::string_view text);

// Days since 1970-01-01 of a date of the Gregorian calendar (also before 1582).
std::int64_t daysFromCivil(int year, int month, int day);

}  // namespace zr
