// SPDX-License-Identifier: GPL-3.0-or-later
// The window as the commands see it (CommandView): the status bar, the command buttons and menu
// items, the busy state, the boxes, the preview list and the handling of pending events during
// a walk.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

#include "rename/rename_executor.h"
#include "rules/app_error.h"
#include "ui/more_rules.h"
#include "ui/preview_model.h"
#include "ui/qt_text.h"
#include "ui/unit1.h"

namespace zr {

void Tmain::setStatusText(std::string_view text) {
    // The walk sets the same text after every entry; only a change reaches the status bar.
    if (text == m_statusText)
        return;
    m_statusText = text;
    m_statusLog.clear();
    m_statusBar1->showMessage(fromBytes(text));
    if (!m_statusBar1->toolTip().isEmpty())
        m_statusBar1->setToolTip({});
    m_statusBar1->setCursor(m_statusText == kHomePage ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

std::string Tmain::statusText() const {
    return m_statusText;
}

void Tmain::setClosingStatus(std::string_view text, const RunFiles& files) {
    // The scripts are named after the counts, and the log's path ends the status, where a click
    // opens it.
    std::string shown(text);
    const bool log = !files.failureLog.empty() && shown.ends_with(kSeeFailureLog);
    if (log)
        shown.resize(shown.size() - kSeeFailureLog.size());
    for (std::size_t i = 0; i < files.scripts.size(); ++i)
        shown += (i == 0 ? "  [scripts: " : ", ") + files.scripts[i];
    if (!files.scripts.empty())
        shown += "]";
    if (log)
        shown += std::string(kSeeFailureLog) + " " + files.failureLog;
    setStatusText(shown);
    if (shown == text)
        return;
    m_statusLog = log ? files.failureLog : std::string();
    // Paths may be longer than the status bar is wide.
    m_statusBar1->setToolTip(fromBytes(shown));
    if (log)
        m_statusBar1->setCursor(Qt::PointingHandCursor);
}

void Tmain::setCaption(Control control, std::string_view caption) {
    if (QPushButton* b = button(control))
        b->setText(fromBytes(caption));
    else
        action(control)->setText(fromBytes(caption));
}

void Tmain::showNow() {
    m_statusBar1->repaint();
    for (QPushButton* b : {m_button1, m_button3, m_button5})
        b->repaint();
}

void Tmain::setEnabled(Control control, bool enabled) {
    if (QPushButton* b = button(control))
        b->setEnabled(enabled);
    else
        action(control)->setEnabled(enabled);
}

void Tmain::busyOn() {
    if (m_busy)
        return;
    m_busy = true;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    for (QWidget* w : m_busyControls)
        w->setEnabled(false);
    // Nothing may change the options, or start anything, under a run.
    for (QAction* a : {m_savesettings1, m_loadSettings1, m_restoredefaults1, m_saveUndoasbat1})
        a->setEnabled(false);
    if (m_moreRules)
        m_moreRules->setBusy(true);
    m_sinceEvents.restart();
}

void Tmain::busyOff(bool undoDataPresent) {
    if (m_busy)
        QApplication::restoreOverrideCursor();
    m_busy = false;
    publishRows();
    for (QWidget* w : m_busyControls)
        w->setEnabled(true);
    for (QAction* a : {m_savesettings1, m_loadSettings1, m_restoredefaults1})
        a->setEnabled(true);
    m_saveUndoasbat1->setEnabled(undoDataPresent);
    if (m_moreRules)
        m_moreRules->setBusy(false);
    CheckBox5Click();
    CheckBox10Click();
    CheckBox4Click();
    CheckBox2Click();
    CheckBox3Click();
    CheckBox9Click();
    CheckBox16Click();
    CheckBox14Click();
    m_button3->setEnabled(undoDataPresent);
}

bool Tmain::askYesNo(std::string_view question) {
    return m_dialogs.askYesNo(this, fromBytes(question));
}

void Tmain::showMessage(MessageType type, std::string_view text) {
    m_dialogs.showMessage(this, type, fromBytes(text));
}

void Tmain::showError(std::string_view message) {
    m_dialogs.showError(this, fromBytes(errorBoxText(message)));
}

void Tmain::processPendingEvents() {
    // Once a frame: handling events after every entry would repaint the list once per row.
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventIntervalMs)
        return;
    if (listHasRoom() || !m_sincePublished.isValid() ||
        m_sincePublished.elapsed() >= kHiddenRowsIntervalMs)
        publishRows();
    QCoreApplication::processEvents();
    m_sinceEvents.restart();
}

bool Tmain::listHasRoom() const {
    const QWidget* viewport = m_listView1->viewport();
    return m_listView1->rowAt(viewport->height() - 1) < 0;
}

void Tmain::publishRows() {
    m_preview->publish();
    m_sincePublished.restart();
}

void Tmain::clearPreview() {
    m_preview->clear();
}

void Tmain::addPreviewRow(PreviewRow row) {
    m_preview->append(std::move(row));
}

void Tmain::settlePreviewRows(std::string_view folder, std::span<const RowOutcome> outcomes) {
    m_preview->settle(folder, outcomes);
}

}  // namespace zr
