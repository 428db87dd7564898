#include "scan/walk.h"

#include "rules/app_error.h"

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

DirectoryWalker::DirectoryWalker(const RenameSettings& settings, WalkState& state,
                                 NewNameComputer& computer, FileSystem& fileSystem,
                                 CommandView& view, ConflictFinder* finder)
    : m_settings(settings),
      m_state(state),
      m_computer(computer),
      m_fileSystem(fileSystem),
      m_view(view),
      m_finder(finder) {}

void DirectoryWalker::changeTo(const std::string& path) {
    std::string result;
    if (const int error = m_fileSystem.changeDirectory(m_currentDir, path, result))
        throw AppError(systemErrorText(error));
    m_currentDir = std::move(result);
}

void DirectoryWalker::addRow(DirectoryListing& listing, const std::string& name,
                             bool directoryRow) {
    PreviewRow row;
    row.currentName = name;
    row.newName = m_state.NewNameResult;
    row.directory = directoryRow;
    // Only an entry that gets a row needs its size and time.
    EntryInfo info;
    row.known = listing.info(name, info);
    if (row.known) {
        row.size = info.size;
        row.time = previewTime(info.lastWrite);
    }
    m_view.addPreviewRow(std::move(row));
}

void DirectoryWalker::handOver(DirectoryListing& listing, const std::string& name,
                               bool directoryRow) {
    const std::int32_t counted = m_state.PreviewCount;
    m_computer.ComputeNewName(m_currentDir, name);
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
    try {
        int error = 0;
        walkListing(m_fileSystem.listDirectory(m_currentDir, error));
    } catch (...) {
        m_state.CurrentDir = m_currentDir;
        throw;
    }
    m_state.CurrentDir = m_currentDir;
}

void DirectoryWalker::walkListing(std::unique_ptr<DirectoryListing> listing) {
    DirEntry entry;
    if (!listing || !listing->next(entry)) {
        changeTo("..");
        return;
    }
    if (m_finder)
        m_finder->openFolder(m_currentDir);
    do {
        if (m_finder)
            m_finder->listed(entry.name);
        const bool dotName = isDotName(entry.name);
        if (!dotName && entry.isDirectory && m_settings.checked(Option::CheckBox14)) {
            m_state.DirectoryPass = true;
            try {
                handOver(*listing, entry.name, true);
            } catch (...) {
                m_state.DirectoryPass = false;
                throw;
            }
            m_state.DirectoryPass = false;
        }
        if (!dotName) {
            if (entry.isDirectory && m_settings.checked(Option::CheckBox1)) {
                std::unique_ptr<DirectoryListing> subdirectory;
                if (const int error = listing->enterSubdirectory(entry.name, subdirectory))
                    throw AppError(systemErrorText(error));
                m_currentDir = pathInDirectory(m_currentDir, entry.name);
                walkListing(std::move(subdirectory));
            } else if (!m_settings.checked(Option::CheckBox14)) {
                handOver(*listing, entry.name, false);
            }
        }
        m_view.setStatusText(m_currentDir);
        m_view.processPendingEvents();
        if (m_state.GoStopRequested || m_state.ScanStopRequested)
            break;
    } while (listing->next(entry));
    if (m_finder)
        m_finder->closeFolder(*listing);
    changeTo("..");
}

}  // namespace zr
