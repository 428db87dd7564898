// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/go_command.h"

#include "rename/rename_executor.h"
#include "rules/app_error.h"
#include "rules/new_name.h"
#include "scan/walk.h"

namespace zr {

GoCommand::GoCommand(RenameSettings& settings, RunFlags& flags, ParsedLists& lists,
                     FileSystem& fileSystem, Clock& clock, CommandView& view, UndoKeeper* keeper)
    : m_settings(settings),
      m_flags(flags),
      m_lists(lists),
      m_fileSystem(fileSystem),
      m_clock(clock),
      m_view(view),
      m_keeper(keeper) {}

void GoCommand::Button1Click() {
    if (m_flags.GoRunning) {
        m_flags.GoStopRequested = true;
        return;
    }
    // Refused before the question, so the undo data stays.
    if (const auto refusal = checkRunOptions(m_settings)) {
        m_view.showMessage(MessageType::Warning, *refusal);
        return;
    }
    // Without a working directory the run's files would have nowhere to go.
    if (m_flags.CurrentDir.empty()) {
        m_view.showError(kNoWorkingDirectory);
        return;
    }
    m_view.setCaption(Control::Button1, "&Stop !");
    // Running from here on: while the question is open nothing else may start.
    m_flags.GoRunning = true;
    if (m_flags.JournalCount != 0 &&
        !m_view.askYesNo("Are you sure to discard undo data within new rename ?")) {
        m_flags.GoRunning = false;
        m_flags.GoStopRequested = false;
        m_view.setCaption(Control::Button1, "&Go !");
        return;
    }
    m_flags.GoStopRequested = false;
    m_flags.GoRunning = true;
    m_view.setEnabled(Control::Button5, false);
    m_view.busyOn();

    m_flags.RenamedCount = 0;
    m_flags.FailureCount = 0;
    m_flags.JournalCount = 0;
    m_flags.FilterMatchCount = 0;
    m_flags.JournalCreated = true;
    m_flags.Journal.clear();
    m_flags.RuleFailures.clear();
    if (m_keeper)
        m_keeper->discard();

    const std::string workDir = m_flags.CurrentDir;
    std::string error;
    try {
        run();
    } catch (...) {
        error = currentErrorText();
    }
    m_flags.DirectoryPass = false;

    m_view.setEnabled(Control::Button5, true);
    m_view.setEnabled(Control::Button1, true);
    m_view.busyOff(m_flags.JournalCount != 0);
    m_view.setEnabled(Control::Button3, m_flags.JournalCount != 0);
    m_view.setEnabled(Control::SaveUndoasbat1, m_flags.JournalCount != 0);
    m_flags.CurrentDir = workDir;
    m_flags.GoRunning = false;
    m_flags.GoStopRequested = false;
    m_view.setCaption(Control::Button1, "&Go !");
    if (!error.empty())
        m_view.showError(error);
}

void GoCommand::run() {
    ParseOptionLists(m_settings, m_lists);
    // The run works on the options as they are now, whatever happens to the window meanwhile.
    const RenameSettings options = m_settings;
    if (options.checked(Option::CheckBox16) && m_lists.ConvertCountMismatch)
        m_view.showMessage(MessageType::Warning, "Count of convert string(s) not equal !");
    if (options.checked(Option::CheckBox9) && m_lists.ConvertCharsLengthMismatch)
        m_view.showMessage(MessageType::Warning, "Lengths of convert chars not equal !");
    m_flags.SavedWorkDir = m_flags.CurrentDir;

    std::string startDirectory;
    if (m_fileSystem.changeDirectory(m_flags.CurrentDir, options.text(Option::Edit1),
                                     startDirectory) != 0) {
        m_view.showMessage(MessageType::Warning,
                           "Cannot find directory " + options.text(Option::Edit1));
        return;
    }
    m_flags.CurrentDir = startDirectory;
    m_flags.Journal.setStartFolder(startDirectory);

    const bool batch = options.checked(Option::CheckBox13);
    RenameExecutor executor(options, m_flags, m_fileSystem, m_clock, m_view, m_keeper);
    try {
        NewNameComputer computer(options, m_lists, m_flags);
        DirectoryWalker walker(options, m_flags, computer, m_fileSystem, m_view, nullptr,
                               &m_flags.FieldsRead);
        try {
            walker.WalkDirectory();
        } catch (...) {
            m_flags.FieldsRead.clear();
            throw;
        }
        // Renamed files are read again by the next run: what the Scan read has served.
        m_flags.FieldsRead.clear();
        // Past the walk a press can stop nothing: the button says what is under way instead.
        m_view.setCaption(Control::Button1, batch ? "Writing scripts" : "Renaming");
        m_view.setEnabled(Control::Button1, false);
        m_view.showNow();
        executor.run();
    } catch (...) {
        // Nothing was renamed: what was queued is no undo data. Once renaming has begun, the
        // journal is what lets the user undo it.
        if (!executor.renamingStarted()) {
            m_flags.Journal.clear();
            m_flags.JournalCount = 0;
        }
        throw;
    }

    if (batch) {
        m_view.setClosingStatus(batchStatus(m_flags.RenamedCount, m_flags.FailureCount),
                                executor.files());
        m_flags.Journal.clear();
        m_flags.JournalCount = 0;
    } else {
        m_view.setClosingStatus(renameStatus("Done, ", m_flags.RenamedCount, " file(s) renamed, ",
                                             m_flags.FailureCount),
                                executor.files());
    }
}

}  // namespace zr
