// SPDX-License-Identifier: GPL-3.0-or-later
// The fields a file's contents can give its new name (the date a photo was taken, the camera,
// the size of the picture, the tags of a piece of music), the set of them a run uses, and the
// values read from one file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zr {

enum class Field : std::uint8_t {
    taken,   // date: when the photo was taken, or the video recorded
    camera,  // text: the camera's model
    width,   // number: the picture's width in pixels, as stored (not turned by its orientation)
    height,  // number
    artist,  // text
    album,   // text
    title,   // text
    track,   // number: the track's number on its disc ("3" of "3/12")
    disc,    // number: the disc's number in its set
    year,    // number: the year of the recording's date
    genre,   // text
};
inline constexpr std::size_t kFieldCount = 11;

enum class FieldKind { date, text, number };

FieldKind fieldKind(Field field);
// The name used in braces: "taken", "camera", ...
std::string_view fieldName(Field field);
// The field of that name (exact, lowercase); none for any other text.
std::optional<Field> fieldByName(std::string_view name);

// Which fields a run's rules use; worked out once for the run.
class FieldSet {
public:
    constexpr FieldSet() = default;
    constexpr FieldSet(std::initializer_list<Field> fields) {
        for (Field f : fields)
            add(f);
    }
    constexpr void add(Field field) { m_bits |= bit(field); }
    constexpr bool contains(Field field) const { return (m_bits & bit(field)) != 0; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr bool intersects(FieldSet other) const { return (m_bits & other.m_bits) != 0; }
    constexpr FieldSet operator&(FieldSet other) const {
        FieldSet both;
        both.m_bits = m_bits & other.m_bits;
        return both;
    }
    constexpr bool operator==(const FieldSet&) const = default;

private:
    static constexpr std::uint16_t bit(Field field) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(field));
    }
    std::uint16_t m_bits = 0;
};

// The fields that come from a picture's metadata, from a movie's header, and from audio tags.
inline constexpr FieldSet kImageFields{Field::taken, Field::camera, Field::width, Field::height};
inline constexpr FieldSet kMovieFields{Field::taken};
inline constexpr FieldSet kAudioFields{Field::artist, Field::album, Field::title, Field::track,
                                       Field::disc,   Field::year,  Field::genre};

// A date and time of day as a name shows it: the clock time where the photo was taken (a
// camera's EXIF dates are local times), or for a movie, whose header holds UTC, the local time
// of this computer's time zone at that moment.
struct FieldDate {
    int year = 0;   // 1 to 9999
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    // The offset from UTC of the clock the time is given in, when the file told it (a movie's
    // time, or a photo with its EXIF offset time); none for a local time of unknown zone.
    std::optional<int> utcOffsetMinutes;

    bool hasZone() const { return utcOffsetMinutes.has_value(); }
    // The date as strftime() takes it, day of the week and of the year included. With a zone,
    // tm_gmtoff holds its offset (for %z) and tm_isdst is 0; without one, tm_isdst is -1 and %z
    // writes nothing. %Z always writes nothing: the zone's name is not known.
    std::tm toTm() const;
    bool operator==(const FieldDate&) const = default;
};

// What one file gave. A field the file lacks (or that was not asked for) has no value; a text
// is never empty.
class FieldValues {
public:
    bool has(Field field) const { return m_values[index(field)].index() != 0; }
    const FieldDate* date(Field field) const {
        return std::get_if<FieldDate>(&m_values[index(field)]);
    }
    const std::string* text(Field field) const {
        return std::get_if<std::string>(&m_values[index(field)]);
    }
    std::optional<std::uint32_t> number(Field field) const {
        const auto* n = std::get_if<std::uint32_t>(&m_values[index(field)]);
        return n ? std::optional<std::uint32_t>(*n) : std::nullopt;
    }

    void setDate(Field field, const FieldDate& value) { m_values[index(field)] = value; }
    // An empty text leaves the field without a value.
    void setText(Field field, std::string value);
    void setNumber(Field field, std::uint32_t value) { m_values[index(field)] = value; }
    void clear(Field field) { m_values[index(field)] = std::monostate{}; }

    // 0 when the file was opened and read (whatever it held), else the errno that kept it from
    // being read: ELOOP for a link, kErrorNotRegularFile for a folder, pipe or device, EACCES, ...
    int error = 0;

private:
    static std::size_t index(Field field) { return static_cast<std::size_t>(field); }
    std::array<std::variant<std::monostate, std::string, std::uint32_t, FieldDate>, kFieldCount>
        m_values;
};

}  // namespace zr
