// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/journal_file.h"

#include <cerrno>
#include <charconv>
#include <memory>

#include "platform/file_system.h"
#include "rules/escaped_text.h"
#include "scan/rename_outcome.h"

namespace zr {

namespace {

constexpr std::string_view kHeaderStart = "zentarel-renamer journal ";
constexpr std::string_view kFolderPrefix = "folder ";
constexpr std::string_view kDetourPrefix = "detour ";
constexpr std::string_view kStartPrefix = "start ";
constexpr std::string_view kFailedPrefix = "failed ";
// The temporary names of a run's detours begin so; a journal names no others.
constexpr std::string_view kTemporaryStart = ".zentarel-rename-";
constexpr std::size_t kWriteChunk = 64 * 1024;

// The position of the first "*" that no backslash escapes, or npos.
std::size_t findSeparator(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == '*')
            return i;
    }
    return std::string_view::npos;
}

std::string endLine(std::size_t count) {
    return "end " + std::to_string(count);
}

// The entry number of a "failed K" line, or 0 when the line is not one.
std::size_t failedEntry(std::string_view line) {
    if (!line.starts_with(kFailedPrefix))
        return 0;
    line.remove_prefix(kFailedPrefix.size());
    std::size_t number = 0;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), number);
    return ec == std::errc{} && end == line.data() + line.size() ? number : 0;
}

// Whether `line` is the start of a "failed K" line.
bool isCutFailedLine(std::string_view line) {
    if (kFailedPrefix.starts_with(line))
        return true;
    return line.starts_with(kFailedPrefix) &&
           line.find_first_not_of("0123456789", kFailedPrefix.size()) == std::string_view::npos;
}

// Whether `name` is one name of a folder: not empty, no "/", not "." or "..".
bool isOneName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// Whether `folder` is a folder's path as a walk gives it: "/" or "/a/b", with no empty, "." or
// ".." part.
bool isFolderPath(std::string_view folder) {
    if (folder == "/")
        return true;
    if (!folder.starts_with('/'))
        return false;
    for (std::size_t start = 1; start <= folder.size();) {
        std::size_t end = folder.find('/', start);
        if (end == std::string_view::npos)
            end = folder.size();
        if (!isOneName(folder.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

// The folder part of an entry's old full path (the root's entries read "//name") and its name.
bool splitRunPath(std::string_view path, std::string_view& folder, std::string_view& name) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0)
        return false;
    folder = path.substr(0, slash);
    name = path.substr(slash + 1);
    return isFolderPath(folder) && isOneName(name);
}

// An identity as "DEVICE:INODE", or the inode alone where the device is `folder`'s; "-" for
// one not known.
void appendId(std::string& out, const FileId& id, const FileId& folder = {}) {
    if (!id.known()) {
        out += '-';
        return;
    }
    char text[24];
    if (!folder.known() || id.device != folder.device) {
        out.append(text, std::to_chars(text, text + sizeof text, id.device).ptr);
        out += ':';
    }
    out.append(text, std::to_chars(text, text + sizeof text, id.inode).ptr);
}

bool parseNumber(std::string_view text, std::uint64_t& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

// Reads what appendId() wrote; an inode alone lies on `folder`'s device.
bool parseId(std::string_view text, FileId& id, const FileId& folder = {}) {
    id = FileId{};
    if (text == "-")
        return true;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        id.device = folder.device;
        return folder.known() && parseNumber(text, id.inode);
    }
    return parseNumber(text.substr(0, colon), id.device) &&
           parseNumber(text.substr(colon + 1), id.inode) && id.known();
}

std::string failedLines(const UndoJournal& journal) {
    std::string text;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal.failed(i))
            text.append(kFailedPrefix).append(std::to_string(i + 1)).append("\n");
    }
    return text;
}

