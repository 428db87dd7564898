// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/folder_plan.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <unordered_set>

#include "rules/natural_order.h"
#include "rules/pattern_rule.h"
#include "rules/unique_name.h"
#include "scan/rename_outcome.h"

namespace zr {

namespace {

// The first bytes of a key whose byte order never contradicts compareNatural(): a byte that is
// not a digit stands for itself; a run of digits for a byte '0' + the count of its digits
// without leading zeros, then those digits, since a longer number is the larger. A run of nine
// digits or more counts its digits in a '9' and a byte of their count (a run of 255 or more
// ends the key there, with 255). The key ends with its 32nd byte; names whose keys are equal are
// compared whole. Long enough for most names to differ within it, the keys spare the sort most of
// its visits to the names, which in a huge folder lie all over memory.
struct NaturalKey {
    std::array<std::uint64_t, 4> words{};
};

NaturalKey naturalKey(std::string_view name) {
    constexpr int kBytes = 8 * std::tuple_size_v<decltype(NaturalKey::words)>;
    NaturalKey key;
    int bytes = 0;
    const auto put = [&](unsigned char c) {
        key.words[bytes / 8] |= std::uint64_t{c} << (8 * (7 - bytes % 8));
        return ++bytes < kBytes;
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 0; i < name.size();) {
        if (!isDigit(name[i])) {
            if (!put(static_cast<unsigned char>(name[i++])))
                break;
            continue;
        }
        while (i < name.size() && name[i] == '0')
            ++i;
        const std::size_t value = i;
        while (i < name.size() && isDigit(name[i]))
            ++i;
        const std::size_t length = i - value;
        if (length >= 9) {
            if (!put('9') || !put(static_cast<unsigned char>(std::min<std::size_t>(length, 255))) ||
                length >= 255)
                break;
        } else if (!put(static_cast<unsigned char>('0' + length))) {
            break;
        }
        bool room = true;
        for (std::size_t d = value; d < i && room; ++d)
            room = put(static_cast<unsigned char>(name[d]));
        if (!room)
            break;
    }
    return key;
}

struct SortKey {
    std::int64_t time;  // 0 unless numbered by modification time or date taken
    NaturalKey name;
    std::uint32_t index;
};

}  // namespace

void sortForNumbering(NumberOrder order, std::span<std::uint32_t> indices,
                      std::span<const DirEntry> entries, std::span<const EntryInfo> infos,
                      const std::vector<bool>& known,
                      std::span<const std::optional<FieldDate>> taken) {
    if (order == NumberOrder::Walk)
        return;
    // A date taken as a number that sorts as the clock times do.
    const auto dateKey = [](const FieldDate& d) {
        return ((((std::int64_t{d.year} * 13 + d.month) * 32 + d.day) * 24 + d.hour) * 60 +
                d.minute) *
                   60 +
               d.second;
    };
    std::vector<SortKey> keys;
    keys.reserve(indices.size());
    for (const std::uint32_t i : indices) {
        // An entry whose time is unknown comes after the others.
        std::int64_t time = 0;
        if (order == NumberOrder::Modified)
            time = known[i] ? std::int64_t{infos[i].lastWrite} : INT64_MAX;
        else if (order == NumberOrder::Taken)
            time = i < taken.size() && taken[i] ? dateKey(*taken[i]) : INT64_MAX;
        keys.push_back(SortKey{time, naturalKey(entries[i].name), i});
    }
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        if (a.time != b.time)
            return a.time < b.time;
        for (std::size_t w = 0; w < a.name.words.size(); ++w) {
            if (a.name.words[w] != b.name.words[w])
                return a.name.words[w] < b.name.words[w];
        }
        return compareNatural(entries[a.index].name, entries[b.index].name) < 0;
    });
    for (std::size_t k = 0; k < keys.size(); ++k)
        indices[k] = keys[k].index;
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
                         const std::function<const FieldValues*(std::size_t)>& diskOf,
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
    sortForNumbering(m_order, m_indices, entries, plan.infos, plan.known, plan.taken);

    const std::int64_t start = m_settings.value(ExtendedOption::NumberStart);
    const std::int64_t step = m_settings.value(ExtendedOption::NumberStep);
    std::int64_t taken = m_perFolder ? 0 : m_numbersTaken;
    constexpr std::size_t kAskEvery = 256;
    std::size_t sinceAsked = 0;
    for (const std::uint32_t i : m_indices) {
        EntryContext context;
        context.number = start + taken * step;
        context.disk = diskOf(i);
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
