#include "cli/preview_printer.h"

#include <algorithm>
#include <array>

#include "cli/name_text.h"

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

PreviewPrinter::PreviewPrinter(OutputFormat format, std::FILE* out, Clock& clock)
    : m_format(format), m_out(out), m_text(clock) {}

std::array<std::string, kColumns> PreviewPrinter::cells(const PreviewRow& row) {
    return {escapeTsv(row.currentName), escapeTsv(row.newName), PreviewText::size(row),
            escapeTsv(m_text.date(row)), escapeTsv(m_text.time(row))};
}

void PreviewPrinter::add(const PreviewRow& row) {
    m_line.clear();
    switch (m_format) {
        case OutputFormat::Automatic:
        case OutputFormat::Table:
            m_table.push_back(row);
            return;
        case OutputFormat::Tsv:
            for (const std::string& cell : cells(row)) {
                if (!m_line.empty())
                    m_line += '\t';
                m_line += cell;
            }
            break;
        case OutputFormat::Json:
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
            m_line += '}';
            break;
    }
    m_line += '\n';
    std::fwrite(m_line.data(), 1, m_line.size(), m_out);
}

void PreviewPrinter::clear() {
    m_table.clear();
}

void PreviewPrinter::finish() {
    const bool table = m_format == OutputFormat::Table || m_format == OutputFormat::Automatic;
    // A scan that found nothing prints no table, not a lone header.
    if (table && !m_table.empty()) {
        std::vector<std::array<std::string, kColumns>> rows;
        rows.reserve(m_table.size() + 1);
        rows.push_back({kCaptions[0], kCaptions[1], kCaptions[2], kCaptions[3], kCaptions[4]});
        for (const PreviewRow& row : m_table)
            rows.push_back(cells(row));
        std::array<std::size_t, kColumns> widths{};
        for (const auto& row : rows) {
            for (std::size_t c = 0; c < kColumns; ++c)
                widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
        for (const auto& row : rows) {
            m_line.clear();
            for (std::size_t c = 0; c < kColumns; ++c) {
                const std::string padding(widths[c] - displayWidth(row[c]), ' ');
                if (c > 0)
                    m_line += "  ";
                // Names are left-aligned; size, date and time right-aligned as in the window.
                if (c < 2) {
                    m_line += row[c];
                    if (c + 1 < kColumns)
                        m_line += padding;
                } else {
                    m_line += padding + row[c];
                }
            }
            m_line += '\n';
            std::fwrite(m_line.data(), 1, m_line.size(), m_out);
        }
        m_table.clear();
    }
    std::fflush(m_out);
}

}  // namespace zr
