// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/name_template.h"

#include <charconv>
#include <iterator>

#include "rules/text.h"

namespace zr {

namespace {

// What may follow a field's ":".
enum class FormatKind : std::uint8_t { None, Width, Date };

struct FieldInfo {
    Field field;
    std::u32string_view name;
    FormatKind format;
    // Why an entry without a value for the field is not renamed.
    const char* missing;
};

// In the order of Field.
constexpr FieldInfo kFields[] = {
    {Field::Number, U"n", FormatKind::Width, "no number"},
    {Field::Parent, U"parent", FormatKind::None, "no parent folder"},
    {Field::Extension, U"ext", FormatKind::None, "no extension"},
    {Field::Modified, U"modified", FormatKind::Date, "no modified time"},
    {Field::Taken, U"taken", FormatKind::Date, "no date taken"},
    {Field::Camera, U"camera", FormatKind::None, "no camera"},
    {Field::Width, U"width", FormatKind::Width, "no width"},
    {Field::Height, U"height", FormatKind::Width, "no height"},
    {Field::Artist, U"artist", FormatKind::None, "no artist"},
    {Field::Album, U"album", FormatKind::None, "no album"},
    {Field::Title, U"title", FormatKind::None, "no title"},
    {Field::Track, U"track", FormatKind::Width, "no track"},
    {Field::Disc, U"disc", FormatKind::Width, "no disc"},
    {Field::Year, U"year", FormatKind::Width, "no year"},
    {Field::Genre, U"genre", FormatKind::None, "no genre"},
};
static_assert(std::size(kFields) == kFieldCount);

constexpr FieldFormat kDefaultDate{kDefaultDateFormat, 0};

const FieldInfo* findField(std::u32string_view name) {
    for (const FieldInfo& f : kFields) {
        if (f.name == name)
            return &f;
    }
    return nullptr;
}

const FieldInfo& fieldInfo(Field field) {
    return kFields[static_cast<std::size_t>(field)];
}

bool isNameCharacter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'_';
}

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

// A decimal number of at most 9 digits, or -1.
int smallNumber(std::u32string_view digits) {
    if (digits.empty() || digits.size() > 9)
        return -1;
    int value = 0;
    for (char32_t c : digits) {
        if (!isDigit(c))
            return -1;
        value = value * 10 + static_cast<int>(c - U'0');
    }
    return value;
}

// The conversions of a date format; every one writes digits, letters or a sign.
constexpr std::u32string_view kDateConversions = U"YymdjHIMSpaAbBuzF%";

struct FormatError {
    std::size_t offset;  // in the format
    std::string reason;
};

// Whether `format` is a date format whose every character can stand in a name.
std::optional<FormatError> checkDateFormat(std::u32string_view format) {
    bool converts = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char32_t c = format[i];
        if (c == U'/')
            return FormatError{i, "a name cannot hold '/'"};
        if (c < 0x20 || c == 0x7F)
            return FormatError{i, "a name cannot hold a control character"};
        if (c != U'%')
            continue;
        if (i + 1 >= format.size())
            return FormatError{i, "'%' at the end of a date format (write '%%' for one)"};
        const char32_t conversion = format[++i];
        const std::string spelled = "'%" + toBytes(std::u32string_view(&conversion, 1)) + "'";
        if (conversion == U'D' || conversion == U'x')
            return FormatError{i - 1, spelled + " writes a '/', which a name cannot hold"};
        if (conversion == U'n' || conversion == U't')
            return FormatError{i - 1, spelled + " writes a control character"};
        if (kDateConversions.find(conversion) == std::u32string_view::npos)
            return FormatError{i - 1, spelled +
                                          " is not a date conversion (%Y %y %m %d %j %H %I %M "
                                          "%S %p %a %A %b %B %u %z %F %%)"};
        converts = converts || conversion != U'%';
    }
    if (!converts)
        return FormatError{0, "a date format needs a conversion, such as %Y"};
    return std::nullopt;
}

constexpr std::u32string_view kDayNames[] = {U"Sunday",   U"Monday", U"Tuesday", U"Wednesday",
                                             U"Thursday", U"Friday", U"Saturday"};
constexpr std::u32string_view kMonthNames[] = {U"January",   U"February", U"March",    U"April",
                                               U"May",       U"June",     U"July",     U"August",
                                               U"September", U"October",  U"November", U"December"};

// The name of entry `index` of `names`, whole or its first three letters. Out of range, the
// number as the names count (`first` for the first), so that a date the system got wrong still
// gives a name.
template <std::size_t N>
void appendName(const std::u32string_view (&names)[N], int index, int first, bool whole,
                std::u32string& out) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) {
        appendNumber(std::int64_t{index} + first, 1, out);
        return;
    }
    const std::u32string_view name = names[index];
    out.append(whole ? name : name.substr(0, 3));
}

}  // namespace

