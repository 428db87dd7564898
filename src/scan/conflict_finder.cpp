// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/conflict_finder.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace zr {

namespace {

// The place of an old name that no rename wants as its new name.
constexpr std::uint32_t kNowhere = ~std::uint32_t{0};

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

void ConflictFinder::failed(bool hasRow) {
    Folder& folder = m_folders[m_depth - 1];
    folder.plans.push_back(Plan{0, 0, 0, kRuleFailed, hasRow ? m_rows++ : -1});
}

void ConflictFinder::closeFolder(DirectoryListing& listing) {
    Folder& folder = m_folders[m_depth - 1];
    // Only a folder with renames needs its file system's name limit.
    settle(folder, folder.plans.empty() ? 0 : listing.nameLimit());
    release(folder);
    --m_depth;
}

void ConflictFinder::closeAll() {
    for (; m_depth > 0; --m_depth) {
        settle(m_folders[m_depth - 1], 0);
        release(m_folders[m_depth - 1]);
    }
}

void ConflictFinder::release(Folder& folder) {
    // What a huge folder needed is given back; what an ordinary one needed is kept for the next.
    constexpr std::size_t kKeep = 64 * 1024;
    const auto shrink = [](auto& buffer) {
        if (buffer.capacity() > kKeep)
            std::decay_t<decltype(buffer)>().swap(buffer);
    };
    shrink(folder.text);
    shrink(folder.names);
    shrink(folder.plans);
    shrink(m_table);
    shrink(m_places);
    shrink(m_hashes);
    shrink(m_kept);
    shrink(m_outcomes);
}

void ConflictFinder::prefetch(std::size_t hash) const {
    __builtin_prefetch(&m_table[hash & m_mask]);
}

ConflictFinder::Slot* ConflictFinder::find(Span name, std::size_t hash) {
    const std::string_view text = m_text.substr(name.at, name.size);
    for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
        Slot& s = m_table[i];
        if (!s.used)
            return nullptr;
        if (s.name.size == name.size && m_text.substr(s.name.at, s.name.size) == text)
            return &s;
    }
}

std::uint32_t ConflictFinder::slot(Span name, std::size_t hash) {
    const std::string_view text = m_text.substr(name.at, name.size);
    for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
        Slot& s = m_table[i];
        if (!s.used) {
            s.used = true;
            s.name = name;
            return static_cast<std::uint32_t>(i);
        }
        if (s.name.size == name.size && m_text.substr(s.name.at, s.name.size) == text)
            return static_cast<std::uint32_t>(i);
    }
}

void ConflictFinder::settle(Folder& folder, long nameLimit) {
    const std::size_t count = folder.plans.size();
    if (count == 0)
        return;
    m_text = folder.text;
    const auto oldName = [](const Plan& p) { return Span{p.oldAt, p.oldSize}; };
    const auto newName = [](const Plan& p) { return Span{p.newAt, p.newSize}; };

    // The table holds the new names, at most half full: only a name some rename wants matters.
    // Each learns whether the folder has it, and which rename (its holder) would give it up.
    // In a folder of a million entries the table is larger than the processor's caches: the
    // names are hashed first, in the order they lie in the folder's text, and the slot of each
    // is fetched a few names before it is probed.
    std::size_t size = 16;
    while (size < 2 * count)
        size *= 2;
    m_table.assign(size, Slot{});
    m_mask = size - 1;
    std::size_t longestNew = 0;
    // Where each rename's names lie in the table, old then new.
    m_places.resize(2 * count);
    m_hashes.resize(count);
    // An entry the rules failed has no new name, and keeps its old one among the names listed.
    const auto ruleFailed = [](const Plan& p) { return p.newSize == kRuleFailed; };
    for (std::size_t j = 0; j < count; ++j) {
        const Plan& p = folder.plans[j];
        if (ruleFailed(p))
            continue;
        m_hashes[j] = hashName(m_text.substr(p.newAt, p.newSize));
        longestNew = std::max<std::size_t>(longestNew, p.newSize);
    }
    for (std::size_t j = 0; j < count; ++j) {
        if (j + kAhead < count && !ruleFailed(folder.plans[j + kAhead]))
            prefetch(m_hashes[j + kAhead]);
        m_places[2 * j + 1] =
            ruleFailed(folder.plans[j]) ? kNowhere : slot(newName(folder.plans[j]), m_hashes[j]);
    }
    for (std::size_t j = 0; j < count; ++j) {
        const Plan& p = folder.plans[j];
        m_hashes[j] = hashName(m_text.substr(p.oldAt, p.oldSize));
    }
    for (std::size_t j = 0; j < count; ++j) {
        if (j + kAhead < count)
            prefetch(m_hashes[j + kAhead]);
        if (ruleFailed(folder.plans[j])) {
            m_places[2 * j] = kNowhere;
            continue;
        }
        Slot* s = find(oldName(folder.plans[j]), m_hashes[j]);
        m_places[2 * j] = s ? static_cast<std::uint32_t>(s - m_table.data()) : kNowhere;
        if (s) {
            s->holder = static_cast<std::int32_t>(j);
            s->present = true;
        }
    }
    // The names that stay: only one as long as some new name at most can be one.
    m_kept.clear();
    m_hashes.clear();
    for (const Span name : folder.names) {
        if (name.size <= longestNew) {
            m_kept.push_back(name);
            m_hashes.push_back(hashName(m_text.substr(name.at, name.size)));
        }
    }
    for (std::size_t k = 0; k < m_kept.size(); ++k) {
        if (k + kAhead < m_kept.size())
            prefetch(m_hashes[k + kAhead]);
        if (Slot* s = find(m_kept[k], m_hashes[k]))
            s->present = true;
    }
    // No entry of a folder that neither is nor holds the working directory holds it: the
    // entry's path is needed only for those that may.
    const bool nearWorkingDirectory = holdsDirectory(folder.path, m_workingDirectory);

    // Go's order, comparing names as the file system's bytes.
    m_outcomes.clear();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t j = renamedAt(step, count);
        if (step + kAhead < count) {
            const std::size_t ahead = renamedAt(step + kAhead, count);
            if (m_places[2 * ahead + 1] != kNowhere)
                __builtin_prefetch(&m_table[m_places[2 * ahead + 1]]);
            if (m_places[2 * ahead] != kNowhere)
                __builtin_prefetch(&m_table[m_places[2 * ahead]]);
        }
        const Plan& plan = folder.plans[j];
        if (ruleFailed(plan)) {
            ++m_failures;
            if (plan.row >= 0)
                m_outcomes.push_back({static_cast<std::size_t>(plan.row), Conflict::RuleFailed});
            continue;
        }
        const std::string_view name = m_text.substr(plan.oldAt, plan.oldSize);
        const std::string_view target = m_text.substr(plan.newAt, plan.newSize);
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
                if (m_places[2 * j] != kNowhere)
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
