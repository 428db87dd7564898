// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/walk.h"

#include <algorithm>

#include "rules/app_error.h"
#include "rules/option_lists.h"
#include "rules/text.h"

namespace zr {

namespace {

bool isDotName(const std::string& name) {
    return name == "." || name == "..";
}

void setDetails(PreviewRow& row, const EntryInfo& info) {
    row.size = info.size;
    row.modified = info.lastWrite;
    row.type = info.type;
}

}  // namespace

// The fields of the entry being handed over that come from the disk, read when the rules first
// ask for one: an entry the filters leave out, or whose rules never come to a field, is never
// looked at. Read ahead, they are what a thread read for it.
class DirectoryWalker::EntryDisk final : public FieldValues {
public:
    EntryDisk(DirectoryWalker& walker, DirectoryListing& listing, const std::string& name,
              PendingDisk pending)
        : m_walker(walker),
          m_listing(listing),
          m_name(name),
          m_ticket(pending.ticket),
          m_ahead(std::move(pending.read)) {
        if (m_ahead && m_ticket == 0)
            m_done = m_ahead.get();
    }

    bool append(Field field, const FieldFormat& format, std::u32string& out) const override {
        const DiskRead& disk = read();
        return EntryFieldValues(disk.modified, disk.fieldsRead ? &disk.fields : nullptr)
            .append(field, format, out);
    }
    // What was read; null when the rules asked for no field.
    const DiskRead* done() const { return m_done; }

private:
    const DiskRead& read() const {
        if (m_done)
            return *m_done;
        if (m_ahead) {
            m_walker.m_readAhead->awaitWork(m_ticket);
            m_done = m_ahead.get();
        } else {
            m_walker.beginCall();
            m_walker.readDisk(m_listing, m_name, m_own);
            m_walker.endCall();
            m_done = &m_own;
        }
        return *m_done;
    }

