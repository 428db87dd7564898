// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings_store.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <system_error>

namespace zr {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kParentPath = "HKEY_CURRENT_USER\\Software\\Vornik";
constexpr std::string_view kKeyPath = "HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer";
constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r";

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Whether `path` is the key itself or a key below it.
bool isKeyOrBelow(std::string_view path) {
    return sameName(path.substr(0, kKeyPath.size()), kKeyPath) &&
           (path.size() == kKeyPath.size() || path[kKeyPath.size()] == '\\');
}

// The length of the valid UTF-8 sequence that `s` starts with, or 0.
std::size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (s.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, surrogates and code points above U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
        (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
        return 0;
    return length;
}

// A quoted string with "\\" and "\"" escaped. Control characters (but tab) and bytes that are
// not valid UTF-8 are written as "\xHH", so that line breaks cannot split a line and the file
// stays valid UTF-8 text, while every byte reads back as it was.
void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool control = (c < 0x20 && c != '\t') || c == 0x7F;
        const std::size_t length = control ? 0 : utf8SequenceLength(text.substr(i));
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (length == 0) {
            out += "\\x";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0xF];
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += '"';
}

// Reads a quoted string from the start of `text` into `out` and drops it from `text`.
std::optional<std::string> readQuoted(std::string_view& text, std::string& out) {
    if (!text.starts_with('"'))
        return "a quoted name or text was expected";
    out.clear();
    std::size_t i = 1;
    for (;;) {
        if (i >= text.size())
            return "a quoted text has no closing quote";
        const char c = text[i++];
        if (c == '"')
            break;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i < text.size() && (text[i] == '\\' || text[i] == '"')) {
            out += text[i++];
            continue;
        }
        unsigned int byte = 0;
        const char* const digits = text.data() + i + 1;
        if (i + 3 > text.size() || text[i] != 'x' ||
            std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
            return "a quoted text holds an unknown escape";
        out += static_cast<char>(byte);
        i += 3;
    }
    text.remove_prefix(i);
    return std::nullopt;
}

std::string systemMessage(int error) {
    return std::generic_category().message(error);
}

}  // namespace

std::string userSettingsStorePath() {
    // The root "/" becomes "" so that appending "/..." gives no "//".
    const auto folder = [](std::string path) {
        while (path.ends_with('/'))
            path.pop_back();
        return path;
    };
    const char* const configHome = std::getenv("XDG_CONFIG_HOME");
    const char* const home = std::getenv("HOME");
    std::string base;
    if (configHome && configHome[0] == '/')
        base = folder(configHome);
    else if (home && home[0] == '/')
        base = folder(home) + "/.config";
    else
        return {};
    return base + "/zentarel-renamer/settings.reg";
}

void SettingsStore::Section::set(std::string_view name, Data data) {
    for (Value& v : values) {
        if (sameName(v.name, name)) {
            v.data = std::move(data);
            return;
        }
    }
    values.push_back({std::string(name), std::move(data)});
}

SettingsStore::SettingsStore(FileSystem& fs, std::string path)
    : m_fs(fs), m_path(std::move(path)) {}

