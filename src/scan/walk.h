// The directory walk shared by Scan and Go: it lists the run's working directory, hands every
// entry that the options select to the new-name computation, descends into subdirectories, and
// after every entry shows where it is and lets the front end handle pending events.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "rules/new_name.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"
#include "scan/conflict_finder.h"
#include "scan/read_ahead.h"
#include "scan/walk_state.h"

namespace zr {

class DirectoryWalker {
public:
    // `finder`, when given, is told what the walk lists and what it would rename.
    DirectoryWalker(const RenameSettings& settings, WalkState& state, NewNameComputer& computer,
                    FileSystem& fileSystem, CommandView& view, ConflictFinder* finder = nullptr);

    // Walks state.CurrentDir, depth first in the file system's order, and leaves CurrentDir at
    // its parent, also when it stopped on a stop request or could not list a directory.
    // "process directories recursively" and "only directories" are read at every entry. A
    // directory that cannot be listed is passed over; one that cannot be entered or left
    // abandons the whole walk with an AppError (as does an invalid filter mask), leaving
    // CurrentDir where the failure happened.
    void WalkDirectory();

private:
    // One directory being walked: its handle, and, when read ahead, its entries read whole.
    struct Level {
        std::shared_ptr<DirectoryListing> handle;  // null when it cannot be listed
        bool read = false;
        std::vector<DirEntry> entries;
        std::size_t index = 0;
        WalkPlace place;
        bool next(DirEntry& entry);
    };
    // Rows waiting for their size and time beyond this wait for the oldest.
    static constexpr std::size_t kPendingRowLimit = 256;

    void walkLevel(Level& level);
    // Enters the subdirectory `name` of `parent` (its entry just taken), or throws AppError.
    void enter(Level& parent, const std::string& name, Level& level);
    void addRow(DirectoryListing& listing, const std::string& name, bool directoryRow);
    // Shows the rows whose size and time are there, in order; waits for `atLeast` of them.
    void showRows(std::size_t atLeast);
    void showAllRows();
    // Computes the new name of `name` in the current directory and shows it.
    void handOver(DirectoryListing& listing, const std::string& name, bool directoryRow);
    void changeTo(const std::string& path);

    const RenameSettings& m_settings;
    WalkState& m_state;
    NewNameComputer& m_computer;
    FileSystem& m_fileSystem;
    CommandView& m_view;
    ConflictFinder* m_finder;
    // Where the walk is: the directory of its deepest active level.
    std::string m_currentDir;
    ReadAhead* m_readAhead = nullptr;
    Level* m_level = nullptr;
    std::deque<PreviewRow> m_pendingRows;
};

// The time shown in the preview: the last-write time with its seconds truncated to even.
std::time_t previewTime(std::time_t lastWrite);

}  // namespace zr
