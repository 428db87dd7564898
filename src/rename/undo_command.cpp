// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/undo_command.h"

#include <utility>
#include <vector>

#include "rename/rename_executor.h"
#include "rename/rename_scheduler.h"
#include "rename/script_files.h"
#include "rules/app_error.h"

namespace zr {

UndoCommand::UndoCommand(RunFlags& flags, FileSystem& fileSystem, Clock& clock, CommandView& view,
                         UndoKeeper* keeper)
    : m_flags(flags), m_fileSystem(fileSystem), m_clock(clock), m_view(view), m_keeper(keeper) {}

std::size_t settleUndoData(FileSystem& fileSystem, UndoJournal& journal) {
    if (!journal.identified())
        return journal.size();
    const std::unique_ptr<RenameSession> session = fileSystem.openRenameSession();
    // A folder the run renamed lies under its new name until the undo gives its old name back,
    // before what lies inside it: that is looked for where the folder is now.
    std::vector<std::pair<std::string, std::string>> folders;  // old path, where it is now
    const auto whereNow = [&folders](const std::string& path) {
        std::size_t longest = 0;
        std::string now = path;
        for (const auto& [old, current] : folders) {
            if (old.size() > longest && liesInside(path, old)) {
                longest = old.size();
                now = current + path.substr(old.size());
            }
        }
        return now;
    };
    std::size_t undoable = 0;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal.failed(i))
            continue;
        const JournalEntry entry = journal[i];
        RenameRequest request;
        request.from = whereNow(entry.newFullPath());
        request.to = whereNow(std::string(entry.oldFullPath()));
        request.folder = journal.folderId(i);
        request.entry = journal.entryId(i);
        request.temporary = journal.temporaryName(i);
        bool atTemporary = false;
        const int where = session->locate(request, atTemporary);
        if (where == kAlreadyInPlace)
            journal.markFailed(i);
        if (where != 0)
            continue;
        ++undoable;
        if (i + 1 < journal.size() && liesInside(journal[i + 1].oldFullPath(), entry.oldFullPath()))
            folders.emplace_back(
                std::string(entry.oldFullPath()),
                atTemporary
                    ? pathInDirectory(std::string(directoryOfPath(request.from)), request.temporary)
                    : request.from);
    }
    return undoable;
}

void UndoCommand::Button3Click() {
    if (m_flags.GoRunning || m_flags.JournalCount == 0)
        return;
    m_flags.GoRunning = true;
    m_view.busyOn();
    m_view.setEnabled(Control::Button1, false);
    // The undo takes no input until it ends: it says what is under way, as Go's "Renaming" does.
    const std::size_t renames = m_flags.Journal.size() - m_flags.Journal.failedCount();
    m_view.setStatusText("Undoing " + std::to_string(renames) + " rename(s) ...");
    m_view.setCaption(Control::Button3, "Undoing");
    m_view.showNow();
    m_flags.RenamedCount = 0;
    m_flags.FailureCount = 0;

    std::string error;
    try {
        reverseAll();
        if (m_keeper)
            m_keeper->undone(m_flags.Journal);
        m_flags.Journal.clear();
        m_flags.JournalCount = 0;
    } catch (...) {
        error = currentErrorText();
        // Part of the way through: what is kept holds only what is left to undo.
        if (m_keeper && m_flags.JournalCount == 0)
            m_keeper->discard();
        else if (m_keeper && m_flags.RenamedCount != 0)
            m_keeper->keepWhatIsLeft(m_flags.Journal);
    }

    m_view.setCaption(Control::Button3, "&Undo");
    m_view.busyOff(m_flags.JournalCount != 0);
    m_view.setEnabled(Control::Button1, true);
    m_view.setEnabled(Control::Button3, m_flags.JournalCount != 0);
    m_view.setEnabled(Control::SaveUndoasbat1, m_flags.JournalCount != 0);
    m_flags.GoRunning = false;
    if (!error.empty())
        m_view.showError(error);
}

