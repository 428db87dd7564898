// SPDX-License-Identifier: GPL-3.0-or-later
// The directory walk shared by Scan and Go: it lists the run's working directory, hands every
// entry that the options select to the new-name computation, descends into subdirectories, and
// after every entry shows where it is and lets the front end handle pending events.
#pragma once

#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "metadata/field_reader.h"
#include "platform/calls_in_flight.h"
#include "platform/file_system.h"
#include "rules/new_name.h"
#include "rules/rename_settings.h"
#include "scan/command_view.h"
#include "scan/conflict_finder.h"
#include "scan/entry_fields.h"
#include "scan/folder_plan.h"
#include "scan/kept_fields.h"
#include "scan/read_ahead.h"
#include "scan/walk_state.h"

namespace zr {

class DirectoryWalker {
public:
    // `finder`, when given, is told what the walk lists and what it would rename. When the
    // rules use fields read from the disk, the walk reads them for each entry the filters let
    // through, when its rules come to them (and, reading ahead, for the entries the filters let
    // through); a Scan keeps what it read from files in `kept`, and a Go takes from it what is
    // still true of a file.
    DirectoryWalker(const RenameSettings& settings, WalkState& state, NewNameComputer& computer,
                    FileSystem& fileSystem, CommandView& view, ConflictFinder* finder = nullptr,
                    KeptFields* kept = nullptr);

    // Walks state.CurrentDir, depth first in the file system's order, and leaves CurrentDir at
    // its parent, also when it stopped on a stop request or could not list a directory.
    // "process directories recursively" and "only directories" are read at every entry. A
    // directory that cannot be listed is passed over; one that cannot be entered or left
    // abandons the whole walk with an AppError (as does an invalid filter mask), leaving
    // CurrentDir where the failure happened.
    void WalkDirectory();

private:
    // What the disk says of one entry beyond its listing: its modification time and the
    // fields its file holds, as far as the run uses them.
    struct DiskRead {
        std::optional<std::time_t> modified;
        bool fieldsRead = false;
        FileFields fields;
        std::optional<FileStamp> stamp;  // of the file read, when it was opened
    };
    // An entry's disk as the walk has it when the entry's name is computed: read ahead (a
    // ticket to wait for, or read already), or to be read when a rule first asks (neither).
    struct PendingDisk {
        ReadAhead::Ticket ticket = 0;
        std::shared_ptr<DiskRead> read;
    };
    class EntryDisk;
    // One directory being walked: its handle, and, when read ahead, its entries read whole,
    // with the disk read ahead for the next of them (by their index).
    struct Level {
        std::shared_ptr<DirectoryListing> handle;  // null when it cannot be listed
        bool read = false;
        std::vector<DirEntry> entries;
        std::size_t index = 0;
        WalkPlace place;
        std::size_t diskNext = 0;
        std::deque<std::pair<std::size_t, PendingDisk>> disk;
        // Its subdirectories are asked of the read-ahead.
        bool requested = false;
        // Its entries' new names, settled together when the planner is active.
        FolderPlan plan;
        bool next(DirEntry& entry);
    };
    // Entries of one level whose disk is read ahead of the walk, at most.
    static constexpr std::size_t kDiskAhead = 64;
    // Rows waiting for their size and time beyond this wait for the oldest.
    static constexpr std::size_t kPendingRowLimit = 256;
    // The walk watches its own calls: once they are found to wait for the file system (a
    // network share, a disk that must be read; not a busy machine), the read-ahead is on for the
    // rest of the walk. Where they do not, reading ahead is tried (InFlightTrial) and kept only
    // while it pays: with processors to spare it does, on a busy machine it would only cost.
    static constexpr int kSlowBlocks = 2;

