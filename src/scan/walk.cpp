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

}  // namespace

std::time_t previewTime(std::time_t lastWrite) {
    const std::time_t odd = ((lastWrite % 2) + 2) % 2;
    return lastWrite - odd;
}

namespace {

void setDetails(PreviewRow& row, const EntryInfo& info) {
    row.size = info.size;
    row.time = previewTime(info.lastWrite);
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
              ReadAhead::Ticket ticket, std::shared_ptr<DiskRead> ahead)
        : m_walker(walker),
          m_listing(listing),
          m_name(name),
          m_ticket(ticket),
          m_ahead(std::move(ahead)) {}

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

void DirectoryWalker::readDiskAhead(Level& level) {
    // From the entry after the one in hand, which the walk has taken (and reads itself).
    level.diskNext = std::max(level.diskNext, level.index);
    while (level.disk.size() < kDiskAhead && level.diskNext < level.entries.size()) {
        const std::size_t at = level.diskNext++;
        const DirEntry& entry = level.entries[at];
        // Only files are handed over with their fields read ahead; a folder's (its time, when
        // one is handed over) is read when it is.
        if (entry.isDirectory || m_settings.checked(Option::CheckBox14) || isDotName(entry.name) ||
            leftOut(entry.name) || !passesFilters(entry.name))
            continue;
        auto disk = std::make_shared<DiskRead>();
        const ReadAhead::Ticket ticket =
            m_readAhead->requestWork([this, listing = level.handle, name = entry.name, disk] {
                try {
                    readDisk(*listing, name, *disk);
                } catch (...) {
                    // Out of memory: an entry without the fields, as one that cannot be read.
                    disk->fieldsRead = true;
                    disk->fields = FileFields{};
                    disk->fields.error = ENOMEM;
                }
            });
        level.disk.emplace_back(at, ticket, std::move(disk));
    }
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

void DirectoryWalker::addRow(DirectoryListing& listing, const std::string& name,
                             bool directoryRow) {
    PreviewRow row;
    row.currentName = name;
    row.newName = m_state.NewNameResult;
    row.directory = directoryRow;
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
    row.known = listing.info(name, info);
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
    DirectoryListing& listing = *level.handle;
    const std::string& name = entry.name;
    const std::int32_t counted = m_state.PreviewCount;
    const std::size_t queued = m_state.Journal.size();
    std::optional<EntryDisk> disk;
    if (m_reader || m_needsTime) {
        ReadAhead::Ticket ticket = 0;
        std::shared_ptr<DiskRead> ahead;
        if (level.read && m_readAhead) {
            const std::size_t at = level.index - 1;
            while (!level.disk.empty() && std::get<0>(level.disk.front()) < at)
                level.disk.pop_front();
            if (!level.disk.empty() && std::get<0>(level.disk.front()) == at) {
                ticket = std::get<1>(level.disk.front());
                ahead = std::move(std::get<2>(level.disk.front()));
                level.disk.pop_front();
            }
        }
        disk.emplace(*this, listing, name, ticket, std::move(ahead));
    }
    m_computer.ComputeNewName(m_currentDir, name, disk ? &*disk : nullptr);
    // What a Scan read from a file is kept for the Go after it.
    if (m_kept && m_state.PreviewMode && disk && disk->done() && disk->done()->stamp)
        m_kept->keep(*disk->done()->stamp, m_reader->wanted(), disk->done()->fields);
    // A rename queued: the entry and its folder as the walk sees them, so that what is renamed
    // later is this very entry in this very folder.
    if (m_state.Journal.size() != queued) {
        FileId id;
        if (!listing.entryId(entry, id))
            id = FileId{};
        m_state.Journal.identify(queued, id, listing.identity());
    }
    const bool row = m_state.PreviewMode && !m_state.NewNameResult.empty();
    // An entry renamed to an empty name is counted but gets no row; Go will still try it.
    if (m_finder && m_state.PreviewCount != counted)
        m_finder->renamed(m_state.NewNameResult, row);
    if (row)
        addRow(listing, name, directoryRow);
}

void DirectoryWalker::WalkDirectory() {
    // The walk keeps its own place: whatever else runs while it hands over events cannot move
    // it. The run state learns where it ended.
    m_currentDir = m_state.CurrentDir;
    m_pendingRows.clear();
    m_watch.reset();
    if (m_state.Jobs > 1)
        m_watch.emplace(kSlowBlocks);
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
        startReadingAhead();
    }
}

void DirectoryWalker::startReadingAhead() {
    m_readAhead = &m_ownedReadAhead.emplace(m_state.Jobs);
    // The levels being walked are read to their ends, and the folders left in them asked for.
    // Places count down: a deeper level's folders come earlier in the walk's order than those
    // left above it, and so does a level entered later.
    for (Level* level : m_levels) {
        if (level->read)
            continue;
        level->entries = readWhole(*level->handle);
        level->index = 0;
        level->read = true;
        level->place = WalkPlace{m_nextPlace--};
        requestSubdirectories(*level);
    }
}

void DirectoryWalker::requestSubdirectories(const Level& level) {
    if (!m_settings.checked(Option::CheckBox1))
        return;
    for (std::size_t i = 0; i < level.entries.size(); ++i) {
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
    entry = entries[index++];
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
        level.place = WalkPlace{m_nextPlace--};
    }
}

void DirectoryWalker::walkLevel(Level& level) {
    DirEntry entry;
    if (!level.handle || !level.next(entry)) {
        if (level.handle)
            throwOnReadError(*level.handle);
        changeTo("..");
        return;
    }
    m_levels.push_back(&level);
    if (m_readAhead && level.read)
        requestSubdirectories(level);
    if (m_finder)
        m_finder->openFolder(m_currentDir);
    for (;;) {
        if (m_readAhead && level.read && (m_reader || m_needsTime))
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
    if (m_finder) {
        // The folder's rows are all shown before its marks come.
        showAllRows();
        m_finder->closeFolder(*level.handle);
    }
    m_levels.pop_back();
    changeTo("..");
}

}  // namespace zr
