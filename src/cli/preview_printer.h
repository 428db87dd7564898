// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of a scan on standard output: an aligned table for people, or one line per row as
// tab-separated cells or as a JSON object for scripts.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "scan/command_view.h"
#include "scan/preview_text.h"

namespace zr {

// Which columns a table and tab-separated rows have beyond the five of the window's list.
struct ExtraColumns {
    // Why the rename will fail (a table shows it whenever a row has a reason).
    bool conflicts = false;
    // The folder the entry lies in.
    bool folder = false;
};

// Tab-separated rows are written as they come; a table is written by finish(), when the widths
// of its columns are known. JSON rows, and tab-separated ones with the conflicts or the folder
// shown, carry what is known once a folder has been listed through (what Go will do with the
// entry, and where it lies): they are written when settle() says so, a folder's rows in their
// order, after those of the folders inside it. Names appear as escapeTsv() writes them in a
// table and in tab-separated rows, and as appendJson() writes them in JSON; JSON rows also give
// the time in ISO 8601 and the entry's type, for programs.
class PreviewPrinter {
public:
    // `format` is Table, Tsv or Json; `clock` gives the user's date and time formats.
    PreviewPrinter(OutputFormat format, std::FILE* out, Clock& clock, ExtraColumns extra = {});

    void add(const PreviewRow& row);
    // The rows of `outcomes` (counted from the first added after clear()) are final; `folder`
    // is where their entries lie.
    void settle(std::string_view folder, std::span<const RowOutcome> outcomes);
    void clear();
    void finish();

private:
    std::array<std::string, 5> cells(const PreviewRow& row);
    void writeRow(const PreviewRow& row, std::string_view folder);
    void writeTable();

    OutputFormat m_format;
    std::FILE* m_out;
    ExtraColumns m_extra;
    std::vector<PreviewRow> m_table;
    // With the folder shown: each table row's folder, as an index into m_folders.
    std::vector<std::uint32_t> m_tableFolder;
    std::vector<std::string> m_folders;
    // Rows waiting for their folder's listing to end, with their indexes, in the order they
    // came. A folder's rows settle after those of the folders inside it, so they are the last
    // ones waiting: only the folders open in the walk have rows here.
    std::vector<std::pair<std::size_t, PreviewRow>> m_waiting;
    std::size_t m_added = 0;
    std::string m_line;
    PreviewText m_text;
};

}  // namespace zr