    void walkLevel(Level& level);
    // Whether the options leave the entry `name` out, and with a folder all it holds: a hidden
    // name when hidden names are skipped, a name an exclude mask matches.
    bool leftOut(const std::string& name);
    // Enters the subdirectory `name` of `parent` (its entry just taken), or throws AppError.
    void enter(Level& parent, const std::string& name, Level& level);
    // With `ruleFailure`, the row of an entry the rules gave no new name.
    void addRow(Level& level, const std::string& name, bool directoryRow,
                const char* ruleFailure = nullptr);
    // Shows the rows whose size and time are there, in order; waits for `atLeast` of them.
    void showRows(std::size_t atLeast);
    void showAllRows();
    // Around each call of the walk: whether calls are slow.
    void beginCall();
    void endCall();
    // After each entry: starts or stops reading ahead as the trial says.
    void tryCallsInFlight();
    static void throwOnReadError(const DirectoryListing& listing);
    void startReadingAhead();
    void stopReadingAhead();
    // Asks the read-ahead for the subdirectories `level` descends into from its entry `from`
    // on, in its order, once.
    void requestSubdirectories(Level& level, std::size_t from);
    // Reads a level whole before its first entry is walked, to settle its names together.
    void readForPlan(Level& level);
    void planLevel(Level& level);
    // The modification times of the entries `hands` selects, for numbering by them.
    void readTimes(Level& level, std::span<const Handing> hands);
    // How the walk hands `entry` over.
    Handing handing(const DirEntry& entry);
    // Computes the new name of `entry` in the current directory and shows it; a rename queued
    // gets the identities of the entry and its folder.
    void handOver(Level& level, const DirEntry& entry, bool directoryRow);
    // An entry the rules gave no new name: a row marked with `reason`, or a failure of Go's.
    void handFailure(Level& level, const std::string& name, const char* reason, bool directoryRow);
    void changeTo(const std::string& path);
    // Reads what the run uses of the entry `name` of `listing` (from any thread).
    void readDisk(DirectoryListing& listing, const std::string& name, DiskRead& out) const;
    // Asks the read-ahead for the disk of the next entries of `level` that the walk will hand
    // over and the filters let through.
    void readDiskAhead(Level& level);
    bool passesFilters(const std::string& name);
    // Whether `entry`, handed over as a file, may need its disk read: the filters let it
    // through.
    bool wantsDisk(const DirEntry& entry);
    // Asks the read-ahead to read the disk of `name` in `level` into `disk`.
    ReadAhead::Ticket requestDisk(const Level& level, const std::string& name,
                                  std::shared_ptr<DiskRead> disk);
    // What was read ahead for the entry `level` is at (a ticket, or nothing).
    PendingDisk takeDiskReadAhead(Level& level);
    // Reads the disk of a folder's entries the planner will ask for, before planning: on the
    // read-ahead's threads, a window of them at a time, when it is on.
    void readDiskOfFolder(Level& level, std::span<const Handing> hands);
    // A Scan keeps what it read from a file for the Go after it.
    void keepRead(const DiskRead* read);

    const RenameSettings& m_settings;
    WalkState& m_state;
    NewNameComputer& m_computer;
    FileSystem& m_fileSystem;
    CommandView& m_view;
    ConflictFinder* m_finder;
    // The fields the run reads from the disk: the reader for those of files (none when no rule
    // uses one), and whether the modification time is used.
    std::optional<FieldReader> m_reader;
    bool m_needsTime = false;
    KeptFields* m_kept;
    const bool m_takeKept;  // a Go: it takes what the Scan before it read
    FolderPlanner m_planner;
    std::vector<Handing> m_hands;
    // The disk of the entries of the folder being planned, by index (null: not read ahead).
    std::vector<std::shared_ptr<DiskRead>> m_planDisk;
    // Where the walk is: the directory of its deepest active level.
    std::string m_currentDir;
    std::optional<ReadAhead> m_ownedReadAhead;
    ReadAhead* m_readAhead = nullptr;      // null while the walk reads one call at a time
    std::optional<SlowCallWatch> m_watch;  // while one call at a time may not be enough
    std::optional<InFlightTrial> m_trial;  // until the calls are found slow
    std::uint32_t m_nextPlace = 0;
    std::vector<Level*> m_levels;  // the levels being walked, outermost first
    std::deque<PreviewRow> m_pendingRows;
    // The exclude masks, compiled once for the walk; none when the option is empty.
    bool m_excluding = false;
    FilterMatcher m_exclude;
};

}  // namespace zr
