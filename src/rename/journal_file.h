// SPDX-License-Identifier: GPL-3.0-or-later
// The journal file of a Go run: its undo data on disk, so that it outlives the process (the
// command line's `go --journal`, and the window's journal in the user's state folder). Written,
// read and opened for an undo here only.
//
//   zentarel-renamer journal 2
//   detour .zentarel-rename-5f3a9c1e-
//   start /photos
//   folder 2049:131074 /photos
//   131099 IMG\*1.JPG*img\*1.jpg
//   end 1
//
// The "start" line names the run's start directory, for a list of journals to say which run
// each is; it may be missing. A "folder" line gives the device and inode of a folder and its path;
// the entries after it lie in that folder, one per line: the entry's device and inode (the inode
// alone when the device is the folder's), the old name, "*", the new name ("-" stands for an
// identity the walk could not tell). The detour prefix and the entry's number (counted from 1) make
// the temporary name a change of letter case alone goes through. In names and paths a backslash,
// "*", tab, line feed and carriage return are escaped ("\\", "\*", "\t",
// "\n", "\r"), and every other control byte and every byte that is not valid UTF-8 is written as
// "\xHH"; so the separator is the only bare "*" of a line and every name reads back byte for
// byte. The end line counts the entries, so a file cut short is noticed. After the renames, one
// line "failed K" follows for each entry K whose rename failed: it was never done, so undo
// leaves it alone.
//
// Journals of version 1 have no identities: one line per entry, the old full path, "*" and the
// new name. They are still read, and undone as they were.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "rules/undo_journal.h"

namespace zr {

class FileLock;
class FileSystem;
class InputFile;
class OutputFile;

// Writes the whole journal, up to its end line, and waits until it is on the disk; the file stays
// open for appendFailures(). A journal with identities is written in version 2, one without in
// version 1. Returns 0 or the errno of the first write that failed.
int writeJournal(OutputFile& file, const UndoJournal& journal);

// Appends the "failed" lines of the entries marked as failed and waits until they are on the
// disk. Returns 0 or the errno.
int appendFailures(OutputFile& file, const UndoJournal& journal);

// The whole text of a journal: its entries, the end line and a "failed" line for each entry
// marked as failed.
std::string journalText(const UndoJournal& journal);

// The longest line a journal is read with: far more than any entry's line can need.
constexpr std::size_t kMaxJournalLine = 1024 * 1024;

// Reads a journal's text line by line into `journal`, failed entries marked. An entry whose new
// name the run refuses (empty, "." or "..", holding "/") is marked as failed too: it was never
// renamed.
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
    bool addEntry(std::string_view line);

    UndoJournal& m_journal;
    int m_version = 0;
    std::size_t m_lineNumber = 0;
    bool m_ended = false;
    bool m_cut = false;
    std::string m_error;
    std::string m_folder;  // version 2: the folder of the entries that follow
    FileId m_folderId;
    bool m_inFolder = false;
    std::string m_oldFullPath;
    std::string m_newName;
};

// Reads a journal file line by line into `journal`, failed entries marked. False when it cannot
// be read, with `error` the errno and `reason` the number of a line too long, or when it is no
// journal written by writeJournal, with `error` 0 and `reason` naming the line and what is wrong
// with it.
bool readJournal(InputFile& file, UndoJournal& journal, int& error, std::string& reason);

// Opens the journal file `path` for an undo: takes its lock (EWOULDBLOCK while a running window
// or go holds it; a symbolic link is refused with ELOOP, since the file it names would be locked
// under another name) and reads it through the descriptor that holds the lock. False, with
// `error` and `reason` as readJournal() sets them, when it cannot be locked or used.
bool openJournal(FileSystem& fileSystem, const std::string& path, UndoJournal& journal,
                 std::unique_ptr<FileLock>& lock, int& error, std::string& reason);

// Reads a journal file's text into `journal`, failed entries marked. False, with `error` naming
// the line and what is wrong with it, when the text is not a complete journal written by
// writeJournal. A last "failed" line cut short (the run was killed while recording it) is
// passed over.
bool parseJournal(std::string_view text, UndoJournal& journal, std::string& error);

}  // namespace zr
