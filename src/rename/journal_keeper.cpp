// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/journal_keeper.h"

#include <algorithm>
#include <cerrno>

#include "rename/journal_file.h"
#include "rename/script_files.h"
#include "rename/undo_command.h"
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
    // Without the marks, a window that adopts the journal after a crash still finds the entries
    // that were never renamed under their old names; this window's Undo uses the marks it holds.
    const int error = appendFailures(*m_file, journal);
    m_file->close();
    m_file.reset();
    if (error != 0 && m_report)
        m_report("The undo data kept on the disk could not record which " +
                 std::to_string(journal.failedCount()) + " rename(s) failed: " +
                 errorBoxText(systemErrorText(error)) + " Undo leaves them alone all the same.");
}

void StateJournal::keepWhatIsLeft(const UndoJournal& journal) {
    // Only the journal this window holds is replaced, whatever its name holds now.
    FileId there;
    if (m_path.empty() || !m_lock || m_fileSystem.identify(m_path, there) != 0 ||
        there != m_lock->identity() || m_fileSystem.replaceFile(m_path, journalText(journal)) != 0)
        return;
    // The lock was on the file replaced: take the new one's, so no other window adopts it.
    m_lock.reset();
    m_fileSystem.lockFile(m_path, m_lock);
}

void StateJournal::discard() {
    m_file.reset();
    if (!m_path.empty() && m_lock &&
        m_fileSystem.removeFileIf(m_path, m_lock->identity()) == kErrorNotTheEntry && m_report)
        m_report("The undo data kept in " + m_path +
                 " was left as it is: that name now holds another file.");
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
    struct Unusable {
        std::string name;
        std::string reason;
        std::string aside;  // empty: it could not be renamed aside
    };
    std::vector<Unusable> unusable;
    std::optional<std::size_t> adopted;
    for (const std::string& name : names) {
        const std::string path = pathInDirectory(m_folder, name);
        const bool leftOver = name.starts_with(kBeingWritten);
        if (!leftOver && (!name.ends_with(".journal") || name.starts_with(".")))
            continue;
        std::unique_ptr<FileLock> lock;
        if (m_fileSystem.lockFile(path, lock) != 0)
            continue;  // a running window's, gone meanwhile, or no journal file
        if (leftOver) {
            // A window that died before its journal was whole renamed nothing.
            m_fileSystem.removeFileIf(path, lock->identity());
            continue;
        }
        std::string reason;
        UndoJournal found;
        const std::unique_ptr<InputFile> file = lock->read(error);
        if (file && readJournal(*file, found, error, reason)) {
            const std::size_t undoable = settleUndoData(m_fileSystem, found);
            if (undoable == 0) {
                // Nothing left to undo: every entry is under its old name.
                m_fileSystem.removeFileIf(path, lock->identity());
                continue;
            }
            journal = std::move(found);
            m_lock = std::move(lock);
            m_path = path;
            adopted = undoable;
            break;
        }
        if (error != 0 && reason.empty()) {
            const std::string refusal = refusalText(error);
            reason = refusal.empty() ? errorBoxText(systemErrorText(error)) : "it is " + refusal;
        }
        const std::string aside =
            pathInDirectory(m_folder, UniqueFileName(m_fileSystem, m_folder, name + kUnusable));
        const bool moved = m_fileSystem.rename(path, aside) == 0;
        unusable.push_back({name, reason, moved ? aside : std::string()});
    }
    if (unusable.size() == 1) {
        const Unusable& u = unusable[0];
        problems.push_back(
            "The undo data of an interrupted run in " + pathInDirectory(m_folder, u.name) +
            " cannot be used (" + u.reason + "); " +
            (u.aside.empty() ? "it was left as it is." : "it was kept as " + u.aside + "."));
    } else if (unusable.size() > 1) {
        // One message, however many: a few named, the rest counted.
        constexpr std::size_t kNamed = 10;
        std::string text = "The undo data of " + std::to_string(unusable.size()) +
                           " interrupted runs in " + m_folder +
                           " cannot be used; each was kept with \"" + kUnusable +
                           "\" added to its name, and none is acted on:";
        for (std::size_t i = 0; i < unusable.size() && i < kNamed; ++i) {
            text += "\n" + unusable[i].name + ": " + unusable[i].reason;
            if (unusable[i].aside.empty())
                text += " (left as it is)";
        }
        if (unusable.size() > kNamed)
            text += "\n... and " + std::to_string(unusable.size() - kNamed) + " more.";
        problems.push_back(std::move(text));
    }
    return adopted;
}

}  // namespace zr
