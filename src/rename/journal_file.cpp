#include "rename/journal_file.h"

#include <charconv>

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

bool parseJournal(std::string_view text, UndoJournal& journal, std::string& error) {
    journal.clear();
    std::size_t lineNumber = 0;
    bool ended = false;
    std::string oldFullPath;
    std::string newName;
    std::string reason;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        journal.clear();
        return false;
    };
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t lineEnd = text.find('\n');
        if (lineEnd == std::string_view::npos) {
            if (ended && isCutFailedLine(text))
                break;
            return fail("the line has no end (the file was cut short)");
        }
        const std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd + 1);

        if (lineNumber == 1) {
            if (line != kJournalHeader)
                return fail("this is not an undo journal of zentarel-renamer");
            continue;
        }
        if (ended) {
            const std::size_t entry = failedEntry(line);
            if (entry == 0 || entry > journal.size())
                return fail("text after the end line");
            journal.markFailed(entry - 1);
            continue;
        }
        if (line.starts_with("end ")) {
            if (line != endLine(journal.size()))
                return fail("the end line counts other entries than the file holds");
            ended = true;
            continue;
        }
        const std::size_t separator = findSeparator(line);
        if (separator == std::string_view::npos)
            return fail("no \"*\" between the old path and the new name");
        if (findSeparator(line.substr(separator + 1)) != std::string_view::npos)
            return fail("more than one unescaped \"*\"");
        if (!unescape(line.substr(0, separator), oldFullPath, reason) ||
            !unescape(line.substr(separator + 1), newName, reason))
            return fail(reason);
        if (oldFullPath.empty() || oldFullPath.front() != '/')
            return fail("the old path is not absolute");
        if (newName.empty())
            return fail("the new name is empty");
        journal.appendEntry(oldFullPath, newName);
    }
    if (lineNumber == 0) {
        error = "the file is empty";
        return false;
    }
    if (!ended)
        return fail("the end line is missing (the file was cut short)");
    return true;
}

}  // namespace zr
