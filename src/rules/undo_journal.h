// SPDX-License-Identifier: GPL-3.0-or-later
// The planned renames of a Go run, in the order the walk met them; after the run they are the
// undo data. An entry reads as the old full path, "*" and the new name, and carries the identity
// of the entry and of its folder as the walk saw them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_id.h"

namespace zr {

// One planned rename. The old full path is the directory walked, "/" and the old name; the new
// name is a bare name. The entry keeps where its two parts meet, because on this platform a
// name may itself hold "*".
class JournalEntry {
public:
    JournalEntry(std::string_view oldFullPath, std::string_view newName)
        : m_oldFullPath(oldFullPath), m_newName(newName) {}

    // Splits an entry's text at its first "*" (the form of the entry when it was read back from
    // text that does not mark the separator otherwise).
    static JournalEntry fromText(std::string_view text);

    std::string_view oldFullPath() const { return m_oldFullPath; }
    std::string_view newName() const { return m_newName; }
    // The old full path up to and including its last "/".
    std::string_view directoryPart() const;
    // The old full path after its last "/".
    std::string_view oldName() const;
    // The directory part followed by the new name.
    std::string newFullPath() const;
    // Old full path, "*", new name.
    std::string text() const;

private:
    std::string_view m_oldFullPath;
    std::string_view m_newName;
};

// An append-only list of entries. The texts live in large shared blocks rather than one
// allocation per entry, so a run that queues a million renames needs little more memory than
// the texts themselves.
class UndoJournal {
public:
    UndoJournal() = default;
    UndoJournal(UndoJournal&&) = default;
    UndoJournal& operator=(UndoJournal&&) = default;

    // Appends the entry for `oldName` in `directory` (the directory as the walk reports it, so
    // the root "/" gives "//name").
    void append(std::string_view directory, std::string_view oldName, std::string_view newName);
    // Appends an entry whose old full path is already formed.
    void appendEntry(std::string_view oldFullPath, std::string_view newName);

    std::size_t size() const { return m_slots.size(); }
    bool empty() const { return m_slots.empty(); }
    JournalEntry operator[](std::size_t index) const;
    void clear();

    // The identities the walk saw: of the entry `index` (unknown when it could not be told) and
    // of its folder. A journal whose entries have them is identified(): an undo renames back
    // only those very entries.
    void identify(std::size_t index, const FileId& entry, const FileId& folder);
    bool identified() const { return m_identified; }
    FileId entryId(std::size_t index) const;
    FileId folderId(std::size_t index) const {
        const std::uint32_t f = m_slots[index].folder;
        return f == 0 ? FileId{} : m_folders[f - 1];
    }

    // Where a change of letter case alone goes on its way (a file system that ignores case): the
    // name in the entry's folder made of this prefix and the entry's number (counted from 1),
    // decided before the run so that the journal knows it. Empty: none decided (an older
    // journal).
    void setDetourPrefix(std::string prefix) { m_detourPrefix = std::move(prefix); }
    const std::string& detourPrefix() const { return m_detourPrefix; }
    // The start directory of the run, so that a list of journals can say which run each is;
    // empty when not known (an older journal).
    void setStartFolder(std::string folder) { m_startFolder = std::move(folder); }
    const std::string& startFolder() const { return m_startFolder; }
    std::string temporaryName(std::size_t index) const;

    // Marks the entry whose rename failed: it was never done, so nothing may undo it.
    void markFailed(std::size_t index);
    bool failed(std::size_t index) const { return index < m_failed.size() && m_failed[index]; }
    std::size_t failedCount() const { return m_failedCount; }

    // Bytes held for the entries, for measuring.
    std::size_t bytesReserved() const;

private:
    // Small, for a million entries: the entry's inode in two halves; its device is its folder's,
    // but for the few entries (mount points) listed in m_otherDevices.
    struct Slot {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t oldLength;
        std::uint32_t newLength;
        std::uint32_t folder;  // its place in m_folders, counted from 1; 0 when unknown
        std::uint32_t inodeLow;
        std::uint32_t inodeHigh;
    };
    static constexpr std::size_t kBlockSize = 256 * 1024;

    char* reserve(std::size_t length, Slot& slot);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::size_t> m_blockSizes;
    std::size_t m_used = 0;  // bytes used in the last block
    std::vector<Slot> m_slots;
    // The folders of the entries, one element for a run of entries in one folder.
    std::vector<FileId> m_folders;
    // Entries (by index, ascending) on another device than their folder, or with no folder.
    std::vector<std::pair<std::size_t, std::uint64_t>> m_otherDevices;
    bool m_identified = false;
    std::string m_detourPrefix;
    std::string m_startFolder;
    // Sized only once an entry fails.
    std::vector<bool> m_failed;
    std::size_t m_failedCount = 0;
};

}  // namespace zr
