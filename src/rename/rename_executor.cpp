#include "rename/rename_executor.h"

#include <optional>

#include "rename/script_files.h"

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

FailureLog::FailureLog(FileSystem& fileSystem, const std::string& directory,
                       const std::string& date, const std::string& time)
    : m_file(TextFile::unnamed(fileSystem, directory, "renamer_failures.log")) {
    m_file.writeLine("; Renamer failure log from " + date + " " + time);
    m_file.flush();
}

void FailureLog::add(std::string_view line) {
    m_file.writeLine(line);
    m_file.flush();
    // Named only once the line is in it: a log that cannot take its first line leaves nothing.
    m_file.giveName();
}

void FailureLog::finish(RunFlags& flags, CommandView& view) {
    flags.FailureLogPath.clear();
    view.setEnabled(Control::Viewlastfailurelog1, false);
    if (flags.FailureCount == 0) {
        m_file.discard();
        return;
    }
    m_file.close();
    flags.FailureLogPath = m_file.path();
    view.setEnabled(Control::Viewlastfailurelog1, true);
}

void FailureLog::offerAsItIs(RunFlags& flags, CommandView& view) {
    if (!m_file.named())
        return;
    flags.FailureLogPath = m_file.path();
    view.setEnabled(Control::Viewlastfailurelog1, true);
}

void RenameExecutor::run() {
    m_renamingStarted = false;
    const std::time_t now = m_clock.now();
    const std::string date = m_clock.formatDate(now);
    const std::string time = m_clock.formatTime(now);
    if (m_settings.checked(Option::CheckBox13))
        writeScripts(date, time);
    else
        carryOut(date, time);
}

void RenameExecutor::writeScripts(const std::string& date, const std::string& time) {
    UndoJournal& journal = m_flags.Journal;
    const std::string& home = m_flags.SavedWorkDir;
    const bool scripts = !journal.empty();
    std::optional<TextFile> renameScript;
    std::optional<TextFile> undoScript;
    std::optional<FailureLog> log;
    try {
        if (scripts) {
            std::size_t scriptable = 0;
            for (std::size_t i = 0; i < journal.size(); ++i)
                scriptable += isScriptable(journal[i]) ? 1 : 0;
            renameScript.emplace(m_fileSystem, home, "renamer.bat");
            writeScriptHeader(*renameScript, "rename", date, time, scriptable);
            undoScript.emplace(m_fileSystem, home, "renamer_undo.bat");
            writeScriptHeader(*undoScript, "undo", date, time, scriptable);
        }
        log.emplace(m_fileSystem, home, date, time);
        for (std::size_t i = journal.size(); i-- > 0;) {
            const JournalEntry entry = journal[i];
            if (isScriptable(entry)) {
                renameScript->writeLine(renameScriptLine(entry));
                ++m_flags.RenamedCount;
            } else {
                ++m_flags.FailureCount;
                log->add(failureLine(entry.oldFullPath(), entry.newName(), {}));
            }
        }
        for (std::size_t i = 0; scripts && i < journal.size(); ++i) {
            if (isScriptable(journal[i]))
                undoScript->writeLine(undoScriptLine(journal[i]));
        }
        if (scripts) {
            renameScript->close();
            undoScript->close();
        }
    } catch (...) {
        // A script cut short would do part of what its header says, and the other one would not
        // match it: none is better. Nothing was renamed, so the log goes too.
        for (std::optional<TextFile>* script : {&renameScript, &undoScript}) {
            if (*script)
                (*script)->discard();
        }
        if (log)
            log->discard();
        m_flags.RenamedCount = 0;
        m_flags.FailureCount = 0;
        throw;
    }
    log->finish(m_flags, m_view);
}

void RenameExecutor::carryOut(const std::string& date, const std::string& time) {
    UndoJournal& journal = m_flags.Journal;
    FailureLog log(m_fileSystem, m_flags.SavedWorkDir, date, time);
    if (m_keeper) {
        try {
            m_keeper->keep(journal);
        } catch (...) {
            // Nothing was renamed: leave no log behind.
            log.discard();
            throw;
        }
    }
    m_renamingStarted = true;
    bool kept = false;
    try {
        renameAll(log);
        if (m_keeper)
            m_keeper->finish(journal);
        kept = true;
        log.finish(m_flags, m_view);
    } catch (...) {
        if (m_keeper && !kept)
            m_keeper->finish(journal);
        // What was done so far is counted, and its failure lines can be looked at.
        log.offerAsItIs(m_flags, m_view);
        m_view.setStatusText(renameStatus("Done, ", m_flags.RenamedCount, " file(s) renamed, ",
                                          m_flags.FailureCount));
        throw;
    }
}

void RenameExecutor::renameAll(FailureLog& log) {
    UndoJournal& journal = m_flags.Journal;
    const std::unique_ptr<RenameSession> session = m_fileSystem.openRenameSession();
    std::string strandedAt;
    std::size_t i = journal.size();
    try {
        while (i-- > 0) {
            const JournalEntry entry = journal[i];
            strandedAt.clear();
            if (isPlainName(entry.newName()) &&
                !holdsDirectory(entry.oldFullPath(), m_flags.SavedWorkDir) &&
                session->rename(std::string(entry.oldFullPath()), entry.newFullPath(),
                                strandedAt) == 0) {
                ++m_flags.RenamedCount;
                continue;
            }
            journal.markFailed(i);
            ++m_flags.FailureCount;
            log.add(failureLine(entry.oldFullPath(), entry.newName(), strandedAt));
        }
    } catch (...) {
        // The entries not reached were never renamed: nothing may undo them.
        while (i-- > 0)
            journal.markFailed(i);
        throw;
    }
}

}  // namespace zr
