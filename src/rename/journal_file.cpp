// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/journal_file.h"

#include <cerrno>
#include <charconv>
#include <memory>

#include "platform/file_system.h"
#include "rules/escaped_text.h"

namespace zr {

const char* const kJournalHeader = "zentarel-renamer journal 1";

namespace {

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

constexpr std::string_view kFailedPrefix = "failed ";

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

}  // namespace

std::string journalLine(const JournalEntry& entry) {
    std::string line;
    appendEscaped(line, entry.oldFullPath(), true);
    line += '*';
    appendEscaped(line, entry.newName(), true);
    return line;
}

int writeJournal(OutputFile& file, const UndoJournal& journal) {
    std::string chunk = std::string(kJournalHeader) + "\n";
    for (std::size_t i = 0; i < journal.size(); ++i) {
        chunk += journalLine(journal[i]);
        chunk += '\n';
        if (chunk.size() >= kWriteChunk) {
            if (const int error = file.write(chunk))
                return error;
            chunk.clear();
        }
    }
    chunk += endLine(journal.size()) + "\n";
    if (const int error = file.write(chunk))
        return error;
    return file.sync();
}

int appendFailures(OutputFile& file, const UndoJournal& journal) {
    if (journal.failedCount() == 0)
        return 0;
    std::string text;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal.failed(i))
            text.append(kFailedPrefix).append(std::to_string(i + 1)).append("\n");
    }
    if (const int error = file.write(text))
        return error;
    return file.sync();
}

std::string journalText(const UndoJournal& journal) {
    std::string text = std::string(kJournalHeader) + "\n";
    for (std::size_t i = 0; i < journal.size(); ++i)
        text.append(journalLine(journal[i])).append("\n");
    text += endLine(journal.size()) + "\n";
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal.failed(i))
            text.append(kFailedPrefix).append(std::to_string(i + 1)).append("\n");
    }
    return text;
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
        if (line != kJournalHeader)
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
    const std::size_t separator = findSeparator(line);
    if (separator == std::string_view::npos)
        return fail("no \"*\" between the old path and the new name");
    if (findSeparator(line.substr(separator + 1)) != std::string_view::npos)
        return fail("more than one unescaped \"*\"");
    std::string reason;
    if (!unescape(line.substr(0, separator), m_oldFullPath, reason) ||
        !unescape(line.substr(separator + 1), m_newName, reason))
        return fail(reason);
    if (m_oldFullPath.empty() || m_oldFullPath.front() != '/')
        return fail("the old path is not absolute");
    if (m_newName.empty())
        return fail("the new name is empty");
    m_journal.appendEntry(m_oldFullPath, m_newName);
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

bool readJournalFile(FileSystem& fileSystem, const std::string& path, UndoJournal& journal,
                     int& error, std::string& reason) {
    const std::unique_ptr<InputFile> file = fileSystem.openTextFile(path, error);
    JournalReader reader(journal);
    std::string line;
    while (file && (error = file->readLine(line, kMaxJournalLine)) == 0 && !line.empty()) {
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
