// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/preview_printer.h"

#include <algorithm>
#include <array>

#include "cli/name_text.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace zr {

namespace {

constexpr std::size_t kColumns = 5;
// The captions of the window's preview list, then of the extra columns.
constexpr std::array<const char*, kColumns> kCaptions = {"current name", "new name", "filesize",
                                                         "filedate", "filetime"};
constexpr const char* kConflictCaption = "will fail";
constexpr const char* kFolderCaption = "folder";

void appendJsonString(std::string& out, const char* key, const std::string& value) {
    out += '"';
    out += key;
    out += "\":\"";
    appendJson(out, value);
    out += '"';
}

void appendJsonNull(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\":null";
}

const char* typeName(EntryType type) {
    switch (type) {
        case EntryType::Directory:
            return "dir";
        case EntryType::Link:
            return "link";
        case EntryType::File:
            break;
    }
    return "file";
}

bool isTable(OutputFormat format) {
    return format == OutputFormat::Table || format == OutputFormat::Automatic;
}

}  // namespace

PreviewPrinter::PreviewPrinter(OutputFormat format, std::FILE* out, Clock& clock,
                               ExtraColumns extra)
    : m_format(format), m_out(out), m_extra(extra), m_text(clock) {}

std::array<std::string, kColumns> PreviewPrinter::cells(const PreviewRow& row) {
    return {escapeTsv(row.currentName), escapeTsv(row.newName), PreviewText::size(row),
            escapeTsv(m_text.date(row)), escapeTsv(m_text.time(row))};
}

void PreviewPrinter::add(const PreviewRow& row) {
    const std::size_t index = m_added++;
    switch (m_format) {
        case OutputFormat::Automatic:
        case OutputFormat::Table:
            m_table.push_back(row);
            if (m_extra.folder)
                m_tableFolder.push_back(UINT32_MAX);
            return;
        case OutputFormat::Tsv:
            if (!m_extra.conflicts && !m_extra.folder) {
                writeRow(row, {});
                return;
            }
            break;
        case OutputFormat::Json:
            break;
    }
    m_waiting.emplace_back(index, row);
}

void PreviewPrinter::settle(std::string_view folder, std::span<const RowOutcome> outcomes) {
    if (isTable(m_format)) {
        // Consecutive rows of one folder share its text.
        if (m_extra.folder && (m_folders.empty() || m_folders.back() != folder))
            m_folders.emplace_back(folder);
        for (const RowOutcome& outcome : outcomes) {
            if (outcome.row >= m_table.size())
                continue;
            m_table[outcome.row].fails = outcome.fails;
            if (m_extra.folder)
                m_tableFolder[outcome.row] = static_cast<std::uint32_t>(m_folders.size() - 1);
        }
        return;
    }
    // The rows settled are the last ones waiting; were they not, each would be looked for.
    const std::size_t count = outcomes.size();
    bool last = count <= m_waiting.size();
    const std::size_t first = last ? m_waiting.size() - count : 0;
    for (std::size_t i = 0; last && i < count; ++i)
        last = m_waiting[first + i].first == outcomes[i].row;
    for (std::size_t i = 0; i < count; ++i) {
        const auto waiting =
            last ? m_waiting.begin() + static_cast<std::ptrdiff_t>(first + i)
                 : std::find_if(m_waiting.begin(), m_waiting.end(),
                                [&](const auto& w) { return w.first == outcomes[i].row; });
        if (waiting == m_waiting.end())
            continue;
        waiting->second.fails = outcomes[i].fails;
        writeRow(waiting->second, folder);
        waiting->first = SIZE_MAX;
    }
    if (last)
        m_waiting.resize(first);
    else
        std::erase_if(m_waiting, [](const auto& w) { return w.first == SIZE_MAX; });
}

