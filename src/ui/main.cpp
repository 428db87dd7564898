// The program's entry: the application, the main window over the real file system and clock,
// and the event loop.
#include <QApplication>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "ui/dialogs.h"
#include "ui/unit1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Also the title Qt gives the program (applicationDisplayName) and the error box.
    QApplication::setApplicationName(QStringLiteral("Zentarel Renamer"));
    // Tooltips: Qt shows every widget's tooltip without being switched on.

    const auto fileSystem = zr::makePosixFileSystem();
    const auto clock = zr::makeSystemClock();
    const auto dialogs = zr::makeQtDialogs();
    zr::SettingsStore store(*fileSystem, zr::userSettingsStorePath());
    zr::Tmain window(*fileSystem, *clock, *dialogs, store);
    if (window.settings().itemIndex() < 0)
        window.settings().setItemIndex(zr::kLowerCase);
    window.show();
    return QApplication::exec();
}
