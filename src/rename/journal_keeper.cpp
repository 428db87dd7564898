// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/journal_keeper.h"

#include <algorithm>
#include <cerrno>

#include "rename/journal_file.h"
#include "rename/script_files.h"
#include "rules/app_error.h"

namespace zr {

namespace {

// The folder a journal's name lies in, for syncing its entry.
std::string folderOf(const std::string& path) {
    const std::string_view folder = directoryOfPath(path);
    return folder.empty() ? "." : std::string(folder);
}

// Creates a new file under the free name for `baseName` in `folder`; another process may take a
// free name between the test and the creation, which is exclusive, so the next one is tried.
std::unique_ptr<OutputFile> createFree(FileSystem& fileSystem, const std::string& folder,
                                       const std::string& baseName, std::string& path, int& error) {
    for (int tries = 0; tries < 100; ++tries) {
        path = pathInDirectory(folder, UniqueFileName(fileSystem, folder, baseName));
        std::unique_ptr<OutputFile> file = fileSystem.createFile(path, error);
        if (file || error != EEXIST)
            return file;
    }
    return nullptr;
}

constexpr const char* kJournalName = "undo.journal";
constexpr const char* kBeingWritten = ".undo-being-written";
constexpr const char* kUnusable = ".unusable";

}  // namespace

JournalFileKeeper::JournalFileKeeper(FileSystem& fileSystem, std::string path)
    : m_fileSystem(fileSystem), m_path(std::move(path)) {}

void JournalFileKeeper::keep(const UndoJournal& journal) {
    int error = 0;
    m_file = m_fileSystem.createFile(m_path, error);
    if (m_file) {
        // Held while the run goes on, so that no undo can use the journal meanwhile.
        m_fileSystem.lockFile(m_path, m_lock);
        error = writeJournal(*m_file, journal);
        if (error == 0)
            error = m_fileSystem.syncDirectory(folderOf(m_path));
        if (error != 0) {
            // Half a journal would undo half a run: none is better.
            m_file.reset();
            m_lock.reset();
            m_fileSystem.removeFile(m_path);
        }
    }
    if (error != 0) {
        m_keepError = error;
        throw AppError(systemErrorText(error));
    }
    m_created = true;
}

void JournalFileKeeper::finish(const UndoJournal& journal) {
    if (!m_file)
        return;
    m_finishError = appendFailures(*m_file, journal);
    const int closeError = m_file->close();
    if (m_finishError == 0)
        m_finishError = closeError;
    m_failed = journal.failedCount();
    m_file.reset();
}

int JournalFileKeeper::keepEmpty() {
    try {
        keep(UndoJournal{});
    } catch (const AppError&) {
        return m_keepError;
    }
    finish(UndoJournal{});
    return m_finishError;
}

StateJournal::StateJournal(FileSystem& fileSystem, std::string folder)
    : m_fileSystem(fileSystem), m_folder(std::move(folder)) {}

void StateJournal::keep(const UndoJournal& journal) {
    discard();
    if (journal.empty())
        return;
    const auto fail = [&](int error) {
        throw AppError("Cannot keep the undo data in " + m_folder + ": " +
                       errorBoxText(systemErrorText(error)));
    };
    if (m_folder.empty())
        fail(ENOENT);
    if (const int error = m_fileSystem.createDirectories(m_folder))
        fail(error);

    // Written and locked under a name no window adopts; adoptable once whole and on the disk.
    int error = 0;
    std::string writing;
    std::unique_ptr<OutputFile> file =
        createFree(m_fileSystem, m_folder, kBeingWritten, writing, error);
    if (!file)
        fail(error);
    std::unique_ptr<FileLock> lock;
    error = m_fileSystem.lockFile(writing, lock);
    if (error == 0)
        error = writeJournal(*file, journal);
    std::string path;
    bool named = false;
    for (int tries = 0; error == 0 && !named && tries < 100; ++tries) {
        path = pathInDirectory(m_folder, UniqueFileName(m_fileSystem, m_folder, kJournalName));
        error = m_fileSystem.rename(writing, path);
        named = error == 0;
        if (error == EEXIST)
            error = 0;
    }
    if (error == 0 && !named)
        error = EEXIST;
    if (error == 0)
        error = m_fileSystem.syncDirectory(m_folder);
    if (error != 0) {
        file.reset();
        m_fileSystem.removeFile(named ? path : writing);
        fail(error);
    }
    m_file = std::move(file);
    m_lock = std::move(lock);
    m_path = std::move(path);
}

void StateJournal::finish(const UndoJournal& journal) {
    if (!m_file)
        return;
    // Without the marks an undo would also try what failed; nothing more can be done about a
    // disk that refuses them now, and the journal stays usable without them.
    appendFailures(*m_file, journal);
    m_file->close();
    m_file.reset();
}

void StateJournal::keepWhatIsLeft(const UndoJournal& journal) {
    if (m_path.empty() || m_fileSystem.replaceFile(m_path, journalText(journal)) != 0)
        return;
    // The lock was on the file replaced: take the new one's, so no other window adopts it.
    m_lock.reset();
    m_fileSystem.lockFile(m_path, m_lock);
}

void StateJournal::discard() {
    m_file.reset();
    if (!m_path.empty())
        m_fileSystem.removeFile(m_path);
    m_path.clear();
    m_lock.reset();
}

std::optional<std::size_t> StateJournal::adopt(UndoJournal& journal,
                                               std::vector<std::string>& problems) {
    int error = 0;
    const std::unique_ptr<DirectoryListing> listing = m_fileSystem.listDirectory(m_folder, error);
    if (!listing)
        return std::nullopt;
    std::vector<std::string> names;
    DirEntry entry;
    while (listing->next(entry)) {
        if (!entry.isDirectory)
            names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = pathInDirectory(m_folder, name);
        const bool leftOver = name.starts_with(kBeingWritten);
        if (!leftOver && (!name.ends_with(".journal") || name.starts_with(".")))
            continue;
        std::unique_ptr<FileLock> lock;
        if (m_fileSystem.lockFile(path, lock) != 0)
            continue;  // a running window's, or gone meanwhile
        if (leftOver) {
            // A window that died before its journal was whole renamed nothing.
            m_fileSystem.removeFile(path);
            continue;
        }
        std::string reason;
        UndoJournal found;
        if (readJournalFile(m_fileSystem, path, found, error, reason)) {
            if (found.empty()) {
                m_fileSystem.removeFile(path);
                continue;
            }
            journal = std::move(found);
            m_lock = std::move(lock);
            m_path = path;
            return journal.size();
        }
        if (error != 0 && reason.empty()) {
            const std::string refusal = refusalText(error);
            reason = refusal.empty() ? errorBoxText(systemErrorText(error)) : "it is " + refusal;
        }
        const std::string aside =
            pathInDirectory(m_folder, UniqueFileName(m_fileSystem, m_folder, name + kUnusable));
        const bool moved = m_fileSystem.rename(path, aside) == 0;
        problems.push_back("The undo data of an interrupted run in " + path + " cannot be used (" +
                           reason + "); " +
                           (moved ? "it was kept as " + aside + "." : "it was left as it is."));
    }
    return std::nullopt;
}

}  // namespace zr
