// SPDX-License-Identifier: GPL-3.0-or-later
// The rename and undo scripts as POSIX shell scripts ("renamer.sh", "renamer_undo.sh"), which
// the command line writes in place of the .bat files when asked: LF line ends, every name
// single-quoted so that no byte of it is interpreted, one `mv -n` per entry.
#pragma once

#include <string>
#include <string_view>

#include "rename/script_files.h"
#include "rules/undo_journal.h"

namespace zr {

// `bytes` between single quotes, each "'" written as '\'' : the shell takes every other byte
// (a newline, "$", "`", "\", a byte that is not UTF-8) as it is.
std::string shellQuoted(std::string_view bytes);

// The opening of a rename or undo script ("rename" or "undo"): the interpreter line, the date
// and the count as the .bat header words them, what the script does when a name is taken, and
// the function its lines use.
void writeShellScriptHeader(TextFile& file, std::string_view kind, const std::string& date,
                            const std::string& time, std::size_t count);
// The script's last line: its exit status says whether every entry was renamed.
void writeShellScriptEnd(TextFile& file);

// `taken 'NEW_FULL_PATH' || mv -n -- 'OLD_FULL_PATH' 'NEW_FULL_PATH' || failed=1`
std::string shellRenameLine(const JournalEntry& entry);
// The same from the new full path back to the old one.
std::string shellUndoLine(const JournalEntry& entry);

}  // namespace zr
