// SPDX-License-Identifier: GPL-3.0-or-later
#include "metadata/field_text.h"

#include <ctime>
#include <string>

namespace zr {

namespace {

// Windows-1252's characters at 0x80 to 0x9F; 0 where it has none.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t fromWindows1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : byte;
}

// Decodes one well-formed UTF-8 sequence at `i` (no overlong forms, no surrogates, nothing
// above U+10FFFF), advancing `i`; none, with `i` unchanged, when the bytes there are not one.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int length;
    char32_t c;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + length > text.size())
        return std::nullopt;
    for (int k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    i += length;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isDropped(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFEFF || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isTrimmed(char32_t c) {
    return c == ' ' || c == '.' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

// Reads `count` digits at `i` into `value`.
bool digits(std::string_view text, std::size_t& i, int count, int& value) {
    value = 0;
    for (int k = 0; k < count; ++k, ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// A zone at `i`: "Z", "+HH:MM", "+HHMM", "+HH".
std::optional<int> parseZone(std::string_view text, std::size_t& i) {
    if (i < text.size() && text[i] == 'Z') {
        ++i;
        return 0;
    }
    if (i >= text.size() || (text[i] != '+' && text[i] != '-'))
        return std::nullopt;
    const int sign = text[i++] == '-' ? -1 : 1;
    int hours;
    int minutes = 0;
    if (!digits(text, i, 2, hours))
        return std::nullopt;
    if (i < text.size() && text[i] == ':')
        ++i;
    if (i < text.size() && !digits(text, i, 2, minutes))
        return std::nullopt;
    if (hours > 23 || minutes > 59)
        return std::nullopt;
    return sign * (hours * 60 + minutes);
}

std::string_view trimmedEnds(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

}  // namespace

std::string nameText(std::string_view raw) {
    std::u32string kept;
    for (std::size_t i = 0; i < raw.size();) {
        std::optional<char32_t> c = decodeUtf8(raw, i);
        if (!c)
            c = fromWindows1252(static_cast<unsigned char>(raw[i++]));
        if (*c == '/')
            c = '-';
        if (*c != 0 && !isDropped(*c))
            kept += *c;
    }
    std::size_t begin = 0;
    std::size_t end = kept.size();
    while (begin < end && isTrimmed(kept[begin]))
        ++begin;
    // Cut at the bound first, then trimmed at the end, where the cut may have left a blank.
    for (std::size_t i = begin, bytes = 0; i < end; ++i) {
        bytes += kept[i] < 0x80 ? 1 : kept[i] < 0x800 ? 2 : kept[i] < 0x10000 ? 3 : 4;
        if (bytes > kMaxFieldTextBytes)
            end = i;
    }
    while (end > begin && isTrimmed(kept[end - 1]))
        --end;
    std::string out;
    for (std::size_t i = begin; i < end; ++i)
        appendUtf8(out, kept[i]);
    return out;
}

std::optional<FieldDate> parseDate(std::string_view text) {
    text = trimmedEnds(text);
    FieldDate date;
    std::size_t i = 0;
    if (!digits(text, i, 4, date.year))
        return std::nullopt;
    if (i >= text.size() || (text[i] != ':' && text[i] != '-'))
        return std::nullopt;
    ++i;
    if (!digits(text, i, 2, date.month) || i >= text.size() || (text[i] != ':' && text[i] != '-'))
        return std::nullopt;
    ++i;
    if (!digits(text, i, 2, date.day))
        return std::nullopt;
    if (i < text.size() && (text[i] == ' ' || text[i] == 'T')) {
        ++i;
        if (!digits(text, i, 2, date.hour) || i >= text.size() || text[i++] != ':' ||
            !digits(text, i, 2, date.minute))
            return std::nullopt;
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!digits(text, i, 2, date.second))
                return std::nullopt;
            if (i < text.size() && text[i] == '.') {
                ++i;
                while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                    ++i;
            }
        }
        if (i < text.size()) {
            date.utcOffsetMinutes = parseZone(text, i);
            if (!date.utcOffsetMinutes)
                return std::nullopt;
        }
    }
    if (i != text.size())
        return std::nullopt;
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > daysInMonth(date.year, date.month) || date.hour > 23 || date.minute > 59 ||
        date.second > 59)
        return std::nullopt;
    return date;
}

std::optional<int> parseUtcOffset(std::string_view text) {
    text = trimmedEnds(text);
    std::size_t i = 0;
    const std::optional<int> offset = parseZone(text, i);
    if (!offset || i != text.size() || text == "Z")
        return std::nullopt;
    return offset;
}

std::optional<FieldDate> localDate(std::int64_t unixSeconds) {
    const auto moment = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!localtime_r(&moment, &tm) || tm.tm_year + 1900 < 1 || tm.tm_year + 1900 > 9999)
        return std::nullopt;
    FieldDate date;
    date.year = tm.tm_year + 1900;
    date.month = tm.tm_mon + 1;
    date.day = tm.tm_mday;
    date.hour = tm.tm_hour;
    date.minute = tm.tm_min;
    date.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    date.utcOffsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
    return date;
}

std::optional<std::uint32_t> leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::int64_t daysFromCivil(int year, int month, int day) {
    // Howard Hinnant's days_from_civil: years counted from March, so February comes last.
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace zr
