// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/rename_executor.h"

#include <cstdio>
#include <optional>
#include <random>
#include <vector>

#include "rename/rename_scheduler.h"
#include "rename/script_files.h"
#include "rename/shell_script.h"

namespace zr {

namespace {

// The start of this run's temporary names: a change of letter case alone goes through the name
// made of it and the entry's number, in the entry's folder.
std::string newDetourPrefix() {
    std::random_device random;
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, ".zentarel-rename-%08x-", random());
    return prefix;
}

}  // namespace

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
        status += kSeeFailureLog;
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

std::string FailureLog::finish(RunFlags& flags, CommandView& view) {
    flags.FailureLogPath.clear();
    view.setEnabled(Control::Viewlastfailurelog1, false);
    if (flags.FailureCount == 0) {
        m_file.discard();
        return {};
    }
    m_file.close();
    flags.FailureLogPath = m_file.path();
    view.setEnabled(Control::Viewlastfailurelog1, true);
    return flags.FailureLogPath;
}

std::string FailureLog::offerAsItIs(RunFlags& flags, CommandView& view) {
    if (!m_file.named())
        return {};
    flags.FailureLogPath = m_file.path();
    view.setEnabled(Control::Viewlastfailurelog1, true);
    return flags.FailureLogPath;
}

void RenameExecutor::run() {
    m_renamingStarted = false;
    m_files = {};
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
    // The scripts as .bat files or as shell scripts: the same entries in the same order. A shell
    // script can quote every byte of a name, so it leaves none out.
    const bool sh =
        m_settings.choice<ScriptFormat>(ExtendedOption::ScriptFormat) == ScriptFormat::Sh;
    const auto writeHeader = sh ? writeShellScriptHeader : writeScriptHeader;
    const auto renameLine = sh ? shellRenameLine : renameScriptLine;
    const auto undoLine = sh ? shellUndoLine : undoScriptLine;
    const auto inScript = [sh](const JournalEntry& entry) { return sh || isScriptable(entry); };
    const std::string_view lineEnd = sh ? "\n" : "\r\n";
    std::optional<TextFile> renameScript;
    std::optional<TextFile> undoScript;
    std::optional<FailureLog> log;
    try {
        if (scripts) {
            std::size_t scriptable = 0;
            for (std::size_t i = 0; i < journal.size(); ++i)
                scriptable += inScript(journal[i]) ? 1 : 0;
            // Unnamed until whole, so that a run that is killed leaves no script whose header
            // promises more than it holds.
            renameScript.emplace(
                TextFile::unnamed(m_fileSystem, home, sh ? "renamer.sh" : "renamer.bat", lineEnd));
            writeHeader(*renameScript, "rename", date, time, scriptable);
            undoScript.emplace(TextFile::unnamed(
                m_fileSystem, home, sh ? "renamer_undo.sh" : "renamer_undo.bat", lineEnd));
            writeHeader(*undoScript, "undo", date, time, scriptable);
        }
        log.emplace(m_fileSystem, home, date, time);
        logRuleFailures(*log);
        for (std::size_t i = journal.size(); i-- > 0;) {
            const JournalEntry entry = journal[i];
            if (inScript(entry)) {
                renameScript->writeLine(renameLine(entry));
                ++m_flags.RenamedCount;
            } else {
                ++m_flags.FailureCount;
                log->add(failureLine(entry.oldFullPath(), entry.newName(), {}));
            }
        }
        for (std::size_t i = 0; scripts && i < journal.size(); ++i) {
            if (inScript(journal[i]))
                undoScript->writeLine(undoLine(journal[i]));
        }
        if (scripts) {
            for (TextFile* script : {&*renameScript, &*undoScript}) {
                if (sh) {
                    writeShellScriptEnd(*script);
                    script->makeExecutable();
                }
                script->flush();
            }
            for (TextFile* script : {&*renameScript, &*undoScript}) {
                script->giveName();
                script->close();
                m_files.scripts.push_back(script->path());
            }
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
        m_files = {};
        throw;
    }
    m_files.failureLog = log->finish(m_flags, m_view);
}

void RenameExecutor::carryOut(const std::string& date, const std::string& time) {
    UndoJournal& journal = m_flags.Journal;
    // Decided before anything is kept, so that the journal knows every name a rename may take.
    journal.setDetourPrefix(newDetourPrefix());
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
        logRuleFailures(log);
        renameAll(log);
        if (m_keeper)
            m_keeper->finish(journal);
        kept = true;
        m_files.failureLog = log.finish(m_flags, m_view);
    } catch (...) {
        if (m_keeper && !kept)
            m_keeper->finish(journal);
        // What was done so far is counted, and its failure lines can be looked at.
        m_files.failureLog = log.offerAsItIs(m_flags, m_view);
        m_view.setClosingStatus(renameStatus("Done, ", m_flags.RenamedCount, " file(s) renamed, ",
                                             m_flags.FailureCount),
                                m_files);
        throw;
    }
}

