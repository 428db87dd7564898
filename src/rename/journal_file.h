// SPDX-License-Identifier: GPL-3.0-or-later
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

class FileSystem;
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

// The whole text of a journal: its entries, the end line and a "failed" line for each entry
// marked as failed.
std::string journalText(const UndoJournal& journal);

// The longest line a journal is read with: far more than any entry's line can need.
constexpr std::size_t kMaxJournalLine = 1024 * 1024;

// Reads a journal's text line by line into `journal`, failed entries marked.
class JournalReader {
public:
    explicit JournalReader(UndoJournal& journal);

    // Takes the next line, its line feed included (only the last line may lack one). False, with
    // error() naming the line and what is wrong with it, when the text is not a journal written
    // by writeJournal.
    bool addLine(std::string_view line);
    // After the last line. False when the text ended before the journal did.
    bool finish();
    // The line being read, counted from 1.
    std::size_t lineNumber() const { return m_lineNumber; }
    const std::string& error() const { return m_error; }

private:
    bool fail(const std::string& what);

    UndoJournal& m_journal;
    std::size_t m_lineNumber = 0;
    bool m_ended = false;
    bool m_cut = false;
    std::string m_error;
    std::string m_oldFullPath;
    std::string m_newName;
};

// Reads the journal file at `path` line by line into `journal`, failed entries marked. False when
// it cannot be read, with `error` the errno (what FileSystem::openTextFile refuses included) and
// `reason` the number of a line too long, or when it is no journal written by writeJournal,
// with `error` 0 and `reason` naming the line and what is wrong with it.
bool readJournalFile(FileSystem& fileSystem, const std::string& path, UndoJournal& journal,
                     int& error, std::string& reason);

// Reads a journal file's text into `journal`, failed entries marked. False, with `error` naming
// the line and what is wrong with it, when the text is not a complete journal written by
// writeJournal. A last "failed" line cut short (the run was killed while recording it) is
// passed over.
bool parseJournal(std::string_view text, UndoJournal& journal, std::string& error);

}  // namespace zr
