// SPDX-License-Identifier: GPL-3.0-or-later
#include "metadata/fields.h"

#include "metadata/field_text.h"

namespace zr {

namespace {

struct FieldInfo {
    std::string_view name;
    FieldKind kind;
};

constexpr std::array<FieldInfo, kFieldCount> kFields{{
    {"taken", FieldKind::date},
    {"camera", FieldKind::text},
    {"width", FieldKind::number},
    {"height", FieldKind::number},
    {"artist", FieldKind::text},
    {"album", FieldKind::text},
    {"title", FieldKind::text},
    {"track", FieldKind::number},
    {"disc", FieldKind::number},
    {"year", FieldKind::number},
    {"genre", FieldKind::text},
}};

}  // namespace

FieldKind fieldKind(Field field) {
    return kFields[static_cast<std::size_t>(field)].kind;
}

std::string_view fieldName(Field field) {
    return kFields[static_cast<std::size_t>(field)].name;
}

std::optional<Field> fieldByName(std::string_view name) {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (kFields[i].name == name)
            return static_cast<Field>(i);
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

void FieldValues::setText(Field field, std::string value) {
    if (value.empty())
        clear(field);
    else
        m_values[index(field)] = std::move(value);
}

}  // namespace zr