void RenameExecutor::logRuleFailures(FailureLog& log) {
    for (const WalkState::RuleFailure& failure : m_flags.RuleFailures) {
        ++m_flags.FailureCount;
        m_view.entryFailed(failure.oldFullPath, failure.reason);
        log.add(ruleFailureLine(failure.oldFullPath, failure.reason));
    }
}

void RenameExecutor::renameAll(FailureLog& log) {
    UndoJournal& journal = m_flags.Journal;
    const std::size_t count = journal.size();
    // Which entries were handed back: after an error or a stop, the others never started, and
    // nothing may undo them.
    std::vector<bool> handedBack(count);
    const auto markNeverStarted = [&] {
        for (std::size_t i = 0; i < count; ++i) {
            if (!handedBack[i])
                journal.markFailed(i);
        }
    };
    bool logBroken = false;
    std::size_t settled = 0;
    try {
        m_view.renamesProgress(0, count);
        RenameScheduler(m_fileSystem, m_flags.Jobs)
            .run(
                count,
                [&](std::size_t step, RenameScheduler::Rename& rename) {
                    const std::size_t i = renamedAt(step, count);
                    const JournalEntry entry = journal[i];
                    rename.from = entry.oldFullPath();
                    rename.to = entry.newFullPath();
                    rename.folder = journal.folderId(i);
                    rename.temporary = journal.temporaryName(i);
                    rename.refused = refusedRename(entry.oldFullPath(), entry.newName(),
                                                   m_flags.SavedWorkDir) != Conflict::None;
                    // A directory whose contents were queued after it: they are renamed first.
                    if (i + 1 < count &&
                        liesInside(journal[i + 1].oldFullPath(), entry.oldFullPath()))
                        rename.fence = RenameScheduler::Fence::WaitsForEarlier;
                },
                [&](std::size_t step, RenameScheduler::Outcome& outcome) {
                    const std::size_t i = renamedAt(step, count);
                    handedBack[i] = true;
                    if (outcome.error == 0) {
                        ++m_flags.RenamedCount;
                        m_view.renamesProgress(++settled, count);
                        return;
                    }
                    const JournalEntry entry = journal[i];
                    journal.markFailed(i);
                    ++m_flags.FailureCount;
                    m_view.renameFailed(
                        entry.oldFullPath(), entry.newName(), outcome.error,
                        refusedRename(entry.oldFullPath(), entry.newName(), m_flags.SavedWorkDir));
                    // Once a line could not be written, the renames still under way are only
                    // counted.
                    if (!logBroken) {
                        logBroken = true;
                        log.add(failureLine(entry.oldFullPath(), entry.newName(),
                                            outcome.strandedAt, outcome.error));
                        logBroken = false;
                    }
                    m_view.renamesProgress(++settled, count);
                });
    } catch (...) {
        markNeverStarted();
        throw;
    }
    markNeverStarted();
}

}  // namespace zr
