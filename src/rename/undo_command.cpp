#include "rename/undo_command.h"

#include "rename/rename_executor.h"
#include "rename/script_files.h"
#include "rules/app_error.h"

namespace zr {

UndoCommand::UndoCommand(RunFlags& flags, FileSystem& fileSystem, Clock& clock, CommandView& view)
    : m_flags(flags), m_fileSystem(fileSystem), m_clock(clock), m_view(view) {}

void UndoCommand::Button3Click() {
    if (m_flags.GoRunning || m_flags.JournalCount == 0)
        return;
    m_flags.GoRunning = true;
    m_view.busyOn();
    m_view.setEnabled(Control::Button1, false);
    m_flags.RenamedCount = 0;
    m_flags.FailureCount = 0;

    std::string error;
    try {
        reverseAll();
        m_flags.Journal.clear();
        m_flags.JournalCount = 0;
    } catch (const AppError& e) {
        error = e.what();
    }

    m_view.busyOff(m_flags.JournalCount != 0);
    m_view.setEnabled(Control::Button1, true);
    m_view.setEnabled(Control::Button3, m_flags.JournalCount != 0);
    m_view.setEnabled(Control::SaveUndoasbat1, m_flags.JournalCount != 0);
    m_flags.GoRunning = false;
    if (!error.empty())
        m_view.showError(error);
}

void UndoCommand::reverseAll() {
    TextFile log(m_fileSystem, m_flags.CurrentDir, "renamer_failures.log");
    const std::time_t now = m_clock.now();
    log.writeLine("; Renamer failure log from " + m_clock.formatDate(now) + " " +
                  m_clock.formatTime(now));
    const UndoJournal& journal = m_flags.Journal;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        const JournalEntry entry = journal[i];
        const std::string newFullPath = entry.newFullPath();
        if (isPlainName(entry.newName()) &&
            m_fileSystem.rename(newFullPath, std::string(entry.oldFullPath())) == 0) {
            ++m_flags.RenamedCount;
        } else {
            log.writeLine(std::string(entry.oldFullPath()) + " -> " + newFullPath);
            ++m_flags.FailureCount;
        }
    }
    finishFailureLog(log, m_flags, m_fileSystem, m_view);

    m_view.setStatusText(renameStatus("Undo done, ", m_flags.RenamedCount,
                                      " file(s) renamed back, ", m_flags.FailureCount));
}

void UndoCommand::SaveUndoasbat1Click() {
    try {
        TextFile script(m_fileSystem, m_flags.SavedWorkDir, "renamer_undo.bat");
        const std::time_t now = m_clock.now();
        const UndoJournal& journal = m_flags.Journal;
        writeScriptHeader(script, "undo", m_clock.formatDate(now), m_clock.formatTime(now),
                          journal.size());
        for (std::size_t i = 0; i < journal.size(); ++i)
            script.writeLine(undoScriptLine(journal[i]));
        script.close();
        m_view.showMessage(MessageType::Information,
                           "Undo file '" + script.name() + "' written succesfully.");
    } catch (const AppError& e) {
        m_view.showError(e.what());
    }
}

}  // namespace zr