void UndoCommand::reverseAll() {
    const std::string& workDir = m_flags.CurrentDir;
    if (workDir.empty())
        throw AppError(kNoWorkingDirectory);
    const std::time_t now = m_clock.now();
    FailureLog log(m_fileSystem, workDir, m_clock.formatDate(now), m_clock.formatTime(now));
    UndoJournal& journal = m_flags.Journal;
    const std::size_t count = journal.size();
    RunFiles files;
    const auto status = [&] {
        m_view.setClosingStatus(renameStatus("Undo done, ", m_flags.RenamedCount,
                                             " file(s) renamed back, ", m_flags.FailureCount),
                                files);
    };
    bool logBroken = false;
    try {
        // Journal order: a directory gets its old name back before its contents.
        RenameScheduler(m_fileSystem, m_flags.Jobs)
            .run(
                count,
                [&](std::size_t i, RenameScheduler::Rename& rename) {
                    const JournalEntry entry = journal[i];
                    rename.from = entry.newFullPath();
                    rename.to = entry.oldFullPath();
                    // Only the entry the run renamed, in the folder the walk saw, goes back,
                    // from wherever the run left it.
                    rename.folder = journal.folderId(i);
                    rename.entry = journal.entryId(i);
                    rename.temporary = journal.temporaryName(i);
                    // What Go failed to rename was never done: its new name may be someone
                    // else's.
                    rename.refused = journal.failed(i) || !isPlainName(entry.newName()) ||
                                     holdsDirectory(rename.from, workDir);
                    if (!journal.failed(i) && i + 1 < count &&
                        liesInside(journal[i + 1].oldFullPath(), entry.oldFullPath()))
                        rename.fence = RenameScheduler::Fence::HoldsLater;
                },
                [&](std::size_t i, RenameScheduler::Outcome& outcome) {
                    if (journal.failed(i))
                        return;
                    // Under its old name already: never renamed, or renamed back by an undo
                    // that ended early. Nothing to do, and nothing failed.
                    if (outcome.error == kAlreadyInPlace) {
                        journal.markFailed(i);
                        return;
                    }
                    if (outcome.error == 0) {
                        ++m_flags.RenamedCount;
                        // Renamed back: nothing may undo it again, should the undo end early.
                        journal.markFailed(i);
                        return;
                    }
                    const JournalEntry entry = journal[i];
                    ++m_flags.FailureCount;
                    // Once a line could not be written, the renames still under way are only
                    // counted.
                    if (logBroken)
                        return;
                    logBroken = true;
                    log.add(failureLine(entry.oldFullPath(), entry.newFullPath(),
                                        outcome.strandedAt, outcome.error));
                    logBroken = false;
                });
        files.failureLog = log.finish(m_flags, m_view);
    } catch (...) {
        // The undo data keeps only what is left to undo.
        if (journal.failedCount() == journal.size()) {
            journal.clear();
            m_flags.JournalCount = 0;
        }
        files.failureLog = log.offerAsItIs(m_flags, m_view);
        status();
        throw;
    }
    status();
}

void UndoCommand::SaveUndoasbat1Click() {
    // The export leaves the status as it was; only while it writes does it say so.
    const std::string status = m_view.statusText();
    try {
        if (m_flags.SavedWorkDir.empty())
            throw AppError(kNoWorkingDirectory);
        // What failed in Go was never done; what a script line cannot hold is left out too.
        const UndoJournal& journal = m_flags.Journal;
        std::size_t lines = 0;
        std::size_t unscriptable = 0;
        for (std::size_t i = 0; i < journal.size(); ++i) {
            if (journal.failed(i))
                continue;
            if (isScriptable(journal[i]))
                ++lines;
            else
                ++unscriptable;
        }
        m_view.setStatusText("Writing the undo script of " + std::to_string(lines) +
                             " rename(s) ...");
        m_view.showNow();
        TextFile script(m_fileSystem, m_flags.SavedWorkDir, "renamer_undo.bat");
        const std::time_t now = m_clock.now();
        writeScriptHeader(script, "undo", m_clock.formatDate(now), m_clock.formatTime(now), lines);
        for (std::size_t i = 0; i < journal.size(); ++i) {
            if (!journal.failed(i) && isScriptable(journal[i]))
                script.writeLine(undoScriptLine(journal[i]));
        }
        script.close();
        m_view.setStatusText(status);
        std::string message = "Undo file '" + script.name() + "' written succesfully.";
        if (unscriptable != 0)
            message += " " + std::to_string(unscriptable) +
                       " rename(s) were left out: a script cannot hold their names.";
        m_view.showMessage(MessageType::Information, message);
    } catch (...) {
        m_view.setStatusText(status);
        m_view.showError(currentErrorText());
    }
}

}  // namespace zr
