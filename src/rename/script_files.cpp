// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/script_files.h"

#include <cerrno>

#include "rules/app_error.h"
#include "rules/escaped_text.h"

namespace zr {

namespace {

std::string candidateName(const std::string& baseName, int attempt) {
    if (attempt == 0)
        return baseName;
    const std::string number = "_" + std::to_string(attempt);
    const std::size_t dot = baseName.rfind('.');
    if (dot == std::string::npos)
        return baseName + number;
    return baseName.substr(0, dot) + number + baseName.substr(dot);
}

std::string doublePercent(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

}  // namespace

std::string UniqueFileName(FileSystem& fileSystem, const std::string& directory,
                           const std::string& baseName) {
    for (int attempt = 0;; ++attempt) {
        std::string candidate = candidateName(baseName, attempt);
        if (!fileSystem.exists(pathInDirectory(directory, candidate)))
            return candidate;
    }
}

TextFile::TextFile(FileSystem& fileSystem, const std::string& directory,
                   const std::string& baseName, std::string_view lineEnd)
    : TextFile(fileSystem, directory, baseName, lineEnd, false) {}

TextFile TextFile::unnamed(FileSystem& fileSystem, const std::string& directory,
                           const std::string& baseName, std::string_view lineEnd) {
    return TextFile(fileSystem, directory, baseName, lineEnd, true);
}

TextFile::TextFile(FileSystem& fileSystem, const std::string& directory,
                   const std::string& baseName, std::string_view lineEnd, bool unnamed)
    : m_fileSystem(&fileSystem), m_directory(directory), m_baseName(baseName), m_lineEnd(lineEnd) {
    int error = 0;
    if (unnamed) {
        m_file = fileSystem.createUnnamedFile(pathInDirectory(directory, baseName), error);
        if (m_file)
            return;
        if (error != EOPNOTSUPP)
            throw AppError(systemErrorText(error));
    }
    // Another program may take the free name between the test and the creation; the creation
    // is exclusive, so then the next free name is tried.
    for (int tries = 0;; ++tries) {
        m_name = UniqueFileName(fileSystem, directory, baseName);
        m_path = pathInDirectory(directory, m_name);
        m_file = fileSystem.createFile(m_path, error);
        if (m_file)
            return;
        if (error != EEXIST || tries >= 100)
            throw AppError(systemErrorText(error));
    }
}

void TextFile::giveName() {
    for (int tries = 0; !named(); ++tries) {
        const std::string name = UniqueFileName(*m_fileSystem, m_directory, m_baseName);
        const std::string path = pathInDirectory(m_directory, name);
        const int error = m_file->giveName(path);
        if (error == 0) {
            m_name = name;
            m_path = path;
        } else if (error != EEXIST || tries >= 100) {
            throw AppError(systemErrorText(error));
        }
    }
}

void TextFile::discard() {
    m_file->close();
    if (named())
        m_fileSystem->removeFile(m_path);
}

void TextFile::writeLine(std::string_view line) {
    std::string bytes(line);
    bytes += m_lineEnd;
    if (const int error = m_file->write(bytes))
        throw AppError(systemErrorText(error));
}

void TextFile::makeExecutable() {
    if (const int error = m_file->makeExecutable())
        throw AppError(systemErrorText(error));
}

void TextFile::flush() {
    if (const int error = m_file->flush())
        throw AppError(systemErrorText(error));
}

void TextFile::close() {
    if (const int error = m_file->close())
        throw AppError(systemErrorText(error));
}

void writeScriptHeader(TextFile& file, std::string_view kind, const std::string& date,
                       const std::string& time, std::size_t count) {
    file.writeLine("@echo off");
    file.writeLine("rem Renamer " + std::string(kind) + " file from " + date + " " + time);
    file.writeLine("rem to " + std::string(kind) + " queued " + std::to_string(count) + " file(s)");
}

std::string renameScriptLine(const JournalEntry& entry) {
    return "rename \"" + doublePercent(entry.oldFullPath()) + "\" \"" +
           doublePercent(entry.newName()) + "\"";
}

std::string undoScriptLine(const JournalEntry& entry) {
    return "rename \"" + doublePercent(entry.newFullPath()) + "\" \"" +
           doublePercent(entry.oldName()) + "\"";
}

bool isScriptable(const JournalEntry& entry) {
    const auto quotable = [](std::string_view text) {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || byte < 32 || byte == 127)
                return false;
        }
        return true;
    };
    return quotable(entry.oldFullPath()) && quotable(entry.newName());
}

bool liesInside(std::string_view path, std::string_view directory) {
    while (directory.starts_with("//"))
        directory.remove_prefix(1);
    while (path.starts_with("//"))
        path.remove_prefix(1);
    return path.size() > directory.size() + 1 && path.starts_with(directory) &&
           path[directory.size()] == '/';
}

std::string failureLine(std::string_view from, std::string_view to, std::string_view strandedAt,
                        int error) {
    std::string line;
    appendEscaped(line, from);
    line += " -> ";
    appendEscaped(line, to);
    if (!strandedAt.empty()) {
        line += " (left as ";
        appendEscaped(line, strandedAt);
        line += ")";
    }
    if (error == kErrorFolderChanged)
        line += " (folder changed since the walk)";
    else if (error == kErrorNotTheEntry)
        line += " (not the file the run renamed)";
    return line;
}

std::string ruleFailureLine(std::string_view from, std::string_view reason) {
    std::string line;
    appendEscaped(line, from);
    line += " (not renamed: ";
    line += reason;
    line += ")";
    return line;
}

}  // namespace zr