std::optional<std::string> SettingsStore::parse(std::string_view text,
                                                std::vector<Section>& sections,
                                                std::size_t& lineNumber) {
    lineNumber = 0;
    sections.clear();
    Section* current = nullptr;
    // What an editor may add to a registry export: a byte-order mark, blanks at either end of a
    // line, CR LF line ends, and comment lines starting with ";".
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    bool headerSeen = false;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        ++lineNumber;
        const std::size_t first = line.find_first_not_of(kBlanks);
        line = first == std::string_view::npos
                   ? std::string_view()
                   : line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
        if (line.empty() || line.starts_with(';'))
            continue;
        if (!headerSeen) {
            if (line != kHeader)
                return "the first line is not \"" + std::string(kHeader) + "\"";
            headerSeen = true;
            continue;
        }
        if (line.starts_with('[')) {
            if (!line.ends_with(']') || line.size() < 3)
                return "a key line is not \"[key]\"";
            const std::string_view path = line.substr(1, line.size() - 2);
            current = nullptr;
            for (Section& s : sections) {
                if (sameName(s.path, path))
                    current = &s;
            }
            if (!current)
                current = &sections.emplace_back(Section{std::string(path), {}});
            continue;
        }
        if (!current)
            return "a value stands before the first key";
        std::string name;
        if (std::optional<std::string> why = readQuoted(line, name))
            return why;
        if (!line.starts_with('='))
            return "a value name is not followed by \"=\"";
        line.remove_prefix(1);
        if (line.starts_with(kDwordPrefix)) {
            line.remove_prefix(kDwordPrefix.size());
            std::uint32_t number = 0;
            const auto [end, ec] =
                std::from_chars(line.data(), line.data() + line.size(), number, 16);
            if (line.empty() || line.size() > 8 || ec != std::errc{} ||
                end != line.data() + line.size())
                return "a dword value is not 1 to 8 hexadecimal digits";
            current->set(name, static_cast<std::int32_t>(number));
            continue;
        }
        std::string value;
        if (std::optional<std::string> why = readQuoted(line, value))
            return why;
        if (!line.empty())
            return "text follows a quoted value";
        current->set(name, std::move(value));
    }
    return std::nullopt;
}

