// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_view.h"

#include "cli/interrupt.h"

namespace zr {

namespace {

// The warnings after which a Go run goes on; any other warning means the command did not run.
bool isMismatchWarning(std::string_view text) {
    return text == "Count of convert string(s) not equal !" ||
           text == "Lengths of convert chars not equal !";
}

}  // namespace

CliView::CliView(const Console& console, PreviewPrinter* printer)
    : m_console(console), m_printer(printer) {
    if (console.errIsTerminal)
        m_progress.emplace(console.err, console.errColumns, std::chrono::steady_clock::now());
}

void CliView::endProgress() {
    if (m_progress)
        m_progress->erase();
    m_progress.reset();
}

bool CliView::askYesNo(std::string_view question) {
    // A fresh process has no undo data to discard, so this is not asked; if it ever is, No
    // keeps what is there.
    endProgress();
    m_console.warning(std::string(question) + " No.");
    return false;
}

void CliView::showMessage(MessageType type, std::string_view text) {
    endProgress();
    if (type == MessageType::Warning && isMismatchWarning(text)) {
        m_console.warning(text);
        return;
    }
    if (type == MessageType::Information) {
        m_console.line(text, true);
        return;
    }
    m_refused = true;
    m_console.error(text);
}

void CliView::showError(std::string_view message) {
    endProgress();
    m_error = std::string(message);
}

void CliView::processPendingEvents() {
    ++m_entries;
    if (InterruptHandler::requested() && !m_stopped && m_stopAction) {
        m_stopped = true;
        m_stopAction();
    }
    if (m_progress)
        m_progress->update(m_entries, m_status, std::chrono::steady_clock::now());
}

void CliView::clearPreview() {
    if (m_printer)
        m_printer->clear();
}

void CliView::addPreviewRow(PreviewRow row) {
    if (!m_printer)
        return;
    // Rows that go to the same terminal must not run into the progress line.
    if (m_progress && m_console.outIsTerminal)
        m_progress->erase();
    m_printer->add(row);
}

void CliView::settlePreviewRows(std::string_view folder, std::span<const RowOutcome> outcomes) {
    if (!m_printer)
        return;
    if (m_progress && m_console.outIsTerminal)
        m_progress->erase();
    m_printer->settle(folder, outcomes);
}

}  // namespace zr