    DirectoryWalker& m_walker;
    DirectoryListing& m_listing;
    const std::string& m_name;
    ReadAhead::Ticket m_ticket;
    std::shared_ptr<DiskRead> m_ahead;
    mutable DiskRead m_own;
    mutable const DiskRead* m_done = nullptr;
};

DirectoryWalker::DirectoryWalker(const RenameSettings& settings, WalkState& state,
                                 NewNameComputer& computer, FileSystem& fileSystem,
                                 CommandView& view, ConflictFinder* finder, KeptFields* kept)
    : m_settings(settings),
      m_state(state),
      m_computer(computer),
      m_fileSystem(fileSystem),
      m_view(view),
      m_finder(finder),
      m_kept(kept),
      m_takeKept(kept && !state.PreviewMode),
      m_planner(settings, computer, state),
      m_excluding(!settings.text(ExtendedOption::ExcludeMasks).empty()),
      m_exclude(SplitOptionList(settings.text(ExtendedOption::ExcludeMasks))) {
    const FieldSet fields = fieldsInUse(settings);
    m_needsTime = needsModifiedTime(fields);
    if (const FileFieldSet files = fileFieldsOf(fields); !files.empty())
        m_reader.emplace(files);
}

void DirectoryWalker::readDisk(DirectoryListing& listing, const std::string& name,
                               DiskRead& out) const {
    if (m_needsTime) {
        EntryInfo info;
        if (listing.info(name, info))
            out.modified = info.lastWrite;
    }
    if (!m_reader)
        return;
    out.fieldsRead = true;
    // A Go after a Scan takes what the Scan read from a file that has not changed since.
    if (m_takeKept) {
        FileStamp stamp;
        if (listing.stampFile(name, stamp) == 0) {
            if (const FileFields* kept = m_kept->find(stamp, m_reader->wanted())) {
                out.fields = *kept;
                return;
            }
        }
    }
    ReadOnlyFile file;
    if (const int error = listing.openFile(name, file)) {
        out.fields.error = error;
        return;
    }
    out.fields = m_reader->read(file);
    out.stamp = file.stamp();
}

bool DirectoryWalker::passesFilters(const std::string& name) {
    // A mask that cannot be used is reported when the walk reaches the entry, in its order.
    try {
        return m_computer.passesFilters(name);
    } catch (...) {
        return false;
    }
}

bool DirectoryWalker::wantsDisk(const DirEntry& entry) {
    // A folder's disk (its time, when one is handed over) is read when it is.
    return !entry.isDirectory && !m_settings.checked(Option::CheckBox14) &&
           !isDotName(entry.name) && !leftOut(entry.name) && passesFilters(entry.name);
}

void DirectoryWalker::readDiskAhead(Level& level) {
    // From the entry after the one in hand, which the walk has taken (and reads itself).
    level.diskNext = std::max(level.diskNext, level.index);
    while (level.disk.size() < kDiskAhead && level.diskNext < level.entries.size()) {
        const std::size_t at = level.diskNext++;
        const DirEntry& entry = level.entries[at];
        if (!wantsDisk(entry))
            continue;
        auto disk = std::make_shared<DiskRead>();
        const ReadAhead::Ticket ticket = requestDisk(level, entry.name, disk);
        level.disk.emplace_back(at, PendingDisk{ticket, std::move(disk)});
    }
}

ReadAhead::Ticket DirectoryWalker::requestDisk(const Level& level, const std::string& name,
                                               std::shared_ptr<DiskRead> disk) {
    return m_readAhead->requestWork([this, listing = level.handle, name, disk = std::move(disk)] {
        try {
            readDisk(*listing, name, *disk);
        } catch (...) {
            // Out of memory: an entry without the fields, as one that cannot be read.
            disk->fieldsRead = true;
            disk->fields = FileFields{};
            disk->fields.error = ENOMEM;
        }
    });
}

DirectoryWalker::PendingDisk DirectoryWalker::takeDiskReadAhead(Level& level) {
    if (!level.read || !m_readAhead)
        return {};
    const std::size_t at = level.index - 1;
    while (!level.disk.empty() && level.disk.front().first < at)
        level.disk.pop_front();
    if (level.disk.empty() || level.disk.front().first != at)
        return {};
    PendingDisk pending = std::move(level.disk.front().second);
    level.disk.pop_front();
    return pending;
}

void DirectoryWalker::readDiskOfFolder(Level& level, std::span<const Handing> hands) {
    m_planDisk.assign(level.entries.size(), nullptr);
    std::deque<ReadAhead::Ticket> inFlight;
    for (std::size_t i = 0; i < level.entries.size(); ++i) {
        if (hands[i] != Handing::Entry || !wantsDisk(level.entries[i]))
            continue;
        auto disk = std::make_shared<DiskRead>();
        m_planDisk[i] = disk;
        if (!m_readAhead) {
            beginCall();
            readDisk(*level.handle, level.entries[i].name, *disk);
            endCall();
            continue;
        }
        if (inFlight.size() >= kDiskAhead) {
            m_readAhead->awaitWork(inFlight.front());
            inFlight.pop_front();
        }
        inFlight.push_back(requestDisk(level, level.entries[i].name, disk));
    }
    for (const ReadAhead::Ticket ticket : inFlight)
        m_readAhead->awaitWork(ticket);
}

void DirectoryWalker::keepRead(const DiskRead* read) {
    if (m_kept && m_state.PreviewMode && read && read->stamp)
        m_kept->keep(*read->stamp, m_reader->wanted(), read->fields);
}

bool DirectoryWalker::leftOut(const std::string& name) {
    if (m_settings.checked(ExtendedOption::SkipHidden) && name.starts_with('.'))
        return true;
    // The masks compare as the filters do, with the same two ignore-case options.
    return m_excluding &&
           m_exclude.PassesFilters(toCodePoints(name), m_settings.checked(Option::CheckBox11),
                                   m_settings.checked(Option::CheckBox12));
}

void DirectoryWalker::changeTo(const std::string& path) {
    std::string result;
    if (const int error = m_fileSystem.changeDirectory(m_currentDir, path, result))
        throw AppError(directoryErrorText(error));
    m_currentDir = std::move(result);
}

void DirectoryWalker::addRow(Level& level, const std::string& name, bool directoryRow,
                             const char* ruleFailure) {
    PreviewRow row;
    row.currentName = name;
    row.newName = m_state.NewNameResult;
    row.directory = directoryRow;
    if (ruleFailure) {
        row.fails = Conflict::RuleFailed;
        row.ruleFailure = ruleFailure;
    }
    // Numbering by modification time read them already.
    if (!level.plan.infos.empty()) {
        showAllRows();
        const std::size_t i = level.index - 1;
        row.known = level.plan.known[i];
        if (row.known)
            setDetails(row, level.plan.infos[i]);
        m_view.addPreviewRow(std::move(row));
        return;
    }
    if (m_readAhead) {
        // Its size and time are read by the read-ahead; the row follows once they are there,
        // after the rows before it.
        m_readAhead->requestInfo(m_levels.back()->handle, name);
        m_pendingRows.push_back(std::move(row));
        if (m_pendingRows.size() > kPendingRowLimit)
            showRows(1);
        return;
    }
    // Only an entry that gets a row needs its size and time.
    EntryInfo info;
    beginCall();
    row.known = level.handle->info(name, info);
    endCall();
    if (row.known)
        setDetails(row, info);
    m_view.addPreviewRow(std::move(row));
}

void DirectoryWalker::showRows(std::size_t atLeast) {
    while (!m_pendingRows.empty()) {
        EntryInfo info;
        bool known = false;
        if (!m_readAhead->takeInfo(atLeast > 0, info, known))
            return;
        PreviewRow row = std::move(m_pendingRows.front());
        m_pendingRows.pop_front();
        row.known = known;
        if (known)
            setDetails(row, info);
        m_view.addPreviewRow(std::move(row));
        if (atLeast > 0)
            --atLeast;
    }
}

void DirectoryWalker::showAllRows() {
    if (m_readAhead)
        showRows(m_pendingRows.size());
}

void DirectoryWalker::handOver(Level& level, const DirEntry& entry, bool directoryRow) {
    const std::string& name = entry.name;
    const std::int32_t counted = m_state.PreviewCount;
    const std::size_t queued = m_state.Journal.size();
    NameResult result;
    if (m_planner.active()) {
        // Settled with the rest of the folder: only handed on here, in the walk's order.
        const std::size_t i = level.index - 1;
        result.outcome = level.plan.outcome(i);
        m_state.NewNameResult.clear();
        if (result.outcome == NameOutcome::Renamed) {
            m_computer.HandOver(m_currentDir, name, level.plan.newName(i));
        } else if (result.outcome == NameOutcome::Failed) {
            result.failureReason = level.plan.failure(i);
        }
    } else {
        std::optional<EntryDisk> disk;
        if (m_reader || m_needsTime)
            disk.emplace(*this, *level.handle, name, takeDiskReadAhead(level));
        result = m_computer.ComputeNewName(m_currentDir, name, disk ? &*disk : nullptr);
        if (disk)
            keepRead(disk->done());
    }
    if (result.outcome == NameOutcome::Failed) {
        handFailure(level, name, result.failureReason ? result.failureReason : "no new name",
                    directoryRow);
        return;
    }
    // A rename queued: the entry and its folder as the walk sees them, so that what is renamed
    // later is this very entry in this very folder.
    if (m_state.Journal.size() != queued) {
        FileId id;
        if (!level.handle->entryId(entry, id))
            id = FileId{};
        m_state.Journal.identify(queued, id, level.handle->identity());
    }
    const bool row = m_state.PreviewMode && !m_state.NewNameResult.empty();
    // An entry renamed to an empty name is counted but gets no row; Go will still try it.
    if (m_finder && m_state.PreviewCount != counted)
        m_finder->renamed(m_state.NewNameResult, row);
    if (row)
        addRow(level, name, directoryRow);
}

void DirectoryWalker::handFailure(Level& level, const std::string& name, const char* reason,
                                  bool directoryRow) {
    if (!m_state.PreviewMode) {
        // Not renamed; Go counts and logs it with its failures.
        m_state.RuleFailures.push_back({pathInDirectory(m_currentDir, name), reason});
        return;
    }
    // Counted with the renames found, as a rename that will fail is.
    ++m_state.PreviewCount;
    m_state.NewNameResult.clear();
    if (m_finder)
        m_finder->failed(true);
    addRow(level, name, directoryRow, reason);
}

Handing DirectoryWalker::handing(const DirEntry& entry) {
    if (isDotName(entry.name) || leftOut(entry.name))
        return Handing::None;
    if (m_settings.checked(Option::CheckBox14))
        return entry.isDirectory ? Handing::Directory : Handing::None;
    if (entry.isDirectory && m_settings.checked(Option::CheckBox1))
        return Handing::None;
    return Handing::Entry;
}

void DirectoryWalker::readForPlan(Level& level) {
    level.entries = readWhole(*level.handle);
    level.index = 0;
    level.read = true;
}

void DirectoryWalker::readTimes(Level& level, std::span<const Handing> hands) {
    FolderPlan& plan = level.plan;
    plan.infos.assign(level.entries.size(), EntryInfo{});
    plan.known.assign(level.entries.size(), false);
    if (m_readAhead) {
        // The rows asked for before come first.
        showAllRows();
        for (std::size_t i = 0; i < hands.size(); ++i) {
            if (hands[i] != Handing::None)
                m_readAhead->requestInfo(level.handle, level.entries[i].name);
        }
        for (std::size_t i = 0; i < hands.size(); ++i) {
            bool known = false;
            if (hands[i] != Handing::None && m_readAhead->takeInfo(true, plan.infos[i], known))
                plan.known[i] = known;
        }
        return;
    }
    for (std::size_t i = 0; i < hands.size(); ++i) {
        if (hands[i] == Handing::None)
            continue;
        beginCall();
        plan.known[i] = level.handle->info(level.entries[i].name, plan.infos[i]);
        endCall();
    }
}

void DirectoryWalker::planLevel(Level& level) {
    m_hands.resize(level.entries.size());
    bool renames = false;
    for (std::size_t i = 0; i < level.entries.size(); ++i) {
        m_hands[i] = handing(level.entries[i]);
        renames = renames || m_hands[i] != Handing::None;
    }
    level.plan.infos.clear();
    level.plan.known.clear();
    level.plan.taken.clear();
    if (renames && m_planner.needsTimes())
        readTimes(level, m_hands);
    const bool disk = renames && (m_reader || m_needsTime);
    m_planDisk.clear();
    if (disk)
        readDiskOfFolder(level, m_hands);
    if (disk && m_planner.needsDatesTaken()) {
        level.plan.taken.resize(level.entries.size());
        for (std::size_t i = 0; i < m_planDisk.size(); ++i) {
            if (const FieldDate* date =
                    m_planDisk[i] ? m_planDisk[i]->fields.date(FileField::taken) : nullptr)
                level.plan.taken[i] = *date;
        }
    }
    const long nameLimit =
        renames && m_settings.checked(ExtendedOption::Unique) ? level.handle->nameLimit() : 0;
    // The planner computes one entry at a time: one entry's disk at hand at a time.
    std::optional<EntryDisk> entryDisk;
    const auto diskOf = [&](std::size_t i) -> const FieldValues* {
        if (!disk)
            return nullptr;
        entryDisk.reset();
        entryDisk.emplace(*this, *level.handle, level.entries[i].name,
                          PendingDisk{0, m_planDisk[i]});
        return &*entryDisk;
    };
    m_planner.plan(m_currentDir, level.entries, m_hands, nameLimit, level.plan, diskOf, [this] {
        m_view.processPendingEvents();
        return !m_state.GoStopRequested && !m_state.ScanStopRequested;
    });
    for (const std::shared_ptr<DiskRead>& read : m_planDisk)
        keepRead(read.get());
    m_planDisk.clear();
}

void DirectoryWalker::WalkDirectory() {
    // The walk keeps its own place: whatever else runs while it hands over events cannot move
    // it. The run state learns where it ended.
    m_currentDir = m_state.CurrentDir;
    m_pendingRows.clear();
    m_watch.reset();
    m_trial.reset();
    if (m_state.Jobs > 1) {
        m_watch.emplace(kSlowBlocks);
        m_trial.emplace();
    }
    m_nextPlace = UINT32_MAX;
    m_levels.clear();
    try {
        int error = 0;
        Level level;
        beginCall();
        level.handle = m_fileSystem.listDirectory(m_currentDir, error);
        endCall();
        walkLevel(level);
        showAllRows();
    } catch (...) {
        // What the walk met before the error shows, as it would have one row at a time.
        if (m_readAhead) {
            m_readAhead->cancel();
            showAllRows();
        }
        stopReadingAhead();
        m_state.CurrentDir = m_currentDir;
        throw;
    }
    stopReadingAhead();
    m_state.CurrentDir = m_currentDir;
}

void DirectoryWalker::beginCall() {
    if (m_watch)
        m_watch->begin();
}

void DirectoryWalker::endCall() {
    // With several calls in flight, listings and the details of rows are read ahead of the
    // walk from now on; the walk itself goes on in its order on this thread.
    if (m_watch && m_watch->end()) {
        m_watch.reset();
        m_trial.reset();
        if (!m_readAhead)
            startReadingAhead();
    }
}

void DirectoryWalker::tryCallsInFlight() {
    // A walk that is to stop makes no call it would not make one call at a time.
    if (!m_trial || m_state.GoStopRequested || m_state.ScanStopRequested)
        return;
    if (m_trial->deciding())
        showAllRows();
    switch (m_trial->done()) {
        case InFlightTrial::Switch::Stay:
            break;
        case InFlightTrial::Switch::Start:
            // Where every processor has work, threads that read ahead would only take turns
            // with the walk: the trial would cost and could not pay.
            if (!m_fileSystem.processorFree()) {
                m_trial->decline();
                break;
            }
            // The walk's own calls are few while others read ahead: not watched meanwhile.
            m_watch.reset();
            startReadingAhead();
            break;
        case InFlightTrial::Switch::Stop:
            // What was read ahead and is not shown yet is dropped; the levels read whole stay so.
            m_readAhead->cancel();
            showAllRows();
            stopReadingAhead();
            // A later trial asks again for the folders left in the levels being walked.
            for (Level* level : m_levels)
                level->requested = false;
            m_watch.emplace(kSlowBlocks);
            break;
    }
}

void DirectoryWalker::startReadingAhead() {
    m_readAhead = &m_ownedReadAhead.emplace(m_state.Jobs);
    // The levels being walked are read to their ends, and the folders left in them asked for.
    // Places count down: a deeper level's folders come earlier in the walk's order than those
    // left above it, and so does a level entered later.
    // A level read whole before (reading ahead was on before and stopped) has the folders after
    // its next entry asked for again.
    for (Level* level : m_levels) {
        if (!level->read) {
            level->entries = readWhole(*level->handle);
            level->index = 0;
            level->read = true;
        }
        // The entry being walked in each level is entered already.
        requestSubdirectories(*level, level->index);
    }
}

void DirectoryWalker::requestSubdirectories(Level& level, std::size_t from) {
    if (!m_readAhead || level.requested || !m_settings.checked(Option::CheckBox1))
        return;
    level.requested = true;
    if (level.place.empty())
        level.place = WalkPlace{m_nextPlace--};
    for (std::size_t i = from; i < level.entries.size(); ++i) {
        const DirEntry& e = level.entries[i];
        if (!e.isDirectory || isDotName(e.name) || leftOut(e.name))
            continue;
        WalkPlace place = level.place;
        place.push_back(static_cast<std::uint32_t>(i));
        m_readAhead->request(std::move(place), level.handle, e.name);
    }
}

void DirectoryWalker::stopReadingAhead() {
    m_readAhead = nullptr;
    m_ownedReadAhead.reset();
}

void DirectoryWalker::throwOnReadError(const DirectoryListing& listing) {
    // A folder whose listing broke off part-way is not taken as read through: the walk ends
    // there, as for a folder that cannot be entered.
    if (const int error = listing.readError())
        throw AppError(directoryErrorText(error));
}

bool DirectoryWalker::Level::next(DirEntry& entry) {
    if (!read)
        return handle->next(entry);
    if (index >= entries.size())
        return false;
    // Each entry is taken once: what is asked of the entries read (subdirectories to read ahead,
    // names to settle) is asked before they are taken.
    entry = std::move(entries[index++]);
    return true;
}

void DirectoryWalker::enter(Level& parent, const std::string& name, Level& level) {
    if (m_readAhead && parent.read) {
        WalkPlace place = parent.place;
        place.push_back(static_cast<std::uint32_t>(parent.index - 1));
        if (std::unique_ptr<ReadListing> listing = m_readAhead->take(place)) {
            if (listing->enterError == 0) {
                level.handle = std::move(listing->handle);
                level.entries = std::move(listing->entries);
                level.read = true;
                level.place = std::move(place);
                level.requested = false;
                return;
            }
            // Met ahead: nothing read after this point is used, and the walk enters the
            // directory itself, so the failure is met here, in its order.
            m_readAhead->cancel();
            showAllRows();
        }
    }
    std::unique_ptr<DirectoryListing> listing;
    beginCall();
    const int error = parent.handle->enterSubdirectory(name, listing);
    endCall();
    if (error)
        throw AppError(directoryErrorText(error));
    level.handle = std::move(listing);
    if (m_readAhead && level.handle) {
        // Reading ahead began while this level was being entered: it is read whole, and what
        // lies below it is read ahead, with places of its own.
        level.entries = readWhole(*level.handle);
        level.read = true;
    }
}

void DirectoryWalker::walkLevel(Level& level) {
    if (m_planner.active() && level.handle) {
        if (!level.read)
            readForPlan(level);
        planLevel(level);
    }
    if (level.read)
        requestSubdirectories(level, 0);
    DirEntry entry;
    if (!level.handle || !level.next(entry)) {
        if (level.handle)
            throwOnReadError(*level.handle);
        changeTo("..");
        return;
    }
    m_levels.push_back(&level);
    if (m_finder)
        m_finder->openFolder(m_currentDir);
    for (;;) {
        if (m_readAhead && level.read && (m_reader || m_needsTime) && !m_planner.active())
            readDiskAhead(level);
        // An entry left out still holds its name, which another rename may want.
        if (m_finder)
            m_finder->listed(entry.name);
        const bool handled = !isDotName(entry.name) && !leftOut(entry.name);
        if (handled && entry.isDirectory && m_settings.checked(Option::CheckBox14)) {
            m_state.DirectoryPass = true;
            try {
                handOver(level, entry, true);
            } catch (...) {
                m_state.DirectoryPass = false;
                throw;
            }
            m_state.DirectoryPass = false;
        }
        if (handled) {
            if (entry.isDirectory && m_settings.checked(Option::CheckBox1)) {
                Level inner;
                enter(level, entry.name, inner);
                m_currentDir = pathInDirectory(m_currentDir, entry.name);
                walkLevel(inner);
            } else if (!m_settings.checked(Option::CheckBox14)) {
                handOver(level, entry, false);
            }
        }
        if (m_readAhead)
            showRows(0);
        tryCallsInFlight();
        m_view.setStatusText(m_currentDir);
        m_view.processPendingEvents();
        if (m_state.GoStopRequested || m_state.ScanStopRequested) {
            // Nothing more is read ahead for a walk that stops here.
            if (m_readAhead)
                m_readAhead->cancel();
            break;
        }
        if (!level.next(entry)) {
            throwOnReadError(*level.handle);
            break;
        }
    }
    if (m_planner.active()) {
        // Every name is handed on: what settled them is given back before the marks are worked
        // out, which needs memory of its own in a huge folder.
        level.plan = FolderPlan{};
        std::vector<DirEntry>().swap(level.entries);
    }
    if (m_finder) {
        // The folder's rows are all shown before its marks come.
        showAllRows();
        m_finder->closeFolder(*level.handle);
    }
    m_levels.pop_back();
    changeTo("..");
}

}  // namespace zr
