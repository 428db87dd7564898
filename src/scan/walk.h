// The directory walk shared by Scan and Go: it lists the run's working directory, hands every
// entry that the options select to the new-name computation, descends into subdirectories, and
// after every entry shows where it is and lets the front end handle pending events.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "rules/new_name.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"
#include "scan/conflict_finder.h"
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
    void walkListing(std::unique_ptr<DirectoryListing> listing);
    void addRow(DirectoryListing& listing, const std::string& name, bool directoryRow);
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
};

// The time shown in the preview: the last-write time with its seconds truncated to even.
std::time_t previewTime(std::time_t lastWrite);

}  // namespace zr
