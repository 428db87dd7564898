// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/preview_printer.h"

#include <algorithm>
#include <array>

#include "cli/name_text.h"
#include "platform/file_system.h"

namespace zr {

namespace {

constexpr std::size_t kColumns = 5;
// The captions of the window's preview list.
constexpr std::array<const char*, kColumns> kCaptions = {"current name", "new name", "filesize",
                                                         "filedate", "filetime"};

void appendJsonString(std::string& out, const char* key, const std::string& value) {
    out += '"';
    out += key;
    out += "\":\"";
    appendJson(out, value);
    out += '"';
}

}  // namespace

PreviewPrinter::PreviewPrinter(OutputFormat format, std::FILE* out, Clock& clock,
                               bool showConflicts)
    : m_format(format), m_out(out), m_showConflicts(showConflicts), m_text(clock) {}

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
            return;
        case OutputFormat::Tsv:
            if (!m_showConflicts) {
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
    const bool table = m_format == OutputFormat::Table || m_format == OutputFormat::Automatic;
    if (table) {
        for (const RowOutcome& outcome : outcomes) {
            if (outcome.row < m_table.size())
                m_table[outcome.row].fails = outcome.fails;
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
        if (m_showConflicts) {
            m_line += '\t';
            m_line += conflictReason(row.fails);
        }
    } else {
        m_line += '{';
        appendJsonString(m_line, "current", row.currentName);
        m_line += ',';
        appendJsonString(m_line, "new", row.newName);
        m_line += ',';
        // A number, or "DIR" for a directory as the preview shows it.
        if (row.directory)
            appendJsonString(m_line, "size", "DIR");
        else
            m_line += "\"size\":" + std::to_string(row.size);
        m_line += ',';
        appendJsonString(m_line, "date", m_text.date(row));
        m_line += ',';
        appendJsonString(m_line, "time", m_text.time(row));
        m_line += ',';
        appendJsonString(m_line, "path", pathInDirectory(std::string(folder), row.currentName));
        if (row.fails != Conflict::None) {
            m_line += ',';
            appendJsonString(m_line, "fails", std::string(conflictReason(row.fails)));
        }
        m_line += '}';
    }
    m_line += '\n';
    std::fwrite(m_line.data(), 1, m_line.size(), m_out);
}

void PreviewPrinter::clear() {
    m_table.clear();
    m_waiting.clear();
    m_added = 0;
}

void PreviewPrinter::finish() {
    const bool table = m_format == OutputFormat::Table || m_format == OutputFormat::Automatic;
    // A scan that found nothing prints no table, not a lone header.
    if (table && !m_table.empty()) {
        // A last column says why a rename will fail, when one will.
        const bool marks = std::any_of(m_table.begin(), m_table.end(), [](const PreviewRow& r) {
            return r.fails != Conflict::None;
        });
        const std::size_t columns = marks ? kColumns + 1 : kColumns;
        using Row = std::array<std::string, kColumns + 1>;
        std::vector<Row> rows;
        rows.reserve(m_table.size() + 1);
        rows.push_back(
            {kCaptions[0], kCaptions[1], kCaptions[2], kCaptions[3], kCaptions[4], "will fail"});
        for (const PreviewRow& row : m_table) {
            const auto five = cells(row);
            rows.push_back({five[0], five[1], five[2], five[3], five[4],
                            std::string(conflictReason(row.fails))});
        }
        std::array<std::size_t, kColumns + 1> widths{};
        for (const auto& row : rows) {
            for (std::size_t c = 0; c < columns; ++c)
                widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
        for (const auto& row : rows) {
            m_line.clear();
            for (std::size_t c = 0; c < columns; ++c) {
                const std::string padding(widths[c] - displayWidth(row[c]), ' ');
                if (c > 0)
                    m_line += "  ";
                // Names and reasons are left-aligned; size, date and time right-aligned as in
                // the window.
                if (c < 2 || c == kColumns) {
                    m_line += row[c];
                    if (c + 1 < columns)
                        m_line += padding;
                } else {
                    m_line += padding + row[c];
                }
            }
            // A row without a reason ends at its time.
            while (!m_line.empty() && m_line.back() == ' ')
                m_line.pop_back();
            m_line += '\n';
            std::fwrite(m_line.data(), 1, m_line.size(), m_out);
        }
        m_table.clear();
    }
    std::fflush(m_out);
}

}  // namespace zr
