#include "scan/conflict_finder.h"

#include <algorithm>
#include <functional>

namespace zr {

namespace {

std::string_view textAt(const std::string& text, std::uint32_t at, std::uint32_t size) {
    return std::string_view(text).substr(at, size);
}

}  // namespace

ConflictFinder::ConflictFinder(std::string workingDirectory, CommandView& view)
    : m_workingDirectory(std::move(workingDirectory)), m_view(view) {}

void ConflictFinder::openFolder(const std::string& path) {
    if (m_depth == m_folders.size())
        m_folders.emplace_back();
    Folder& folder = m_folders[m_depth++];
    folder.path = path;
    folder.names.clear();
    folder.nameEnds.clear();
    folder.planText.clear();
    folder.plans.clear();
}

void ConflictFinder::listed(std::string_view name) {
    Folder& folder = m_folders[m_depth - 1];
    folder.names += name;
    folder.nameEnds.push_back(static_cast<std::uint32_t>(folder.names.size()));
}

void ConflictFinder::renamed(std::string_view newName, bool hasRow) {
    // The entry listed last moves from the names that stay to the renamed ones.
    Folder& folder = m_folders[m_depth - 1];
    folder.nameEnds.pop_back();
    const std::size_t start = folder.nameEnds.empty() ? 0 : folder.nameEnds.back();
    Plan plan{};
    plan.oldAt = static_cast<std::uint32_t>(folder.planText.size());
    plan.oldSize = static_cast<std::uint32_t>(folder.names.size() - start);
    folder.planText.append(folder.names, start);
    folder.names.resize(start);
    plan.newAt = static_cast<std::uint32_t>(folder.planText.size());
    plan.newSize = static_cast<std::uint32_t>(newName.size());
    folder.planText += newName;
    plan.row = hasRow ? m_rows++ : -1;
    folder.plans.push_back(plan);
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
    for (std::size_t i = std::hash<std::string_view>{}(name)&m_mask;; i = (i + 1) & m_mask) {
        Slot& s = m_table[i];
        if (!s.used)
            return nullptr;
        if (s.name == name)
            return &s;
    }
}

ConflictFinder::Slot& ConflictFinder::slot(std::string_view name) {
    for (std::size_t i = std::hash<std::string_view>{}(name)&m_mask;; i = (i + 1) & m_mask) {
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
    const auto oldName = [&folder](const Plan& p) {
        return textAt(folder.planText, p.oldAt, p.oldSize);
    };
    const auto newName = [&folder](const Plan& p) {
        return textAt(folder.planText, p.newAt, p.newSize);
    };

    // The table holds the old and new names of the renames (at most half full), and learns which
    // of the names that stay are wanted as new names.
    std::size_t size = 16;
    while (size < 4 * count)
        size *= 2;
    m_table.assign(size, Slot{});
    m_mask = size - 1;
    std::size_t longestNew = 0;
    for (std::size_t j = 0; j < count; ++j) {
        Slot& s = slot(oldName(folder.plans[j]));
        s.holder = static_cast<std::int64_t>(j);
        s.present = true;
    }
    for (const Plan& p : folder.plans) {
        slot(newName(p));
        longestNew = std::max<std::size_t>(longestNew, p.newSize);
    }
    std::uint32_t start = 0;
    for (const std::uint32_t end : folder.nameEnds) {
        if (end - start <= longestNew) {
            if (Slot* s = find(std::string_view(folder.names).substr(start, end - start)))
                s->present = true;
        }
        start = end;
    }

    // Go's order, comparing names as the file system's bytes.
    m_outcomes.clear();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t j = renamedAt(step, count);
        const Plan& plan = folder.plans[j];
        const std::string_view name = oldName(plan);
        const std::string_view target = newName(plan);
        m_oldPath.assign(folder.path);
        m_oldPath += '/';
        m_oldPath += name;
        Conflict fails = refusedRename(m_oldPath, target, m_workingDirectory);
        if (fails == Conflict::None && nameLimit > 0 && target.size() > std::size_t(nameLimit))
            fails = Conflict::NameTooLong;
        if (fails == Conflict::None) {
            Slot& to = *find(target);
            if (!to.present) {
                find(name)->present = false;
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