// Writes the header and the entries, chunk by chunk, through `put`; returns 0 or its errno.
template <class Put>
int writeEntries(const UndoJournal& journal, Put put) {
    const bool identified = journal.identified();
    std::string chunk;
    chunk.reserve(kWriteChunk * 2);
    chunk += kHeaderStart;
    chunk += identified ? "2\n" : "1\n";
    if (identified && !journal.detourPrefix().empty()) {
        chunk += kDetourPrefix;
        appendEscaped(chunk, journal.detourPrefix(), true);
        chunk += '\n';
    }
    if (!journal.startFolder().empty()) {
        chunk += kStartPrefix;
        appendEscaped(chunk, journal.startFolder(), true);
        chunk += '\n';
    }
    std::string_view lastFolder;
    FileId lastFolderId;
    bool anyFolder = false;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        const JournalEntry entry = journal[i];
        if (!identified) {
            appendEscaped(chunk, entry.oldFullPath(), true);
        } else {
            // The folder as the walk gave it ("/" for the root's "//name"), and the name.
            const std::string_view path = entry.oldFullPath();
            const std::size_t slash = path.rfind('/');
            const std::string_view folder = path.substr(0, slash == 1 ? 1 : slash);
            const std::string_view name = path.substr(slash + 1);
            const FileId folderId = journal.folderId(i);
            if (!anyFolder || folder != lastFolder || folderId != lastFolderId) {
                chunk += kFolderPrefix;
                appendId(chunk, folderId);
                chunk += ' ';
                appendEscaped(chunk, folder, true);
                chunk += '\n';
                lastFolder = folder;
                lastFolderId = folderId;
                anyFolder = true;
            }
            appendId(chunk, journal.entryId(i), folderId);
            chunk += ' ';
            appendEscaped(chunk, name, true);
        }
        chunk += '*';
        appendEscaped(chunk, entry.newName(), true);
        chunk += '\n';
        if (chunk.size() >= kWriteChunk) {
            if (const int error = put(chunk))
                return error;
            chunk.clear();
        }
    }
    chunk += endLine(journal.size()) + "\n";
    return put(chunk);
}

}  // namespace

int writeJournal(OutputFile& file, const UndoJournal& journal) {
    if (const int error =
            writeEntries(journal, [&](const std::string& chunk) { return file.write(chunk); }))
        return error;
    return file.sync();
}

int appendFailures(OutputFile& file, const UndoJournal& journal) {
    if (journal.failedCount() == 0)
        return 0;
    if (const int error = file.write(failedLines(journal)))
        return error;
    return file.sync();
}

std::string journalText(const UndoJournal& journal) {
    std::string text;
    writeEntries(journal, [&](const std::string& chunk) {
        text += chunk;
        return 0;
    });
    return text + failedLines(journal);
}

JournalReader::JournalReader(UndoJournal& journal) : m_journal(journal) {
    m_journal.clear();
}

bool JournalReader::fail(const std::string& what) {
    m_error = "line " + std::to_string(m_lineNumber) + ": " + what;
    m_journal.clear();
    return false;
}

bool JournalReader::addLine(std::string_view line) {
    ++m_lineNumber;
    if (!line.ends_with('\n')) {
        // A run killed while it recorded its failures may leave the last line cut short.
        if (m_ended && isCutFailedLine(line)) {
            m_cut = true;
            return true;
        }
        return fail("the line has no end (the file was cut short)");
    }
    line.remove_suffix(1);
    if (m_cut)
        return fail("text after the end line");
    if (m_lineNumber == 1) {
        if (line == std::string(kHeaderStart) + "1")
            m_version = 1;
        else if (line == std::string(kHeaderStart) + "2")
            m_version = 2;
        else
            return fail("this is not an undo journal of zentarel-renamer");
        return true;
    }
    if (m_ended) {
        const std::size_t entry = failedEntry(line);
        if (entry == 0 || entry > m_journal.size())
            return fail("text after the end line");
        m_journal.markFailed(entry - 1);
        return true;
    }
    if (line.starts_with("end ")) {
        if (line != endLine(m_journal.size()))
            return fail("the end line counts other entries than the file holds");
        m_ended = true;
        return true;
    }
    std::string reason;
    if (m_version == 2 && line.starts_with(kDetourPrefix)) {
        std::string prefix;
        if (m_lineNumber != 2 || !unescape(line.substr(kDetourPrefix.size()), prefix, reason) ||
            !prefix.starts_with(kTemporaryStart) || !isOneName(prefix))
            return fail("not a detour a run writes");
        m_journal.setDetourPrefix(std::move(prefix));
        return true;
    }
    // No entry line starts so: an old path begins with "/", a version 2 entry with a digit or "-".
    if (line.starts_with(kStartPrefix)) {
        std::string folder;
        if (m_inFolder || m_journal.size() != 0 || !m_journal.startFolder().empty() ||
            !unescape(line.substr(kStartPrefix.size()), folder, reason) || !isFolderPath(folder))
            return fail("not a start directory as a run writes it");
        m_journal.setStartFolder(std::move(folder));
        return true;
    }
    if (m_version == 2 && line.starts_with(kFolderPrefix)) {
        line.remove_prefix(kFolderPrefix.size());
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos || !parseId(line.substr(0, space), m_folderId) ||
            !unescape(line.substr(space + 1), m_folder, reason) || !isFolderPath(m_folder))
            return fail("not a folder as a run writes it");
        m_inFolder = true;
        return true;
    }
    return addEntry(line);
}

