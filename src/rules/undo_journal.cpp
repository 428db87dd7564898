// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/undo_journal.h"

#include <algorithm>
#include <cstring>

namespace zr {

JournalEntry JournalEntry::fromText(std::string_view text) {
    const std::size_t star = text.find('*');
    if (star == std::string_view::npos)
        return JournalEntry(text, std::string_view{});
    return JournalEntry(text.substr(0, star), text.substr(star + 1));
}

std::string_view JournalEntry::directoryPart() const {
    const std::size_t slash = m_oldFullPath.rfind('/');
    return slash == std::string_view::npos ? std::string_view{}
                                           : m_oldFullPath.substr(0, slash + 1);
}

std::string_view JournalEntry::oldName() const {
    return m_oldFullPath.substr(directoryPart().size());
}

std::string JournalEntry::newFullPath() const {
    std::string path(directoryPart());
    path += m_newName;
    return path;
}

std::string JournalEntry::text() const {
    std::string t(m_oldFullPath);
    t += '*';
    t += m_newName;
    return t;
}

char* UndoJournal::reserve(std::size_t length, Slot& slot) {
    if (m_blocks.empty() || m_used + length > m_blockSizes.back()) {
        const std::size_t size = length > kBlockSize ? length : kBlockSize;
        m_blocks.emplace_back(new char[size]);
        m_blockSizes.push_back(size);
        m_used = 0;
    }
    slot.block = static_cast<std::uint32_t>(m_blocks.size() - 1);
    slot.offset = static_cast<std::uint32_t>(m_used);
    char* p = m_blocks.back().get() + m_used;
    m_used += length;
    return p;
}

void UndoJournal::append(std::string_view directory, std::string_view oldName,
                         std::string_view newName) {
    Slot slot{};
    slot.oldLength = static_cast<std::uint32_t>(directory.size() + 1 + oldName.size());
    slot.newLength = static_cast<std::uint32_t>(newName.size());
    char* p = reserve(slot.oldLength + 1 + slot.newLength, slot);
    std::memcpy(p, directory.data(), directory.size());
    p += directory.size();
    *p++ = '/';
    std::memcpy(p, oldName.data(), oldName.size());
    p += oldName.size();
    *p++ = '*';
    std::memcpy(p, newName.data(), newName.size());
    m_slots.push_back(slot);
}

void UndoJournal::appendEntry(std::string_view oldFullPath, std::string_view newName) {
    Slot slot{};
    slot.oldLength = static_cast<std::uint32_t>(oldFullPath.size());
    slot.newLength = static_cast<std::uint32_t>(newName.size());
    char* p = reserve(slot.oldLength + 1 + slot.newLength, slot);
    std::memcpy(p, oldFullPath.data(), oldFullPath.size());
    p[oldFullPath.size()] = '*';
    std::memcpy(p + oldFullPath.size() + 1, newName.data(), newName.size());
    m_slots.push_back(slot);
}

JournalEntry UndoJournal::operator[](std::size_t index) const {
    const Slot& s = m_slots[index];
    const char* p = m_blocks[s.block].get() + s.offset;
    return JournalEntry(std::string_view(p, s.oldLength),
                        std::string_view(p + s.oldLength + 1, s.newLength));
}

void UndoJournal::identify(std::size_t index, const FileId& entry, const FileId& folder) {
    Slot& slot = m_slots[index];
    slot.inodeLow = static_cast<std::uint32_t>(entry.inode);
    slot.inodeHigh = static_cast<std::uint32_t>(entry.inode >> 32);
    if (!folder.known()) {
        slot.folder = 0;
    } else {
        if (m_folders.empty() || m_folders.back() != folder)
            m_folders.push_back(folder);
        slot.folder = static_cast<std::uint32_t>(m_folders.size());
    }
    if (entry.device != folder.device)
        m_otherDevices.emplace_back(index, entry.device);
    m_identified = true;
}

FileId UndoJournal::entryId(std::size_t index) const {
    const Slot& slot = m_slots[index];
    FileId id{0, slot.inodeLow | (std::uint64_t{slot.inodeHigh} << 32)};
    const auto other =
        std::lower_bound(m_otherDevices.begin(), m_otherDevices.end(), index,
                         [](const auto& entry, std::size_t at) { return entry.first < at; });
    if (other != m_otherDevices.end() && other->first == index)
        id.device = other->second;
    else if (slot.folder != 0)
        id.device = m_folders[slot.folder - 1].device;
    return id;
}

std::string UndoJournal::temporaryName(std::size_t index) const {
    return m_detourPrefix.empty() ? std::string() : m_detourPrefix + std::to_string(index + 1);
}

void UndoJournal::markFailed(std::size_t index) {
    if (m_failed.size() < m_slots.size())
        m_failed.resize(m_slots.size());
    if (!m_failed[index])
        ++m_failedCount;
    m_failed[index] = true;
}

void UndoJournal::clear() {
    m_folders.clear();
    m_otherDevices.clear();
    m_identified = false;
    m_detourPrefix.clear();
    m_startFolder.clear();
    m_failed.clear();
    m_failedCount = 0;
    m_blocks.clear();
    m_blockSizes.clear();
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_used = 0;
}

std::size_t UndoJournal::bytesReserved() const {
    std::size_t bytes = m_slots.capacity() * sizeof(Slot) + m_folders.capacity() * sizeof(FileId);
    for (std::size_t s : m_blockSizes)
        bytes += s;
    return bytes;
}

}  // namespace zr
