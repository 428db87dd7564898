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

enum class FileField : std::uint8_t {
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
inline constexpr std::size_t kFileFieldCount = 11;

enum class FileFieldKind { date, text, number };

FileFieldKind fileFieldKind(FileField field);
// The name used in braces: "taken", "camera", ...
std::string_view fileFieldName(FileField field);
// The field of that name (exact, lowercase); none for any other text.
std::optional<FileField> fileFieldByName(std::string_view name);

// Which fields a run's rules use; worked out once for the run.
class FileFieldSet {
public:
    constexpr FileFieldSet() = default;
    constexpr FileFieldSet(std::initializer_list<FileField> fields) {
        for (FileField f : fields)
            add(f);
    }
    constexpr void add(FileField field) { m_bits |= bit(field); }
    constexpr bool contains(FileField field) const { return (m_bits & bit(field)) != 0; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr bool intersects(FileFieldSet other) const { return (m_bits & other.m_bits) != 0; }
    constexpr FileFieldSet operator&(FileFieldSet other) const {
        FileFieldSet both;
        both.m_bits = m_bits & other.m_bits;
        return both;
    }
    constexpr bool operator==(const FileFieldSet&) const = default;

private:
    static constexpr std::uint16_t bit(FileField field) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(field));
    }
    std::uint16_t m_bits = 0;
};

// The fields that come from a picture's metadata, from a movie's header, and from audio tags.
inline constexpr FileFieldSet kImageFields{FileField::taken, FileField::camera, FileField::width,
                                           FileField::height};
inline constexpr FileFieldSet kMovieFields{FileField::taken};
inline constexpr FileFieldSet kAudioFields{FileField::artist, FileField::album, FileField::title,
                                           FileField::track,  FileField::disc,  FileField::year,
                                           FileField::genre};

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
class FileFields {
public:
    bool has(FileField field) const { return m_values[index(field)].index() != 0; }
    const FieldDate* date(FileField field) const {
        return std::get_if<FieldDate>(&m_values[index(field)]);
    }
    const std::string* text(FileField field) const {
        return std::get_if<std::string>(&m_values[index(field)]);
    }
    std::optional<std::uint32_t> number(FileField field) const {
        const auto* n = std::get_if<std::uint32_t>(&m_values[index(field)]);
        return n ? std::optional<std::uint32_t>(*n) : std::nullopt;
    }

    void setDate(FileField field, const FieldDate& value) { m_values[index(field)] = value; }
    // An empty text leaves the field without a value.
    void setText(FileField field, std::string value);
    void setNumber(FileField field, std::uint32_t value) { m_values[index(field)] = value; }
    void clear(FileField field) { m_values[index(field)] = std::monostate{}; }

    // 0 when the file was opened and read (whatever it held), else the errno that kept it from
    // being read: ELOOP for a link, kErrorNotRegularFile for a folder, pipe or device, EACCES, ...
    int error = 0;

private:
    static std::size_t index(FileField field) { return static_cast<std::size_t>(field); }
    std::array<std::variant<std::monostate, std::string, std::uint32_t, FieldDate>, kFileFieldCount>
        m_values;
};

}  // namespace zr