bool JournalReader::addEntry(std::string_view line) {
    FileId id;
    if (m_version == 2) {
        const std::size_t space = line.find(' ');
        if (!m_inFolder)
            return fail("an entry before its folder");
        if (space == std::string_view::npos || !parseId(line.substr(0, space), id, m_folderId))
            return fail("the entry's identity is not one a run writes");
        line.remove_prefix(space + 1);
    }
    const std::size_t separator = findSeparator(line);
    if (separator == std::string_view::npos)
        return fail("no \"*\" between the old path and the new name");
    if (findSeparator(line.substr(separator + 1)) != std::string_view::npos)
        return fail("more than one unescaped \"*\"");
    std::string reason;
    if (!unescape(line.substr(0, separator), m_oldFullPath, reason) ||
        !unescape(line.substr(separator + 1), m_newName, reason))
        return fail(reason);
    if (m_version == 2) {
        if (!isOneName(m_oldFullPath))
            return fail("the old name is not one a run writes");
        m_oldFullPath = m_folder + "/" + m_oldFullPath;
    } else {
        if (m_oldFullPath.empty() || m_oldFullPath.front() != '/')
            return fail("the old path is not absolute");
        std::string_view folder;
        std::string_view name;
        if (!splitRunPath(m_oldFullPath, folder, name))
            return fail("the old path is not one a run writes");
    }
    m_journal.appendEntry(m_oldFullPath, m_newName);
    if (m_version == 2)
        m_journal.identify(m_journal.size() - 1, id, m_folderId);
    // A new name the run refuses was never given.
    if (!isPlainName(m_newName))
        m_journal.markFailed(m_journal.size() - 1);
    return true;
}

bool JournalReader::finish() {
    if (!m_error.empty())
        return false;
    if (m_lineNumber == 0) {
        m_error = "the file is empty";
        return false;
    }
    if (!m_ended)
        return fail("the end line is missing (the file was cut short)");
    return true;
}

bool readJournal(InputFile& file, UndoJournal& journal, int& error, std::string& reason) {
    JournalReader reader(journal);
    std::string line;
    while ((error = file.readLine(line, kMaxJournalLine)) == 0 && !line.empty()) {
        if (!reader.addLine(line))
            break;
    }
    if (error == EOVERFLOW)
        reason = "line " + std::to_string(reader.lineNumber() + 1) + " is longer than " +
                 std::to_string(kMaxJournalLine / (1024 * 1024)) + " MiB";
    if (error != 0) {
        journal.clear();
        return false;
    }
    const bool whole = reader.finish();
    reason = reader.error();
    return whole;
}

bool openJournal(FileSystem& fileSystem, const std::string& path, UndoJournal& journal,
                 std::unique_ptr<FileLock>& lock, int& error, std::string& reason) {
    journal.clear();
    reason.clear();
    lock.reset();
    if ((error = fileSystem.lockFile(path, lock)) != 0)
        return false;
    const std::unique_ptr<InputFile> file = lock->read(error);
    if (!file || !readJournal(*file, journal, error, reason)) {
        lock.reset();
        return false;
    }
    return true;
}

bool parseJournal(std::string_view text, UndoJournal& journal, std::string& error) {
    JournalReader reader(journal);
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        const std::size_t length = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        if (!reader.addLine(text.substr(0, length))) {
            error = reader.error();
            return false;
        }
        text.remove_prefix(length);
    }
    const bool complete = reader.finish();
    error = reader.error();
    return complete;
}

}  // namespace zr
