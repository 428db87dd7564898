// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/scan_command.h"

#include "rules/app_error.h"
#include "rules/new_name.h"
#include "scan/walk.h"

namespace zr {

ScanCommand::ScanCommand(RenameSettings& settings, WalkState& state, ParsedLists& lists,
                         FileSystem& fileSystem, CommandView& view, const std::string* goDirectory)
    : m_settings(settings),
      m_state(state),
      m_lists(lists),
      m_fileSystem(fileSystem),
      m_view(view),
      m_goDirectory(goDirectory) {}

void ScanCommand::walk(ConflictFinder& finder) {
    // The scan works on the options as they are now, whatever happens to the window meanwhile.
    const RenameSettings options = m_settings;
    NewNameComputer computer(options, m_lists, m_state);
    m_state.FieldsRead.clear();
    DirectoryWalker walker(options, m_state, computer, m_fileSystem, m_view, &finder,
                           &m_state.FieldsRead);
    try {
        walker.WalkDirectory();
    } catch (...) {
        // The rows shown so far are settled from what was listed.
        finder.closeAll();
        throw;
    }
}

void ScanCommand::Button5Click() {
    if (m_state.ScanRunning) {
        m_state.ScanStopRequested = true;
        return;
    }
    if (const auto refusal = checkRunOptions(m_settings)) {
        m_view.showMessage(MessageType::Warning, *refusal);
        return;
    }
    m_view.setCaption(Control::Button5, "&Stop !");
    m_view.setEnabled(Control::Button1, false);
    m_state.ScanStopRequested = false;
    m_state.ScanRunning = true;

    auto backToIdle = [this] {
        m_state.ScanStopRequested = false;
        m_state.ScanRunning = false;
        m_view.setEnabled(Control::Button1, true);
        m_view.setCaption(Control::Button5, "&Scan");
    };

    std::string startDirectory;
    std::int32_t failures = 0;
    try {
        m_state.PreviewCount = 0;
        m_state.FilterMatchCount = 0;
        m_view.busyOn();
        m_state.PreviewMode = true;
        ParseOptionLists(m_settings, m_lists);
        m_state.SavedWorkDir = m_state.CurrentDir;
        if (m_fileSystem.changeDirectory(m_state.CurrentDir, m_settings.text(Option::Edit1),
                                         startDirectory) == 0) {
            m_view.clearPreview();
            m_state.CurrentDir = startDirectory;
            ConflictFinder finder(
                m_goDirectory ? *m_goDirectory : std::string(directoryOfPath(startDirectory)),
                m_view);
            walk(finder);
            failures = finder.failures();
        }
    } catch (...) {
        const std::string error = currentErrorText();
        // The walk was abandoned: leave off where a finished walk would have, and go idle
        // before the error is shown.
        std::string parent;
        if (!startDirectory.empty() &&
            m_fileSystem.changeDirectory(startDirectory, "..", parent) == 0)
            m_state.CurrentDir = parent;
        m_state.DirectoryPass = false;
        m_view.busyOff(m_state.JournalCount != 0);
        m_state.PreviewMode = false;
        backToIdle();
        m_view.showError(error);
        return;
    }
    m_view.busyOff(m_state.JournalCount != 0);
    m_state.PreviewMode = false;
    backToIdle();
    std::string status =
        "Scanning done, found " + std::to_string(m_state.PreviewCount) + " file(s) to be renamed";
    if (failures != 0)
        status += ", " + std::to_string(failures) + " will fail";
    m_view.setStatusText(status + ".");
}

}  // namespace zr
