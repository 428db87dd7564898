// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_text.h"

#include <charconv>
#include <cstdint>
#include <unordered_set>

namespace zr {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class LineKind { Other, Section, Key };

// One line of the text by offsets: [start, end) is the whole line with its line end, [textStart,
// textEnd) the part that is parsed (without the line end, and without a byte order mark on the
// first line).
struct Line {
    std::size_t start = 0;
    std::size_t textStart = 0;
    std::size_t textEnd = 0;
    std::size_t end = 0;
    LineKind kind = LineKind::Other;
    std::string_view name;      // section or key name
    std::string_view rawValue;  // a key's text behind the "="
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return foldIniName(a) == foldIniName(b);
}

void classify(Line& line, std::string_view text) {
    const std::string_view trimmed = trimBlanks(text);
    if (trimmed.starts_with('[')) {
        const std::size_t close = trimmed.find(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = trimBlanks(trimmed.substr(1, close - 1));
        }
        return;
    }
    if (trimmed.starts_with(';'))
        return;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos || trimBlanks(trimmed.substr(0, equals)).empty())
        return;
    line.kind = LineKind::Key;
    line.name = trimBlanks(trimmed.substr(0, equals));
    line.rawValue = trimmed.substr(equals + 1);
}

// A line ends with LF; a CR right before it belongs to the line end.
std::vector<Line> parseLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        Line line;
        line.start = pos;
        line.textStart = pos;
        if (pos == 0 && content.starts_with(kByteOrderMark))
            line.textStart = kByteOrderMark.size();
        const std::size_t lf = content.find('\n', line.textStart);
        line.end = lf == std::string_view::npos ? content.size() : lf + 1;
        line.textEnd = lf == std::string_view::npos ? content.size() : lf;
        if (line.textEnd > line.textStart && lf != std::string_view::npos &&
            content[line.textEnd - 1] == '\r')
            --line.textEnd;
        classify(line, content.substr(line.textStart, line.textEnd - line.textStart));
        lines.push_back(line);
        pos = line.end;
    }
    return lines;
}

// Line indexes of the first section of that name: its header and the end of its lines.
struct SectionSpan {
    std::size_t header;
    std::size_t end;
};

std::optional<SectionSpan> findSection(const std::vector<Line>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !sameName(lines[i].name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != LineKind::Section)
            ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::string unquote(std::string_view raw) {
    const std::string_view value = trimBlanks(raw);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return std::string(value.substr(1, value.size() - 2));
    return std::string(value);
}

std::string keyLine(const IniEntry& entry) {
    const std::string_view v = entry.value;
    const bool quote = (!v.empty() && (isBlank(v.front()) || isBlank(v.back()))) ||
                       v.find('"') != std::string_view::npos;
    return quote ? entry.key + "=\"" + entry.value + "\"" : entry.key + "=" + entry.value;
}

std::string_view lineEndOf(std::string_view content) {
    const std::size_t lf = content.find('\n');
    if (lf == std::string_view::npos || (lf > 0 && content[lf - 1] == '\r'))
        return "\r\n";
    return "\n";
}

}  // namespace

std::string foldIniName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::vector<IniEntry> readIniSection(std::string_view content, std::string_view section) {
    const std::vector<Line> lines = parseLines(content);
    std::vector<IniEntry> entries;
    const std::optional<SectionSpan> span = findSection(lines, section);
    if (!span)
        return entries;
    std::unordered_set<std::string> seen;
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        const Line& line = lines[i];
        if (line.kind != LineKind::Key)
            continue;
        if (seen.insert(foldIniName(line.name)).second)
            entries.push_back({std::string(line.name), unquote(line.rawValue)});
    }
    return entries;
}

bool hasIniSection(std::string_view content, std::string_view section) {
    return findSection(parseLines(content), section).has_value();
}

std::optional<std::string> writeIniSection(std::string& content, std::string_view section,
                                           std::span<const IniEntry> entries) {
    for (const IniEntry& e : entries) {
        if (e.value.find_first_of("\r\n") != std::string::npos)
            return "the value of '" + e.key + "' holds a line break, which a settings file " +
                   "cannot store";
    }
    const std::string_view eol = lineEndOf(content);
    const std::vector<Line> lines = parseLines(content);
    const std::optional<SectionSpan> span = findSection(lines, section);

    std::string out;
    if (!span) {
        out = content;
        if (!out.empty() && !out.ends_with('\n'))
            out += eol;
        out.append("[").append(section).append("]").append(eol);
        for (const IniEntry& e : entries)
            out.append(keyLine(e)).append(eol);
        content = std::move(out);
        return std::nullopt;
    }

    // Each entry replaces the first line of its key; the others are inserted behind the
    // section's last key.
    std::vector<std::optional<std::string>> replacement(lines.size());
    std::string inserted;
    std::size_t insertAfter = span->header;
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        if (lines[i].kind == LineKind::Key)
            insertAfter = i;
    }
    for (const IniEntry& e : entries) {
        std::size_t i = span->header + 1;
        while (i < span->end && !(lines[i].kind == LineKind::Key && sameName(lines[i].name, e.key)))
            ++i;
        if (i < span->end)
            replacement[i] = keyLine(e);
        else
            inserted.append(keyLine(e)).append(eol);
    }

    const std::string_view text = content;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (replacement[i]) {
            out.append(text.substr(line.start, line.textStart - line.start));
            out.append(*replacement[i]);
            out.append(text.substr(line.textEnd, line.end - line.textEnd));
        } else {
            out.append(text.substr(line.start, line.end - line.start));
        }
        if (i == insertAfter && !inserted.empty()) {
            if (line.end == line.textEnd)
                out += eol;
            out += inserted;
        }
    }
    content = std::move(out);
    return std::nullopt;
}

std::optional<int> parseIniInteger(std::string_view text) {
    const char* const last = text.data() + text.size();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint32_t value = 0;
        const auto [end, ec] = std::from_chars(text.data() + 2, last, value, 16);
        if (ec == std::errc{} && end == last)
            return static_cast<int>(value);
        return std::nullopt;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), last, value);
    if (ec == std::errc{} && end == last)
        return value;
    return std::nullopt;
}

}  // namespace zr