void PreviewPrinter::writeRow(const PreviewRow& row, std::string_view folder) {
    m_line.clear();
    if (m_format == OutputFormat::Tsv) {
        for (const std::string& cell : cells(row)) {
            if (!m_line.empty())
                m_line += '\t';
            m_line += cell;
        }
        if (m_extra.conflicts) {
            m_line += '\t';
            m_line += escapeTsv(failureReason(row));
        }
        if (m_extra.folder) {
            m_line += '\t';
            m_line += escapeTsv(folder);
        }
    } else {
        m_line += '{';
        appendJsonString(m_line, "current", row.currentName);
        m_line += ',';
        appendJsonString(m_line, "new", row.newName);
        m_line += ',';
        // A directory has no size of its own worth giving, and a vanished entry none at all.
        const bool directory = row.directory || row.type == EntryType::Directory;
        if (row.known && !directory)
            m_line += "\"size\":" + std::to_string(row.size);
        else
            appendJsonNull(m_line, "size");
        m_line += ',';
        appendJsonString(m_line, "date", m_text.date(row));
        m_line += ',';
        appendJsonString(m_line, "time", m_text.time(row));
        m_line += ',';
        if (row.known) {
            appendJsonString(m_line, "modified", formatIsoTime(row.modified));
            m_line += ',';
            appendJsonString(m_line, "type", typeName(row.type));
        } else {
            appendJsonNull(m_line, "modified");
            m_line += ',';
            appendJsonNull(m_line, "type");
        }
        m_line += ',';
        appendJsonString(m_line, "path", pathInDirectory(std::string(folder), row.currentName));
        if (row.fails != Conflict::None) {
            m_line += ',';
            appendJsonString(m_line, "fails", std::string(failureReason(row)));
        }
        m_line += '}';
    }
    m_line += '\n';
    std::fwrite(m_line.data(), 1, m_line.size(), m_out);
}

void PreviewPrinter::clear() {
    m_table.clear();
    m_tableFolder.clear();
    m_folders.clear();
    m_waiting.clear();
    m_added = 0;
}

void PreviewPrinter::finish() {
    // A scan that found nothing prints no table, not a lone header.
    if (isTable(m_format) && !m_table.empty())
        writeTable();
    std::fflush(m_out);
}

void PreviewPrinter::writeTable() {
    // The reasons go in a column of their own when a row has one, the folders last when asked.
    const bool marks = std::any_of(m_table.begin(), m_table.end(),
                                   [](const PreviewRow& r) { return r.fails != Conflict::None; });
    std::vector<std::size_t> extra;  // which of the extra columns, in their order
    if (marks)
        extra.push_back(kColumns);
    if (m_extra.folder)
        extra.push_back(kColumns + 1);
    const std::size_t columns = kColumns + extra.size();
    using Row = std::array<std::string, kColumns + 2>;
    std::vector<Row> rows;
    rows.reserve(m_table.size() + 1);
    rows.push_back({kCaptions[0], kCaptions[1], kCaptions[2], kCaptions[3], kCaptions[4],
                    kConflictCaption, kFolderCaption});
    for (std::size_t r = 0; r < m_table.size(); ++r) {
        const PreviewRow& row = m_table[r];
        const auto five = cells(row);
        std::string folder;
        if (m_extra.folder && m_tableFolder[r] < m_folders.size())
            folder = escapeTsv(m_folders[m_tableFolder[r]]);
        rows.push_back({five[0], five[1], five[2], five[3], five[4],
                        std::string(failureReason(row)), std::move(folder)});
    }
    // The cells of each shown column, in the order they are shown.
    const auto cell = [&](const Row& row, std::size_t c) -> const std::string& {
        return c < kColumns ? row[c] : row[extra[c - kColumns]];
    };
    std::vector<std::size_t> widths(columns);
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < columns; ++c)
            widths[c] = std::max(widths[c], displayWidth(cell(row, c)));
    }
    for (const Row& row : rows) {
        m_line.clear();
        for (std::size_t c = 0; c < columns; ++c) {
            const std::string& text = cell(row, c);
            const std::string padding(widths[c] - displayWidth(text), ' ');
            if (c > 0)
                m_line += "  ";
            // Names, reasons and folders are left-aligned; size, date and time right-aligned as
            // in the window.
            if (c < 2 || c >= kColumns) {
                m_line += text;
                if (c + 1 < columns)
                    m_line += padding;
            } else {
                m_line += padding + text;
            }
        }
        // A row without a reason or folder ends at its last text.
        while (!m_line.empty() && m_line.back() == ' ')
            m_line.pop_back();
        m_line += '\n';
        std::fwrite(m_line.data(), 1, m_line.size(), m_out);
    }
    m_table.clear();
    m_tableFolder.clear();
    m_folders.clear();
}

}  // namespace zr
