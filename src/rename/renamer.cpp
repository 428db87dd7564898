// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/renamer.h"

#include "rename/go_command.h"
#include "rename/undo_command.h"
#include "scan/scan_command.h"

namespace zr {

Renamer::Renamer(RenameSettings& settings, FileSystem& fileSystem, Clock& clock, CommandView& view)
    : m_settings(settings), m_fileSystem(fileSystem), m_clock(clock), m_view(view) {
    m_flags.CurrentDir = fileSystem.initialDirectory();
}

Renamer::~Renamer() = default;

// One command at a time: while one runs, the only press it takes is its own Stop.
void Renamer::Button1Click() {
    if (m_flags.ScanRunning)
        return;
    GoCommand(m_settings, m_flags, m_lists, m_fileSystem, m_clock, m_view, m_keeper).Button1Click();
}

void Renamer::Button3Click() {
    if (commandRunning())
        return;
    UndoCommand(m_flags, m_fileSystem, m_clock, m_view, m_keeper).Button3Click();
}

void Renamer::Button5Click() {
    if (m_flags.GoRunning)
        return;
    ScanCommand(m_settings, m_flags, m_lists, m_fileSystem, m_view,
                m_goDirectory ? &*m_goDirectory : nullptr)
        .Button5Click();
}

void Renamer::SaveUndoasbat1Click() {
    if (commandRunning() || !hasUndoData())
        return;
    UndoCommand(m_flags, m_fileSystem, m_clock, m_view).SaveUndoasbat1Click();
}

}  // namespace zr
