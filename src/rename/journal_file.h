// The journal file of a Go run: its undo data on disk, so that it outlives the process (the
// command line's `go --journal`, and the window's journal in the user's state folder).
//
//   zentarel-renamer journal 1
//   /photos/IMG\*1.JPG*img\*1.jpg
//   end 1
//
// One entry per line: the old full path, "*", the new name. In both parts a backslash, "*", tab,
// line feed and carriage return are escaped ("\\", "\*", "\t", "\n", "\r"), and every other
// control byte and every byte that is not valid UTF-8 is written as "\xHH"; so the separator is
// the only bare "*" of a line and every name reads back byte for byte. The end line counts the
// entries, so a file cut short is noticed. After the renames, one line "failed K" follows for
// each entry K (counted from 1) whose rename failed: it was never done, so undo leaves it alone.
#pragma once

#include <string>
#include <string_view>

#include "rules/undo_journal.h"

namespace zr {

class OutputFile;

extern const char* const kJournalHeader;

// Writes the whole journal, up to its end line, and waits until it is on the disk; the file stays
// open for appendFailures(). Returns 0 or the errno of the first write that failed.
int writeJournal(OutputFile& file, const UndoJournal& journal);

// Appends the "failed" lines of the entries marked as failed and waits until they are on the
// disk. Returns 0 or the errno.
int appendFailures(OutputFile& file, const UndoJournal& journal);

// One entry's line, without its line feed.
std::string journalLine(const JournalEntry& entry);

// Reads a journal file's text into `journal`, failed entries marked. False, with `error` naming
// the line and what is wrong with it, when the text is not a complete journal written by
// writeJournal. A last "failed" line cut short (the run was killed while recording it) is
// passed over.
bool parseJournal(std::string_view text, UndoJournal& journal, std::string& error);

}  // namespace zr