std::string SettingsStore::format(const std::vector<Section>& sections) {
    std::string out(kHeader);
    out += "\n\n";
    for (const Section& s : sections) {
        out.append("[").append(s.path).append("]\n");
        for (const Value& v : s.values) {
            appendQuoted(out, v.name);
            out += '=';
            if (const auto* number = std::get_if<std::int32_t>(&v.data)) {
                out += kDwordPrefix;
                const auto bits = static_cast<std::uint32_t>(*number);
                for (int shift = 28; shift >= 0; shift -= 4)
                    out += kHexDigits[(bits >> shift) & 0xF];
            } else {
                appendQuoted(out, std::get<std::string>(v.data));
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

std::optional<StoreError> SettingsStore::load() {
    close();
    m_sections.clear();
    if (m_path.empty())
        return StoreError{
            "There is no folder for the settings store: neither XDG_CONFIG_HOME nor "
            "HOME names one",
            false};
    std::string text;
    const int error = m_fs.readFile(m_path, text);
    if (error == ENOENT)
        return std::nullopt;
    if (error != 0) {
        const std::string refusal = refusalText(error);
        return StoreError{"Unable to read the settings store " + m_path + ": " +
                              (refusal.empty() ? systemMessage(error) : "it is " + refusal),
                          false};
    }
    if (text.empty())
        return std::nullopt;
    std::size_t line = 0;
    if (std::optional<std::string> why = parse(text, m_sections, line)) {
        m_sections.clear();
        return StoreError{"The settings store " + m_path + " cannot be read (line " +
                              std::to_string(line) + ": " + *why + ")",
                          true};
    }
    return std::nullopt;
}

int SettingsStore::save() {
    if (const int error = m_fs.createDirectories(m_path.substr(0, m_path.rfind('/'))))
        return error;
    return m_fs.replaceFile(m_path, format(m_sections));
}

std::optional<StoreError> SettingsStore::openKey(bool create, bool& exists) {
    exists = false;
    if (std::optional<StoreError> error = load())
        return error;
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        if (sameName(m_sections[i].path, kKeyPath))
            m_key = i;
    }
    exists = m_key.has_value();
    if (exists || !create)
        return std::nullopt;
    bool parentExists = false;
    for (const Section& s : m_sections)
        parentExists = parentExists || sameName(s.path, kParentPath);
    if (!parentExists)
        m_sections.push_back({std::string(kParentPath), {}});
    m_sections.push_back({std::string(kKeyPath), {}});
    m_key = m_sections.size() - 1;
    m_dirty = true;
    return std::nullopt;
}

const SettingsStore::Value* SettingsStore::find(std::string_view name) const {
    if (!m_key)
        return nullptr;
    for (const Value& v : m_sections[*m_key].values) {
        if (sameName(v.name, name))
            return &v;
    }
    return nullptr;
}

bool SettingsStore::hasValue(std::string_view name) const {
    return find(name) != nullptr;
}

std::vector<std::string> SettingsStore::valueNames() const {
    std::vector<std::string> names;
    if (m_key) {
        for (const Value& v : m_sections[*m_key].values)
            names.push_back(v.name);
    }
    return names;
}

std::optional<std::string> SettingsStore::readInteger(std::string_view name,
                                                      std::int32_t& value) const {
    const Value* v = find(name);
    if (!v)
        return "There is no value '" + std::string(name) + "'";
    if (!std::holds_alternative<std::int32_t>(v->data))
        return "Invalid data type for '" + std::string(name) + "'";
    value = std::get<std::int32_t>(v->data);
    return std::nullopt;
}

std::optional<std::string> SettingsStore::readString(std::string_view name,
                                                     std::string& value) const {
    const Value* v = find(name);
    if (!v)
        return "There is no value '" + std::string(name) + "'";
    if (!std::holds_alternative<std::string>(v->data))
        return "Invalid data type for '" + std::string(name) + "'";
    value = std::get<std::string>(v->data);
    return std::nullopt;
}

std::optional<std::string> SettingsStore::write(std::string_view name, Data data) {
    if (!m_key)
        return "Failed to set data for '" + std::string(name) + "'";
    m_sections[*m_key].set(name, std::move(data));
    if (m_firstUnsaved.empty())
        m_firstUnsaved = name;
    m_dirty = true;
    return std::nullopt;
}

std::optional<std::string> SettingsStore::writeInteger(std::string_view name, std::int32_t value) {
    return write(name, value);
}

std::optional<std::string> SettingsStore::writeString(std::string_view name,
                                                      std::string_view value) {
    return write(name, std::string(value));
}

std::optional<std::string> SettingsStore::closeKey() {
    const bool dirty = m_dirty;
    const std::string firstUnsaved = m_firstUnsaved;
    close();
    if (!dirty)
        return std::nullopt;
    const int error = save();
    if (error == 0)
        return std::nullopt;
    const std::string why = ": cannot write " + m_path + ": " + systemMessage(error);
    if (firstUnsaved.empty())
        return "Failed to create key '" + std::string(kKeyPath) + "'" + why;
    return "Failed to set data for '" + firstUnsaved + "'" + why;
}

std::optional<StoreError> SettingsStore::deleteKey() {
    if (!m_key) {
        if (std::optional<StoreError> error = load())
            return error;
    }
    const std::size_t before = m_sections.size();
    std::erase_if(m_sections, [](const Section& s) { return isKeyOrBelow(s.path); });
    const bool changed = m_dirty || m_sections.size() != before;
    close();
    if (!changed)
        return std::nullopt;
    if (const int error = save())
        return StoreError{
            "Failed to delete key '" + std::string(kKeyPath) + "': " + systemMessage(error), false};
    return std::nullopt;
}

std::optional<std::string> SettingsStore::moveAside(std::string& movedTo) {
    close();
    for (int attempt = 1; attempt <= 100; ++attempt) {
        movedTo = m_path + ".unreadable";
        if (attempt > 1)
            movedTo += "-" + std::to_string(attempt);
        const int error = m_fs.rename(m_path, movedTo);
        if (error == 0)
            return std::nullopt;
        if (error != EEXIST)
            return "Unable to move the settings store " + m_path +
                   " aside: " + systemMessage(error);
    }
    return "Unable to move the settings store " + m_path + " aside: no free name";
}

void SettingsStore::close() {
    m_key.reset();
    m_dirty = false;
    m_firstUnsaved.clear();
}

}  // namespace zr
