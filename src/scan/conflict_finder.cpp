#include "scan/conflict_finder.h"

#include <algorithm>
#include <cstring>

namespace zr {

namespace {

// A quick hash of a name, eight bytes at a time; the table uses its low bits.
std::size_t hashName(std::string_view name) {
    std::uint64_t h = name.size();
    std::size_t i = 0;
    const auto mix = [&h](std::uint64_t word) {
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    };
    for (; i + 8 <= name.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, name.data() + i, 8);
        mix(word);
    }
    if (i < name.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, name.data() + i, name.size() - i);
        mix(word);
    }
    return static_cast<std::size_t>(h ^ (h >> 32));
}

}  // namespace

ConflictFinder::ConflictFinder(std::string workingDirectory, CommandView& view)
    : m_workingDirectory(std::move(workingDirectory)), m_view(view) {}

void ConflictFinder::openFolder(const std::string& path) {
    if (m_depth == m_folders.size())
        m_folders.emplace_back();
    Folder& folder = m_folders[m_depth++];
    folder.path = path;
    folder.text.clear();
    folder.names.clear();
    folder.plans.clear();
}

void ConflictFinder::listed(std::string_view name) {
    Folder& folder = m_folders[m_depth - 1];
    folder.names.push_back(Span{static_cast<std::uint32_t>(folder.text.size()),
                                static_cast<std::uint32_t>(name.size())});
    folder.text += name;
}

void ConflictFinder::renamed(std::string_view newName, bool hasRow) {
    // The entry listed last leaves the names that stay.
    Folder& folder = m_folders[m_depth - 1];
    const Span old = folder.names.back();
    folder.names.pop_back();
    folder.plans.push_back(Plan{old.at, old.size, static_cast<std::uint32_t>(folder.text.size()),
                                static_cast<std::uint32_t>(newName.size()),
                                hasRow ? m_rows++ : -1});
    folder.text += newName;
}

void ConflictFinder::closeFolder(DirectoryListing& listing) {
    Folder& folder = m_folders[m_depth - 1];
    // Only a folder with renames needs its file system's name limit.
    settle(folder, folder.plans.empty() ? 0 : listing.nameLimit());
    --m_depth;
}

void ConflictFinder::closeAll() {
    for (; m_depth > 0; --m_depth)
        settle(m_folders[m_depth - 1], 0);
}

ConflictFinder::Slot* ConflictFinder::find(std::string_view name) {
    for (std::size_t i = hashName(name) & m_mask;; i = (i + 1) & m_mask) {
        Slot& s = m_table[i];
        if (!s.used)
            return nullptr;
        if (s.name == name)
            return &s;
    }
}

ConflictFinder::Slot& ConflictFinder::slot(std::string_view name) {
    for (std::size_t i = hashName(name) & m_mask;; i = (i + 1) & m_mask) {
        Slot& s = m_table[i];
        if (!s.used) {
            s = Slot{};
            s.used = true;
            s.name = name;
            return s;
        }
        if (s.name == name)
            return s;
    }
}

void ConflictFinder::settle(Folder& folder, long nameLimit) {
    const std::size_t count = folder.plans.size();
    if (count == 0)
        return;
    const std::string_view text = folder.text;
    const auto oldName = [text](const Plan& p) { return text.substr(p.oldAt, p.oldSize); };
    const auto newName = [text](const Plan& p) { return text.substr(p.newAt, p.newSize); };

    // The table holds the old and new names of the renames (at most half full), and learns which
    // of the names that stay are wanted as new names.
    std::size_t size = 16;
    while (size < 4 * count)
        size *= 2;
    m_table.assign(size, Slot{});
    m_mask = size - 1;
    std::size_t longestNew = 0;
    // Each rename's two names hashed once: where they lie in the table, old then new.
    m_places.resize(2 * count);
    for (std::size_t j = 0; j < count; ++j) {
        Slot& s = slot(oldName(folder.plans[j]));
        s.holder = static_cast<std::int64_t>(j);
        s.present = true;
        m_places[2 * j] = static_cast<std::size_t>(&s - m_table.data());
    }
    for (std::size_t j = 0; j < count; ++j) {
        const Plan& p = folder.plans[j];
        m_places[2 * j + 1] = static_cast<std::size_t>(&slot(newName(p)) - m_table.data());
        longestNew = std::max<std::size_t>(longestNew, p.newSize);
    }
    for (const Span name : folder.names) {
        if (name.size <= longestNew) {
            if (Slot* s = find(text.substr(name.at, name.size)))
                s->present = true;
        }
    }
    // No entry of a folder that neither is nor holds the working directory holds it: the
    // entry's path is needed only for those that may.
    const bool nearWorkingDirectory = holdsDirectory(folder.path, m_workingDirectory);

    // Go's order, comparing names as the file system's bytes.
    m_outcomes.clear();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t j = renamedAt(step, count);
        const Plan& plan = folder.plans[j];
        const std::string_view name = oldName(plan);
        const std::string_view target = newName(plan);
        m_oldPath.clear();
        if (nearWorkingDirectory) {
            m_oldPath.assign(folder.path);
            m_oldPath += '/';
            m_oldPath += name;
        }
        Conflict fails = refusedRename(m_oldPath, target, m_workingDirectory);
        if (fails == Conflict::None && nameLimit > 0 && target.size() > std::size_t(nameLimit))
            fails = Conflict::NameTooLong;
        if (fails == Conflict::None) {
            Slot& to = m_table[m_places[2 * j + 1]];
            if (!to.present) {
                m_table[m_places[2 * j]].present = false;
                to.present = true;
                to.arrived = true;
            } else if (to.arrived) {
                fails = Conflict::SameNewName;
            } else if (to.holder >= 0 && std::size_t(to.holder) < j) {
                fails = Conflict::FreedTooLate;
            } else {
                fails = Conflict::Taken;
            }
        }
        if (fails != Conflict::None)
            ++m_failures;
        if (plan.row >= 0)
            m_outcomes.push_back({static_cast<std::size_t>(plan.row), fails});
    }
    if (m_outcomes.empty())
        return;
    // Rows in the order they were added: Go's order is the reverse.
    std::reverse(m_outcomes.begin(), m_outcomes.end());
    m_view.settlePreviewRows(folder.path, m_outcomes);
}

}  // namespace zr
