#include "rename/rename_executor.h"

#include <optional>

#include "rename/rename_scheduler.h"
#include "rename/script_files.h"
#include "rename/shell_script.h"

namespace zr {

RenameExecutor::RenameExecutor(const RenameSettings& settings, RunFlags& flags,
                               FileSystem& fileSystem, Clock& clock, CommandView& view,
                               UndoKeeper* keeper)
    : m_settings(settings),
      m_flags(flags),
      m_fileSystem(fileSystem),
      m_clock(clock),
      m_view(view),
      m_keeper(keeper) {}

std::string renameStatus(std::string_view done, std::int32_t renamed, std::string_view what,
                         std::int32_t failures) {
    std::string status = std::string(done) + std::to_string(renamed) + std::string(what) +
                         std::to_string(failures) + " failure(s).";
    if (failures != 0)
        status += "  [see failure log]";
    return status;
}

std::string batchStatus(std::int32_t placed, std::int32_t failures) {
    if (failures == 0)
        return "Done, " + std::to_string(placed) + " file(s) placed in batch file.";
    return renameStatus("Done, ", placed, " file(s) placed in batch file, ", failures);
}

TextFile startFailureLog(FileSystem& fileSystem, const std::string& directory,
                         const std::string& date, const std::string& time) {
    TextFile log(fileSystem, directory, "renamer_failures.log");
    log.writeLine("; Renamer failure log from " + date + " " + time);
    log.flush();
    return log;
}

void finishFailureLog(TextFile& log, RunFlags& flags, FileSystem& fileSystem, CommandView& view) {
    log.close();
    flags.FailureLogPath.clear();
    view.setEnabled(Control::Viewlastfailurelog1, false);
    if (flags.FailureCount == 0) {
        fileSystem.removeFile(log.path());
    } else {
        flags.FailureLogPath = log.path();
        view.setEnabled(Control::Viewlastfailurelog1, true);
    }
}

void RenameExecutor::run() {
    m_renamingStarted = false;
    UndoJournal& journal = m_flags.Journal;
    const std::string& home = m_flags.SavedWorkDir;
    const std::time_t now = m_clock.now();
    const std::string date = m_clock.formatDate(now);
    const std::string time = m_clock.formatTime(now);
    const bool batch = m_settings.checked(Option::CheckBox13);
    const bool scripts = batch && !journal.empty();

    // The scripts as .bat files or as shell scripts: the same entries in the same order. A shell
    // script can quote every byte of a name, so it leaves none out.
    const bool sh = m_flags.BatchFormat == ScriptFormat::Sh;
    const auto writeHeader = sh ? writeShellScriptHeader : writeScriptHeader;
    const auto renameLine = sh ? shellRenameLine : renameScriptLine;
    const auto undoLine = sh ? shellUndoLine : undoScriptLine;
    const auto inScript = [sh](const JournalEntry& entry) { return sh || isScriptable(entry); };
    const std::string_view lineEnd = sh ? "\n" : "\r\n";
    std::optional<TextFile> renameScript;
    std::optional<TextFile> undoScript;
    if (scripts) {
        std::size_t scriptable = 0;
        for (std::size_t i = 0; i < journal.size(); ++i)
            scriptable += inScript(journal[i]) ? 1 : 0;
        renameScript.emplace(m_fileSystem, home, sh ? "renamer.sh" : "renamer.bat", lineEnd);
        writeHeader(*renameScript, "rename", date, time, scriptable);
        undoScript.emplace(m_fileSystem, home, sh ? "renamer_undo.sh" : "renamer_undo.bat",
                           lineEnd);
        writeHeader(*undoScript, "undo", date, time, scriptable);
    }
    TextFile log = startFailureLog(m_fileSystem, home, date, time);

    if (batch) {
        for (std::size_t i = journal.size(); i-- > 0;) {
            const JournalEntry entry = journal[i];
            if (inScript(entry)) {
                renameScript->writeLine(renameLine(entry));
                ++m_flags.RenamedCount;
            } else {
                log.writeLine(failureLine(entry.oldFullPath(), entry.newName(), {}));
                ++m_flags.FailureCount;
            }
        }
        for (std::size_t i = 0; scripts && i < journal.size(); ++i) {
            if (inScript(journal[i]))
                undoScript->writeLine(undoLine(journal[i]));
        }
    } else {
        if (m_keeper) {
            try {
                m_keeper->keep(journal);
            } catch (...) {
                // Nothing was renamed: leave no log behind.
                log.close();
                m_fileSystem.removeFile(log.path());
                throw;
            }
        }
        m_renamingStarted = true;
        try {
            renameAll(log);
        } catch (...) {
            if (m_keeper)
                m_keeper->finish(journal);
            throw;
        }
        if (m_keeper)
            m_keeper->finish(journal);
    }

    finishFailureLog(log, m_flags, m_fileSystem, m_view);
    if (scripts) {
        for (TextFile* script : {&*renameScript, &*undoScript}) {
            if (sh) {
                writeShellScriptEnd(*script);
                script->makeExecutable();
            }
            script->close();
        }
    }
}

void RenameExecutor::renameAll(TextFile& log) {
    UndoJournal& journal = m_flags.Journal;
    const std::size_t count = journal.size();
    RenameScheduler(m_fileSystem, m_flags.Jobs)
        .run(
            count,
            [&](std::size_t step, RenameScheduler::Rename& rename) {
                const std::size_t i = renamedAt(step, count);
                const JournalEntry entry = journal[i];
                rename.from = entry.oldFullPath();
                rename.to = entry.newFullPath();
                rename.refused = refusedRename(entry.oldFullPath(), entry.newName(),
                                               m_flags.SavedWorkDir) != Conflict::None;
                // A directory whose contents were queued after it: they are renamed first.
                if (i + 1 < count && liesInside(journal[i + 1].oldFullPath(), entry.oldFullPath()))
                    rename.fence = RenameScheduler::Fence::WaitsForEarlier;
            },
            [&](std::size_t step, RenameScheduler::Outcome& outcome) {
                const std::size_t i = renamedAt(step, count);
                if (outcome.error == 0) {
                    ++m_flags.RenamedCount;
                    return;
                }
                const JournalEntry entry = journal[i];
                journal.markFailed(i);
                ++m_flags.FailureCount;
                log.writeLine(
                    failureLine(entry.oldFullPath(), entry.newName(), outcome.strandedAt));
                log.flush();
            });
}

}  // namespace zr
