// SPDX-License-Identifier: GPL-3.0-or-later
// The new names of one folder settled together, before the walk hands them on in its own order:
// numbers given in the order the user chose, and names made unique the way Go will carry them
// out. A walk that needs neither hands each entry on as it meets it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/file_fields.h"
#include "platform/file_system.h"
#include "rules/extended_options.h"
#include "rules/new_name.h"

namespace zr {

// How the walk hands an entry of a folder to the rules.
enum class Handing : std::uint8_t {
    None,       // not at all: left out, ".", "..", or a folder it descends into
    Entry,      // as a file (or a folder it does not descend into)
    Directory,  // as a directory in "only directories" mode
};

// Sorts `indices` (into `entries`) into the order their entries are numbered in:
//   Name      natural order of the names ("IMG_2" before "IMG_10");
//   Modified  by modification time (`infos`, by the same indices; `known` false for an entry
//             whose time could not be read, which comes after the others), then by name;
//   Walk      as the walk lists them (the indices as given);
//   Taken     by the date taken (`taken`, by the same indices: the clock time the file gives,
//             as a name shows it; an entry without one comes after the others), then by name.
void sortForNumbering(NumberOrder order, std::span<std::uint32_t> indices,
                      std::span<const DirEntry> entries, std::span<const EntryInfo> infos,
                      const std::vector<bool>& known,
                      std::span<const std::optional<FieldDate>> taken = {});

// What the planner settled for one folder's entries, by their index in the listing.
class FolderPlan {
public:
    NameOutcome outcome(std::size_t i) const { return m_entries[i].outcome; }
    // With Renamed, the new name.
    std::string_view newName(std::size_t i) const {
        return std::string_view(m_text).substr(m_entries[i].at, m_entries[i].size);
    }
    // With Failed, why.
    const char* failure(std::size_t i) const { return m_failures[m_entries[i].at]; }
    bool empty() const { return m_entries.empty(); }

    // Modification times read for numbering by them, kept for the rows (empty otherwise).
    std::vector<EntryInfo> infos;
    std::vector<bool> known;
    // Dates taken read for numbering by them (empty otherwise).
    std::vector<std::optional<FieldDate>> taken;

private:
    friend class FolderPlanner;
    struct Entry {
        std::uint32_t at = 0;  // Renamed: where the new name is in m_text; Failed: m_failures
        std::uint32_t size = 0;
        NameOutcome outcome = NameOutcome::Skipped;
    };
    void setName(std::size_t i, std::string_view name);

    std::vector<Entry> m_entries;
    std::string m_text;
    std::vector<const char*> m_failures;
};

// Settles folders for one run. Numbers count per folder or across the run (folders in the
// order they are planned, which is the walk's), the k-th number taken being start + k * step;
// only an entry whose new name holds its number takes one (see NewNameComputer).
//
// Unique names: the folder's renames are played through in Go's order (the entry listed last
// first, as renamedAt() says), comparing names as bytes; a rename whose new name is held at that
// step (by an entry that keeps its name, by one renamed later, or by an earlier rename of the
// run) gets the first free name uniqueName() gives, free also of every name held then. A rename
// that will fail for another reason (an invalid name, one too long) keeps its name and its old
// name stays held. What still fails is left to the conflict marks.
class FolderPlanner {
public:
    FolderPlanner(const RenameSettings& settings, NewNameComputer& computer, RuleState& state);

    // Whether folders are settled together at all: numbers are in use or names made unique.
    bool active() const { return m_active; }
    // Whether planning wants the modification times of the entries handed over.
    bool needsTimes() const { return m_active && m_order == NumberOrder::Modified; }
    // Whether it wants the dates taken of the entries handed over.
    bool needsDatesTaken() const { return m_active && m_order == NumberOrder::Taken; }

    // Settles the entries of `directory`, read whole: `hands` says how each is handed over.
    // `nameLimit` is the longest name its file system takes (0: no limit known). `diskOf` gives
    // an entry's fields from the disk (valid until it is asked again; null: none). `keepGoing`
    // is asked now and then, and after an entry that failed; planning stops when it says no,
    // the rest of the entries left Skipped.
    void plan(std::string_view directory, std::span<const DirEntry> entries,
              std::span<const Handing> hands, long nameLimit, FolderPlan& plan,
              const std::function<const FieldValues*(std::size_t)>& diskOf,
              const std::function<bool()>& keepGoing);

private:
    void makeUnique(std::span<const DirEntry> entries, long nameLimit, FolderPlan& plan);

    const RenameSettings& m_settings;
    NewNameComputer& m_computer;
    RuleState& m_state;
    bool m_active = false;
    bool m_unique = false;
    NumberOrder m_order = NumberOrder::Name;
    bool m_perFolder = true;
    std::int64_t m_numbersTaken = 0;  // across the run
    std::vector<std::uint32_t> m_indices;
};

}  // namespace zr
