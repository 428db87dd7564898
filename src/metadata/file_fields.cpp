// SPDX-License-Identifier: GPL-3.0-or-later
#include "metadata/file_fields.h"

#include "metadata/field_text.h"

namespace zr {

namespace {

struct FieldInfo {
    std::string_view name;
    FileFieldKind kind;
};

constexpr std::array<FieldInfo, kFileFieldCount> kFields{{
    {"taken", FileFieldKind::date},
    {"camera", FileFieldKind::text},
    {"width", FileFieldKind::number},
    {"height", FileFieldKind::number},
    {"artist", FileFieldKind::text},
    {"album", FileFieldKind::text},
    {"title", FileFieldKind::text},
    {"track", FileFieldKind::number},
    {"disc", FileFieldKind::number},
    {"year", FileFieldKind::number},
    {"genre", FileFieldKind::text},
}};

}  // namespace

FileFieldKind fileFieldKind(FileField field) {
    return kFields[static_cast<std::size_t>(field)].kind;
}

std::string_view fileFieldName(FileField field) {
    return kFields[static_cast<std::size_t>(field)].name;
}

std::optional<FileField> fileFieldByName(std::string_view name) {
    for (std::size_t i = 0; i < kFileFieldCount; ++i) {
        if (kFields[i].name == name)
            return static_cast<FileField>(i);
    }
    return std::nullopt;
}

std::tm FieldDate::toTm() const {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    const std::int64_t days = daysFromCivil(year, month, day);
    // 1970-01-01 was a Thursday.
    tm.tm_wday = static_cast<int>(((days % 7) + 11) % 7);
    tm.tm_yday = static_cast<int>(days - daysFromCivil(year, 1, 1));
    // strftime() writes %z only for a tm_isdst that is not negative; the offset holds any
    // daylight saving already.
    tm.tm_isdst = hasZone() ? 0 : -1;
    tm.tm_gmtoff = utcOffsetMinutes.value_or(0) * 60L;
    return tm;
}

void FileFields::setText(FileField field, std::string value) {
    if (value.empty())
        clear(field);
    else
        m_values[index(field)] = std::move(value);
}

}  // namespace zr
