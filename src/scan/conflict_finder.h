// SPDX-License-Identifier: GPL-3.0-or-later
// Foresees, while a Scan walks, which of the renames it finds will fail when Go carries them
// out, from the listings the walk reads anyway: no system call of its own per entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "scan/command_view.h"
#include "scan/rename_outcome.h"

namespace zr {

// A rename never leaves its folder, and Go renames everything inside a folder before the folder
// itself, so what happens to one folder's renames depends on that folder's listing alone: its
// names, and its renames in the order Go carries them out (renamedAt()). The finder keeps, for
// each folder the walk has open, the names listed so far and the renames found; when a folder's
// listing is over it plays the folder's renames through in Go's order, comparing names as bytes,
// and settles the folder's preview rows with the view. Memory is that of the open folders only.
//
// The walk tells it, in order: openFolder() when a listing begins, listed() for every name it
// reads, renamed() right after listed() for an entry whose name would change, and closeFolder()
// when the listing is over. Preview rows are counted from the first after the scan cleared the
// list, in the order renamed() reports them.
class ConflictFinder {
public:
    // `workingDirectory` is the one of the Go run foreseen: an entry that holds it is in use.
    ConflictFinder(std::string workingDirectory, CommandView& view);

    void openFolder(const std::string& path);
    void listed(std::string_view name);
    // `hasRow`: the entry got a preview row (its new name is not empty).
    void renamed(std::string_view newName, bool hasRow);
    // Right after listed(), for an entry the rules gave no new name: it keeps its name and its
    // row is settled as failing (Conflict::RuleFailed) in its place among the folder's rows.
    void failed(bool hasRow);
    // `listing` tells the longest name its file system takes.
    void closeFolder(DirectoryListing& listing);
    // Settles the folders still open, innermost first, from what was listed of them: for a walk
    // that an error abandoned.
    void closeAll();

    // The renames found so far that will fail, with or without a row.
    std::int32_t failures() const { return m_failures; }

private:
    struct Plan {
        std::uint32_t oldAt;
        std::uint32_t oldSize;
        std::uint32_t newAt;
        std::uint32_t newSize;
        std::int64_t row;  // -1 without a row
    };
    // The newSize of a Plan for an entry the rules failed.
    static constexpr std::uint32_t kRuleFailed = ~std::uint32_t{0};
    struct Span {
        std::uint32_t at;
        std::uint32_t size;
    };
    struct Folder {
        std::string path;
        // Every name listed, and the new names, back to back.
        std::string text;
        // The names listed and not renamed.
        std::vector<Span> names;
        // The renamed entries, in walk order.
        std::vector<Plan> plans;
    };
    // What a name of the folder being played through is, at the current step.
    struct Slot {
        Span name{};               // in the folder's text
        std::int32_t holder = -1;  // the rename whose old name it is
        bool used = false;
        bool present = false;
        bool arrived = false;  // given by a rename of this run
    };

    void settle(Folder& folder, long nameLimit);
    void release(Folder& folder);
    // Slots are fetched this many names before they are probed.
    static constexpr std::size_t kAhead = 16;

    // Where `name`, a name in m_text whose hashName() is `hash`, lies in the table; put there if
    // it is new.
    std::uint32_t slot(Span name, std::size_t hash);
    // The slot of `name`, or null when it is not in the table.
    Slot* find(Span name, std::size_t hash);
    // Asks the processor to fetch the slot where a name of `hash` is looked for first.
    void prefetch(std::size_t hash) const;

    std::string m_workingDirectory;
    CommandView& m_view;
    // Open folders are m_folders[0, m_depth); deeper ones are kept for their memory.
    std::vector<Folder> m_folders;
    std::size_t m_depth = 0;
    std::int64_t m_rows = 0;
    std::int32_t m_failures = 0;
    // An open-addressing table of the names that matter while a folder is played through.
    std::vector<Slot> m_table;
    std::size_t m_mask = 0;
    std::string_view m_text;
    std::vector<std::uint32_t> m_places;
    std::vector<std::size_t> m_hashes;
    std::vector<Span> m_kept;  // the names that stay which may be new names
    std::vector<RowOutcome> m_outcomes;
    std::string m_oldPath;
};

}  // namespace zr
