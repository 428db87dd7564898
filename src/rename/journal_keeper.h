// SPDX-License-Identifier: GPL-3.0-or-later
// Undo data kept in journal files, so that it outlives the process: the command line's journal
// at a path the user names, and the window's journal in the user's state folder, which a window
// started after a crash adopts.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "rename/undo_keeper.h"

namespace zr {

// The journal file `go --journal FILE` writes: created, never over an existing entry, once the
// walk is over, and on the disk (file and folder) before the first rename; the renames that
// failed are recorded after them. The file is locked while the keeper lives, so no undo can use
// it while the run is still going. keep() throws AppError with the system's error text; the
// errno is kept for the front end's own words.
class JournalFileKeeper : public UndoKeeper {
public:
    JournalFileKeeper(FileSystem& fileSystem, std::string path);

    void keep(const UndoJournal& journal) override;
    void finish(const UndoJournal& journal) override;

    // Writes an empty journal, for a run that never reached its renames (a batch run, or one that
    // found nothing). Returns 0 or the errno.
    int keepEmpty();

    bool created() const { return m_created; }
    int keepError() const { return m_keepError; }
    int finishError() const { return m_finishError; }
    std::size_t failedCount() const { return m_failed; }
    const std::string& path() const { return m_path; }

private:
    FileSystem& m_fileSystem;
    std::string m_path;
    std::unique_ptr<OutputFile> m_file;
    std::unique_ptr<FileLock> m_lock;
    int m_keepError = 0;
    int m_finishError = 0;
    std::size_t m_failed = 0;
    bool m_created = false;
};

// The window's undo data on disk: a journal file in `folder` (the user's state folder) that
// exists exactly while the window holds undo data. A window that ends without discarding it
// (a crash, a kill, a power cut) leaves it behind, and the next window adopts it. A window holds
// the lock of its journal all that time, so no other window ever adopts or removes it; a
// journal is written under a hidden name and gets its adoptable name only once it is whole and
// locked.
class StateJournal : public UndoKeeper {
public:
    StateJournal(FileSystem& fileSystem, std::string folder);

    // At start-up: reads the journal that a window which is gone left behind into `journal` and
    // holds it from now on; the number of renames that can be undone (checked against the disk,
    // see settleUndoData), or nothing when there is none. A journal with nothing left to undo is
    // removed. Journals that cannot be used are renamed aside (never acted on) and named in
    // `problems`, in one message however many there are.
    std::optional<std::size_t> adopt(UndoJournal& journal, std::vector<std::string>& problems);

    // Where the journal tells of a problem the user should know of at once: the marks of the
    // renames that failed could not be written (the disk is full), and the like.
    void onProblem(std::function<void(const std::string&)> report) { m_report = std::move(report); }

    // Writes the journal of a renaming run before its first rename; nothing for an empty one.
    // Throws AppError when it cannot, and then nothing is renamed.
    void keep(const UndoJournal& journal) override;
    void finish(const UndoJournal& journal) override;
    // The undo data is gone: Undo has run, a new run discards it, the window closes without it.
    void discard() override;
    // Replaces the journal whole, so that a later window adopts only what is left to undo; a
    // journal that cannot be replaced stays as it was (its renames back then fail harmlessly).
    void keepWhatIsLeft(const UndoJournal& journal) override;

    // The journal now held; empty when there is none.
    const std::string& path() const { return m_path; }

private:
    FileSystem& m_fileSystem;
    std::string m_folder;
    std::string m_path;
    std::unique_ptr<OutputFile> m_file;
    std::unique_ptr<FileLock> m_lock;
    std::function<void(const std::string&)> m_report;
};

}  // namespace zr
