// SPDX-License-Identifier: GPL-3.0-or-later
// What the window keeps between runs and in files: the remembered geometry at creation, the
// remembered options at the first activation, writing both at close, the undo data a window that
// ended without discarding it left behind, and the settings file commands of the popup menu.
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

#include "settings/settings_file.h"
#include "ui/preview_model.h"
#include "ui/unit1.h"
#include "ui/window_placement.h"

namespace zr {

void Tmain::adoptInterruptedRun() {
    RunFlags& flags = m_renamer.flags();
    const std::optional<std::size_t> renames = m_stateJournal.adopt(flags.Journal, m_storeProblems);
    if (!renames)
        return;
    flags.JournalCreated = true;
    flags.JournalCount = static_cast<std::int32_t>(*renames);
    flags.SavedWorkDir = flags.CurrentDir;
    m_button3->setEnabled(true);
    m_saveUndoasbat1->setEnabled(true);
    // An older journal has no identities: its renames back are tried as they are.
    setStatusText("The undo data of an interrupted run was kept: " + std::to_string(*renames) +
                  " rename(s) can be undone" +
                  (flags.Journal.identified() ? "." : " (an older journal: not checked)."));
}

void Tmain::FormCreate() {
    const WindowGeometry remembered = readRememberedGeometry(m_store, m_storeProblems);
    // Only the width can change: the height is fixed.
    if (remembered.width)
        resize(*remembered.width - kFrameWidth, scaled(kClientHeight));
    // Each value on its own (without either, the system places the window); then onto a
    // screen, should the place be off every one now.
    if (remembered.left || remembered.top) {
        move(remembered.left.value_or(x()), remembered.top.value_or(y()));
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens.push_back(screen->availableGeometry());
        const QRect frame(pos(), QSize(width() + kFrameWidth, height() + kFrameHeight));
        move(reachablePosition(frame, kFrameHeight - kFrameWidth / 2, screens));
    }
    QHeaderView* header = m_listView1->horizontalHeader();
    for (int i = 0; i < PreviewModel::kColumnCount; ++i) {
        if (const std::optional<int> w = remembered.columnWidths[static_cast<std::size_t>(i)])
            header->resizeSection(i, *w);
    }
}

void Tmain::FormActivate() {
    RunFlags& flags = m_renamer.flags();
    if (flags.SettingsLoaded)
        return;
    // Set first: a box shown below activates the window again when it closes.
    flags.SettingsLoaded = true;
    std::vector<std::string> problems = std::move(m_storeProblems);
    for (std::string& p : applyRememberedSettings(m_store, m_settings))
        problems.push_back(std::move(p));
    if (!problems.empty()) {
        std::string text;
        for (const std::string& p : problems)
            text += (text.empty() ? "" : "\n") + p;
        showError(text);
    }
    if (m_startFolder) {
        std::string directory;
        if (m_fileSystem.changeDirectory(flags.CurrentDir, *m_startFolder, directory) == 0)
            m_settings.setText(Option::Edit1, normaliseStartDirectory(directory));
        else
            showMessage(MessageType::Warning, "Cannot find directory " + *m_startFolder);
        m_startFolder.reset();
    }
    m_button1->setFocus();
}

bool Tmain::FormClose() {
    if (m_renamer.commandRunning())
        return false;
    if (m_renamer.hasUndoData()) {
        if (!askYesNo("Are you sure to discard undo data when closing ?"))
            return false;
        m_stateJournal.discard();
    }
    std::optional<std::string> error = rememberGeometry(m_store, geometry());
    if (!error && m_settings.checked(Option::CheckBox15))
        error = rememberOptions(m_store, m_settings);
    // The user has been told; the window still closes rather than trap them.
    if (error)
        showError("The settings could not be saved: " + *error);
    return true;
}

WindowGeometry Tmain::geometry() const {
    WindowGeometry g;
    g.width = width() + kFrameWidth;
    g.height = scaled(kClientHeight) + kFrameHeight;
    g.left = x();
    g.top = y();
    const QHeaderView* header = m_listView1->horizontalHeader();
    for (int i = 0; i < PreviewModel::kColumnCount; ++i)
        g.columnWidths[static_cast<std::size_t>(i)] = header->sectionSize(i);
    return g;
}

FileDialogRequest Tmain::settingsFileDialog(bool save) const {
    FileDialogRequest request;
    request.save = save;
    request.title = QStringLiteral("Choose file ...");
    request.directory = QFile::decodeName(m_renamer.flags().CurrentDir.c_str());
    // Every file is one without a dot too, so "All files" is "*" here.
    request.filter = QStringLiteral("Renamer saved settings (*.rns);;All files (*)");
    request.defaultSuffix = QStringLiteral("rns");
    request.proposedName = QStringLiteral("renamer");
    return request;
}

void Tmain::Savesettings1Click() {
    if (m_renamer.commandRunning())
        return;
    const std::optional<QString> chosen = m_dialogs.chooseFile(this, settingsFileDialog(true));
    if (!chosen)
        return;
    if (const auto error =
            saveSettingsFile(m_fileSystem, QFile::encodeName(*chosen).toStdString(), m_settings))
        showError(*error);
}

void Tmain::LoadSettings1Click() {
    if (m_renamer.commandRunning())
        return;
    const std::optional<QString> chosen = m_dialogs.chooseFile(this, settingsFileDialog(false));
    if (!chosen)
        return;
    const auto error = loadSettingsFile(
        m_fileSystem, QFile::encodeName(*chosen).toStdString(), m_settings,
        [this](const std::string& message) { showMessage(MessageType::Error, message); });
    if (error)
        showError(*error);
}

void Tmain::Restoredefaults1Click() {
    if (!m_renamer.commandRunning())
        m_settings.restoreDefaults();
}

}  // namespace zr
