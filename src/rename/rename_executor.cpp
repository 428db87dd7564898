#include "rename/rename_executor.h"

#include <optional>

#include "rename/script_files.h"
#include "rename/shell_script.h"

namespace zr {

RenameExecutor::RenameExecutor(const RenameSettings& settings, RunFlags& flags,
                               FileSystem& fileSystem, Clock& clock, CommandView& view)
    : m_settings(settings),
      m_flags(flags),
      m_fileSystem(fileSystem),
      m_clock(clock),
      m_view(view) {}

std::string renameStatus(std::string_view done, std::int32_t renamed, std::string_view what,
                         std::int32_t failures) {
    std::string status = std::string(done) + std::to_string(renamed) + std::string(what) +
                         std::to_string(failures) + " failure(s).";
    if (failures != 0)
        status += "  [see failure log]";
    return status;
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
    const UndoJournal& journal = m_flags.Journal;
    const std::string& home = m_flags.SavedWorkDir;
    const std::time_t now = m_clock.now();
    const std::string date = m_clock.formatDate(now);
    const std::string time = m_clock.formatTime(now);
    const bool batch = m_settings.checked(Option::CheckBox13);
    const bool scripts = batch && !journal.empty();

    // The scripts as .bat files or as shell scripts: the same entries in the same order.
    const bool sh = m_flags.BatchFormat == ScriptFormat::Sh;
    const auto writeHeader = sh ? writeShellScriptHeader : writeScriptHeader;
    const auto renameLine = sh ? shellRenameLine : renameScriptLine;
    const auto undoLine = sh ? shellUndoLine : undoScriptLine;
    const std::string_view lineEnd = sh ? "\n" : "\r\n";
    std::optional<TextFile> renameScript;
    std::optional<TextFile> undoScript;
    if (scripts) {
        renameScript.emplace(m_fileSystem, home, sh ? "renamer.sh" : "renamer.bat", lineEnd);
        writeHeader(*renameScript, "rename", date, time, journal.size());
        undoScript.emplace(m_fileSystem, home, sh ? "renamer_undo.sh" : "renamer_undo.bat",
                           lineEnd);
        writeHeader(*undoScript, "undo", date, time, journal.size());
    }
    TextFile log(m_fileSystem, home, "renamer_failures.log");
    log.writeLine("; Renamer failure log from " + date + " " + time);

    for (std::size_t i = journal.size(); i-- > 0;) {
        const JournalEntry entry = journal[i];
        if (batch) {
            renameScript->writeLine(renameLine(entry));
            ++m_flags.RenamedCount;
            continue;
        }
        m_renamingStarted = true;
        if (isPlainName(entry.newName()) &&
            m_fileSystem.rename(std::string(entry.oldFullPath()), entry.newFullPath()) == 0) {
            ++m_flags.RenamedCount;
        } else {
            log.writeLine(std::string(entry.oldFullPath()) + " -> " + std::string(entry.newName()));
            ++m_flags.FailureCount;
        }
    }
    if (scripts) {
        for (std::size_t i = 0; i < journal.size(); ++i)
            undoScript->writeLine(undoLine(journal[i]));
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

}  // namespace zr
