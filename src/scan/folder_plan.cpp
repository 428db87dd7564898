// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/folder_plan.h"

#include <algorithm>
#include <unordered_set>

#include "rules/natural_order.h"
#include "rules/pattern_rule.h"
#include "rules/unique_name.h"
#include "scan/rename_outcome.h"

namespace zr {

void sortForNumbering(NumberOrder order, std::span<std::uint32_t> indices,
                      std::span<const DirEntry> entries, std::span<const EntryInfo> infos,
                      const std::vector<bool>& known) {
    const auto byName = [&](std::uint32_t a, std::uint32_t b) {
        return compareNatural(entries[a].name, entries[b].name) < 0;
    };
    switch (order) {
        case NumberOrder::Name:
            std::sort(indices.begin(), indices.end(), byName);
            return;
        case NumberOrder::Modified:
            std::sort(indices.begin(), indices.end(), [&](std::uint32_t a, std::uint32_t b) {
                if (known[a] != known[b])
                    return bool(known[a]);
                if (known[a] && infos[a].lastWrite != infos[b].lastWrite)
                    return infos[a].lastWrite < infos[b].lastWrite;
                return byName(a, b);
            });
            return;
        case NumberOrder::Walk:
            return;
    }
}

void FolderPlan::setName(std::size_t i, std::string_view name) {
    m_entries[i].at = static_cast<std::uint32_t>(m_text.size());
    m_entries[i].size = static_cast<std::uint32_t>(name.size());
    m_text += name;
}

FolderPlanner::FolderPlanner(const RenameSettings& settings, NewNameComputer& computer,
                             RuleState& state)
    : m_settings(settings),
      m_computer(computer),
      m_state(state),
      m_unique(settings.checked(ExtendedOption::Unique)),
      m_order(settings.choice<NumberOrder>(ExtendedOption::NumberOrder)),
      m_perFolder(settings.choice<NumberScope>(ExtendedOption::NumberScope) ==
                  NumberScope::Folder) {
    m_active = m_unique || fieldsInUse(settings).contains(Field::Number);
}

void FolderPlanner::plan(std::string_view directory, std::span<const DirEntry> entries,
                         std::span<const Handing> hands, long nameLimit, FolderPlan& plan,
                         const std::function<bool()>& keepGoing) {
    // Without the times (a plan for another order) every entry counts as one whose time is
    // unknown; they are not looked at then.
    plan.m_entries.assign(entries.size(), FolderPlan::Entry{});
    plan.m_text.clear();
    plan.m_failures.clear();
    m_indices.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (hands[i] != Handing::None)
            m_indices.push_back(static_cast<std::uint32_t>(i));
    }
    sortForNumbering(m_order, m_indices, entries, plan.infos, plan.known);

    const std::int64_t start = m_settings.value(ExtendedOption::NumberStart);
    const std::int64_t step = m_settings.value(ExtendedOption::NumberStep);
    std::int64_t taken = m_perFolder ? 0 : m_numbersTaken;
    constexpr std::size_t kAskEvery = 256;
    std::size_t sinceAsked = 0;
    for (const std::uint32_t i : m_indices) {
        EntryContext context;
        context.number = start + taken * step;
        m_state.DirectoryPass = hands[i] == Handing::Directory;
        NameResult result;
        try {
            result = m_computer.PlanNewName(directory, entries[i].name, context);
        } catch (...) {
            m_state.DirectoryPass = false;
            throw;
        }
        m_state.DirectoryPass = false;
        if (result.numberUsed)
            ++taken;
        FolderPlan::Entry& entry = plan.m_entries[i];
        entry.outcome = result.outcome;
        if (result.outcome == NameOutcome::Renamed) {
            plan.setName(i, m_computer.plannedName());
        } else if (result.outcome == NameOutcome::Failed) {
            entry.at = static_cast<std::uint32_t>(plan.m_failures.size());
            plan.m_failures.push_back(result.failureReason ? result.failureReason : "no new name");
        }
        // A failed entry may have taken long (a pattern stopped by its time limit).
        if (++sinceAsked == kAskEvery || result.outcome == NameOutcome::Failed) {
            sinceAsked = 0;
            if (!keepGoing())
                break;
        }
    }
    if (!m_perFolder)
        m_numbersTaken = taken;
    if (m_unique)
        makeUnique(entries, nameLimit, plan);
}

namespace {

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        return std::hash<std::string_view>{}(name);
    }
};

}  // namespace

void FolderPlanner::makeUnique(std::span<const DirEntry> entries, long nameLimit,
                               FolderPlan& plan) {
    // The names the folder holds at each step of Go's order.
    std::unordered_set<std::string, NameHash, std::equal_to<>> held;
    held.reserve(entries.size());
    for (const DirEntry& entry : entries)
        held.insert(entry.name);
    const auto isHeld = [&held](std::string_view name) { return held.contains(name); };
    const auto fails = [nameLimit](std::string_view name) {
        return !isPlainName(name) || (nameLimit > 0 && name.size() > std::size_t(nameLimit));
    };
    std::string wanted;
    for (std::size_t i = entries.size(); i-- > 0;) {
        if (plan.m_entries[i].outcome != NameOutcome::Renamed)
            continue;
        wanted = plan.newName(i);
        if (fails(wanted))
            continue;
        if (isHeld(wanted)) {
            const std::optional<std::string> free = uniqueName(wanted, isHeld);
            if (!free || fails(*free))
                continue;
            plan.setName(i, *free);
            wanted = *free;
        }
        if (const auto old = held.find(std::string_view(entries[i].name)); old != held.end())
            held.erase(old);
        held.insert(wanted);
    }
}

}  // namespace zr
