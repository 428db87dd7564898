// The rows of a scan on standard output: an aligned table for people, or one line per row as
// tab-separated cells or as a JSON object for scripts.
#pragma once

#include <array>
#include <cstdio>
#include <vector>

#include "cli/command_line.h"
#include "scan/command_view.h"
#include "scan/preview_text.h"

namespace zr {

// Tab-separated and JSON rows are written as they come; a table is written by finish(), when
// the widths of its columns are known. Names appear as escapeTsv() writes them in a table and in
// tab-separated rows, and as appendJson() writes them in JSON.
class PreviewPrinter {
public:
    // `format` is Table, Tsv or Json; `clock` gives the user's date and time formats.
    PreviewPrinter(OutputFormat format, std::FILE* out, Clock& clock);

    void add(const PreviewRow& row);
    void clear();
    void finish();

private:
    std::array<std::string, 5> cells(const PreviewRow& row);

    OutputFormat m_format;
    std::FILE* m_out;
    std::vector<PreviewRow> m_table;
    std::string m_line;
    PreviewText m_text;
};

}  // namespace zr
