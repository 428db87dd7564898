// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of a scan on standard output: an aligned table for people, or one line per row as
// tab-separated cells or as a JSON object for scripts.
#pragma once

#include <array>
#include <cstdio>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "scan/command_view.h"
#include "scan/preview_text.h"

namespace zr {

// Tab-separated rows are written as they come; a table is written by finish(), when the widths
// of its columns are known. JSON rows, and tab-separated ones with the conflicts shown, carry
// what Go will do with the entry, known once its folder has been listed through: they are
// written when settle() says so, a folder's rows in their order, after those of the folders
// inside it. Names appear as escapeTsv() writes them in a table and in tab-separated rows, and
// as appendJson() writes them in JSON.
class PreviewPrinter {
public:
    // `format` is Table, Tsv or Json; `clock` gives the user's date and time formats.
    // `showConflicts` adds a sixth column to tab-separated rows: why the rename will fail.
    PreviewPrinter(OutputFormat format, std::FILE* out, Clock& clock, bool showConflicts = false);

    void add(const PreviewRow& row);
    // The rows of `outcomes` (counted from the first added after clear()) are final; `folder`
    // is where their entries lie.
    void settle(std::string_view folder, std::span<const RowOutcome> outcomes);
    void clear();
    void finish();

private:
    std::array<std::string, 5> cells(const PreviewRow& row);
    void writeRow(const PreviewRow& row, std::string_view folder);

    OutputFormat m_format;
    std::FILE* m_out;
    bool m_showConflicts;
    std::vector<PreviewRow> m_table;
    // Rows waiting for their folder's listing to end, with their indexes, in the order they
    // came. A folder's rows settle after those of the folders inside it, so they are the last
    // ones waiting: only the folders open in the walk have rows here.
    std::vector<std::pair<std::size_t, PreviewRow>> m_waiting;
    std::size_t m_added = 0;
    std::string m_line;
    PreviewText m_text;
};

}  // namespace zr