std::optional<TemplateError> NameTemplate::compile(std::u32string_view text,
                                                   const PatternGroups* groups) {
    m_text.clear();
    m_pieces.clear();
    m_chain.clear();
    m_fields = FieldSet{};
    m_usesNumber = false;
    m_literal = true;
    auto fail = [](std::size_t at, std::string reason) {
        return TemplateError{at + 1, std::move(reason)};
    };
    auto addText = [this](char32_t c) {
        if (m_pieces.empty() || m_pieces.back().kind != Kind::Text)
            m_pieces.push_back(Piece{Kind::Text, static_cast<std::uint32_t>(m_text.size()),
                                     static_cast<std::uint32_t>(m_text.size())});
        m_text += c;
        m_pieces.back().end = static_cast<std::uint32_t>(m_text.size());
    };

    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'}') {
            if (i + 1 < text.size() && text[i + 1] == U'}') {
                addText(c);
                ++i;
                continue;
            }
            return fail(i, "a '}' alone (write '}}' for one)");
        }
        if (c == U'$' && groups) {
            const std::size_t at = i;
            if (i + 1 >= text.size())
                return fail(at, "'$' at the end (write '$$' for one)");
            const char32_t next = text[i + 1];
            if (next == U'$') {
                addText(U'$');
                ++i;
                continue;
            }
            int number = -1;
            if (isDigit(next)) {
                number = static_cast<int>(next - U'0');
                ++i;
            } else if (next == U'{') {
                const std::size_t close = text.find(U'}', i + 2);
                if (close == std::u32string_view::npos)
                    return fail(at, "'${' without its '}'");
                const std::u32string_view name = text.substr(i + 2, close - i - 2);
                number = smallNumber(name);
                if (number < 0) {
                    number = groups->numberOf ? groups->numberOf(name) : -1;
                    if (number < 0)
                        return fail(at, "the pattern has no group named '" + toBytes(name) + "'");
                }
                i = close;
            } else {
                return fail(at, "'$' must be followed by a group number, '{' or '$'");
            }
            if (number > groups->count)
                return fail(at, "the pattern has no group " + std::to_string(number));
            m_pieces.push_back(Piece{Kind::Group, 0, 0, 0, 0, number});
            m_literal = false;
            continue;
        }
        if (c != U'{') {
            addText(c);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == U'{') {
            addText(c);
            ++i;
            continue;
        }
        // A field: names separated by "|", then an optional format after ":".
        const std::size_t open = i;
        Piece piece{Kind::Field, static_cast<std::uint32_t>(m_chain.size()), 0};
        for (++i;; ++i) {
            const std::size_t nameStart = i;
            while (i < text.size() && isNameCharacter(text[i]))
                ++i;
            if (i >= text.size())
                return fail(open, "'{' without its '}' (write '{{' for one)");
            const std::u32string_view name = text.substr(nameStart, i - nameStart);
            const char32_t behind = text[i];
            if (name.empty() && behind == U'}' && nameStart == open + 1)
                return fail(open, "an empty field (write '{{' for a '{')");
            if (behind != U'|' && behind != U':' && behind != U'}')
                return fail(i, "a field name is made of a-z, 0-9 and '_'");
            if (name.empty())
                return fail(i, "a field name is missing");
            const FieldInfo* field = findField(name);
            if (!field)
                return fail(nameStart, "unknown field '" + toBytes(name) + "'");
            m_chain.push_back(field->field);
            if (behind != U'|')
                break;
        }
        piece.end = static_cast<std::uint32_t>(m_chain.size());
        if (text[i] == U':') {
            const std::size_t formatStart = ++i;
            while (i < text.size() && text[i] != U'}' && text[i] != U'{')
                ++i;
            if (i >= text.size() || text[i] != U'}')
                return fail(open, "'{' without its '}' (write '{{' for one)");
            const std::u32string_view format = text.substr(formatStart, i - formatStart);
            bool width = false;
            bool date = false;
            for (std::uint32_t k = piece.begin; k < piece.end; ++k) {
                const FieldInfo& field = fieldInfo(m_chain[k]);
                if (field.format == FormatKind::None)
                    return fail(formatStart, "'" + toBytes(field.name) + "' takes no format");
                width = width || field.format == FormatKind::Width;
                date = date || field.format == FormatKind::Date;
            }
            if (width && date)
                return fail(formatStart, "a number and a date cannot share a format");
            if (width) {
                piece.number = smallNumber(format);
                if (piece.number < 1 || piece.number > kMaxNumberWidth)
                    return fail(formatStart, "the width of a number must be a number from 1 to " +
                                                 std::to_string(kMaxNumberWidth));
            } else if (const std::optional<FormatError> error = checkDateFormat(format)) {
                return fail(formatStart + error->offset, error->reason);
            }
            piece.formatBegin = static_cast<std::uint32_t>(m_text.size());
            m_text += format;
            piece.formatEnd = static_cast<std::uint32_t>(m_text.size());
        }
        for (std::uint32_t k = piece.begin; k < piece.end; ++k) {
            m_usesNumber = m_usesNumber || m_chain[k] == Field::Number;
            m_fields.add(m_chain[k]);
        }
        m_pieces.push_back(piece);
        m_literal = false;
    }
    return std::nullopt;
}

