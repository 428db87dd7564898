// The journal file of a Go run: its undo data on disk, so that a later `undo` can reverse it.
//
//   zentarel-renamer journal 1
//   /photos/IMG\*1.JPG*img\*1.jpg
//   end 1
//
// One entry per line: the old full path, "*", the new name. In both parts a backslash, "*", tab,
// line feed and carriage return are escaped ("\\", "\*", "\t", "\n", "\r"), and every other
// control byte and every byte that is not valid UTF-8 is written as "\xHH"; so the separator is
// the only bare "*" of a line and every name reads back byte for byte. The last line counts the
// entries, so a file cut short is noticed.
#pragma once

#include <string>
#include <string_view>

#include "rules/undo_journal.h"

namespace zr {

class OutputFile;

extern const char* const kJournalHeader;

// Writes the whole journal file. Returns 0 or the errno of the first write that failed.
int writeJournal(OutputFile& file, const UndoJournal& journal);

// One entry's line, without its line feed.
std::string journalLine(const JournalEntry& entry);

// Reads a journal file's text into `journal`. False, with `error` naming the line and what is
// wrong with it, when the text is not a complete journal written by writeJournal.
bool parseJournal(std::string_view text, UndoJournal& journal, std::string& error);

}  // namespace zr
