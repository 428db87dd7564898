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

void Renamer::Button1Click() {
    GoCommand(m_settings, m_flags, m_lists, m_fileSystem, m_clock, m_view, m_keeper).Button1Click();
}

void Renamer::Button3Click() {
    UndoCommand(m_flags, m_fileSystem, m_clock, m_view).Button3Click();
}

void Renamer::Button5Click() {
    ScanCommand(m_settings, m_flags, m_lists, m_fileSystem, m_view).Button5Click();
}

void Renamer::SaveUndoasbat1Click() {
    UndoCommand(m_flags, m_fileSystem, m_clock, m_view).SaveUndoasbat1Click();
}

}  // namespace zr