const char* NameTemplate::expand(const FieldValues& values,
                                 std::span<const std::u32string_view> groups,
                                 std::u32string& out) const {
    const std::u32string_view text = m_text;
    for (const Piece& piece : m_pieces) {
        switch (piece.kind) {
            case Kind::Text:
                out.append(text.substr(piece.begin, piece.end - piece.begin));
                break;
            case Kind::Group:
                if (static_cast<std::size_t>(piece.number) < groups.size())
                    out.append(groups[static_cast<std::size_t>(piece.number)]);
                break;
            case Kind::Field: {
                const FieldFormat format{
                    text.substr(piece.formatBegin, piece.formatEnd - piece.formatBegin),
                    piece.number};
                bool found = false;
                for (std::uint32_t k = piece.begin; k < piece.end && !found; ++k) {
                    const Field field = m_chain[k];
                    const bool dated =
                        format.text.empty() && fieldInfo(field).format == FormatKind::Date;
                    found = values.append(field, dated ? kDefaultDate : format, out);
                }
                if (!found)
                    return fieldInfo(m_chain[piece.begin]).missing;
                break;
            }
        }
    }
    return nullptr;
}

void appendNumber(std::int64_t value, int width, std::u32string& out) {
    char digits[24];
    // The magnitude as unsigned, so that the smallest int64 has one too.
    const std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
    const int length = static_cast<int>(end - digits);
    if (value < 0)
        out += U'-';
    for (int i = length; i < width; ++i)
        out += U'0';
    for (const char* d = digits; d != end; ++d)
        out += static_cast<char32_t>(*d);
}

void appendDate(const std::tm& date, std::u32string_view format, std::u32string& out) {
    // Wide enough that no member of a struct tm, whatever it holds, overflows.
    using Wide = std::int64_t;
    const Wide year = Wide{date.tm_year} + 1900;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != U'%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        switch (format[++i]) {
            case U'Y':
                appendNumber(year, 4, out);
                break;
            case U'y':
                appendNumber((year % 100 + 100) % 100, 2, out);
                break;
            case U'm':
                appendNumber(Wide{date.tm_mon} + 1, 2, out);
                break;
            case U'd':
                appendNumber(date.tm_mday, 2, out);
                break;
            case U'j':
                appendNumber(Wide{date.tm_yday} + 1, 3, out);
                break;
            case U'H':
                appendNumber(date.tm_hour, 2, out);
                break;
            case U'I':
                appendNumber((Wide{date.tm_hour} % 12 + 11) % 12 + 1, 2, out);
                break;
            case U'p':
                out += date.tm_hour < 12 ? U"AM" : U"PM";
                break;
            case U'M':
                appendNumber(date.tm_min, 2, out);
                break;
            case U'S':
                appendNumber(date.tm_sec, 2, out);
                break;
            case U'a':
            case U'A':
                appendName(kDayNames, date.tm_wday, 0, format[i] == U'A', out);
                break;
            case U'b':
            case U'B':
                appendName(kMonthNames, date.tm_mon, 1, format[i] == U'B', out);
                break;
            case U'u':
                appendNumber(date.tm_wday == 0 ? 7 : date.tm_wday, 1, out);
                break;
            case U'z':
                if (date.tm_isdst >= 0) {
                    const long minutes = date.tm_gmtoff / 60;
                    out += minutes < 0 ? U'-' : U'+';
                    const long magnitude = minutes < 0 ? -minutes : minutes;
                    appendNumber(magnitude / 60, 2, out);
                    appendNumber(magnitude % 60, 2, out);
                }
                break;
            case U'F':
                appendNumber(year, 4, out);
                out += U'-';
                appendNumber(Wide{date.tm_mon} + 1, 2, out);
                out += U'-';
                appendNumber(date.tm_mday, 2, out);
                break;
            default:  // %%; the compiler lets no other conversion through
                out += format[i];
                break;
        }
    }
}

std::string templateErrorText(std::string_view what, const TemplateError& error) {
    return "Invalid " + std::string(what) + " at position " + std::to_string(error.position) +
           ": " + error.reason;
}

}  // namespace zr
