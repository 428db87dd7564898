// SPDX-License-Identifier: GPL-3.0-or-later
// The text files the renamer writes: the rename script "renamer.bat", the undo script
// "renamer_undo.bat" and the failure log "renamer_failures.log". Every run takes the next free
// name, lines end with CR LF; the scripts hold names as their bytes, the log escapes them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "rules/undo_journal.h"
#include "scan/rename_outcome.h"

namespace zr {

// The name for `baseName` that no entry of `directory` holds yet: the base name itself, then
// "_1", "_2", ... inserted before its last dot (or at its end when it has none).
std::string UniqueFileName(FileSystem& fileSystem, const std::string& directory,
                           const std::string& baseName);

// A text file created under a free name; a failure to create or write it throws AppError with
// the system's error text. Closing it on destruction swallows errors, so callers close it
// themselves when the outcome matters.
class TextFile {
public:
    // Creates the file under the free name for `baseName` in `directory`, never touching an
    // existing entry. Its lines end with `lineEnd`.
    TextFile(FileSystem& fileSystem, const std::string& directory, const std::string& baseName,
             std::string_view lineEnd = "\r\n");

    // Creates the file without a name, where the file system allows that, until giveName():
    // if the process ends first, nothing is left. Elsewhere it is named at once.
    static TextFile unnamed(FileSystem& fileSystem, const std::string& directory,
                            const std::string& baseName, std::string_view lineEnd = "\r\n");

    // Empty while the file has no name.
    const std::string& name() const { return m_name; }
    const std::string& path() const { return m_path; }
    bool named() const { return !m_name.empty(); }

    // Gives an unnamed file the name that is free for its base name now; what was flushed is in
    // it.
    void giveName();
    // Writes `line` and the line end.
    void writeLine(std::string_view line);
    // Hands what was written to the file, so that a full disk shows now.
    void flush();
    void makeExecutable();
    void close();
    // Closes the file, ignoring errors, and removes it if it has a name.
    void discard();

private:
    TextFile(FileSystem& fileSystem, const std::string& directory, const std::string& baseName,
             std::string_view lineEnd, bool unnamed);

    FileSystem* m_fileSystem;
    std::string m_directory;
    std::string m_baseName;
    std::string m_name;
    std::string m_path;
    std::string m_lineEnd;
    std::unique_ptr<OutputFile> m_file;
};

// The header of a rename or undo script ("rename" or "undo"), three lines.
void writeScriptHeader(TextFile& file, std::string_view kind, const std::string& date,
                       const std::string& time, std::size_t count);

// `rename "<old full path>" "<new name>"`, with every "%" doubled so the command interpreter
// does not expand it.
std::string renameScriptLine(const JournalEntry& entry);
// `rename "<new full path>" "<old name>"`, likewise.
std::string undoScriptLine(const JournalEntry& entry);

// Whether a script line can hold the entry: a path or name with a double quote or a control
// byte would end its quotes or its line and turn the rest of the name into commands.
bool isScriptable(const JournalEntry& entry);

// Whether `path` lies inside the directory `directory` (the root's entries read "//name").
bool liesInside(std::string_view path, std::string_view directory);

// The failure-log line of a rename that failed: `from`, " -> ", `to`, where the entry was left
// when a detour through a temporary name could not be undone, and why, when the run's own checks
// refused it (`error`, of platform/file_id.h). Names are shown, never obeyed: their control bytes
// and backslashes are escaped as in tab-separated output, so no name can begin a line of its own.
std::string failureLine(std::string_view from, std::string_view to, std::string_view strandedAt,
                        int error = 0);
// The failure-log line of an entry the rules gave no new name: `from` and " (not renamed: ",
// `reason`, ")".
std::string ruleFailureLine(std::string_view from, std::string_view reason);

}  // namespace zr
