// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_view.h"

#include <cerrno>
#include <stdexcept>

#include "cli/interrupt.h"
#include "cli/prepare_options.h"

namespace zr {

namespace {

// What ends a command at Ctrl-C; the verb knows it by stopped().
struct Interrupted : std::runtime_error {
    Interrupted() : std::runtime_error("Stopped by Ctrl-C") {}
};

}  // namespace

CliView::CliView(const Console& console, PreviewPrinter* printer)
    : m_console(console), m_printer(printer) {
    if (console.errTakesControl)
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

void CliView::answerInterrupt() {
    if (!InterruptHandler::requested() || m_stopped)
        return;
    m_stopped = true;
    if (!m_stopAction)
        throw Interrupted();
    m_stopAction();
}

void CliView::processPendingEvents() {
    ++m_entries;
    answerInterrupt();
    if (m_progress)
        m_progress->update(m_entries, m_status, std::chrono::steady_clock::now());
}

void CliView::renamesProgress(std::size_t done, std::size_t total) {
    answerInterrupt();
    if (!m_progress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (done == 0)
        m_renamesStart = now;
    m_progress->updateRenames(done, total, m_renamesStart, now);
}

void CliView::renameFailed(std::string_view oldFullPath, std::string_view newName, int error,
                           Conflict refused) {
    if (++m_failureCount > kFailuresKept)
        return;
    std::string reason;
    if (refused != Conflict::None)
        reason = conflictReason(refused);
    else if (error == EEXIST || error == ENOTEMPTY)
        reason = conflictReason(Conflict::Taken);
    else if (error == ENAMETOOLONG)
        reason = conflictReason(Conflict::NameTooLong);
    else
        reason = systemWords(error);
    m_failures.push_back({std::string(oldFullPath), std::string(newName), std::move(reason)});
}

void CliView::entryFailed(std::string_view oldFullPath, std::string_view reason) {
    if (++m_failureCount > kFailuresKept)
        return;
    m_failures.push_back({std::string(oldFullPath), std::string(), std::string(reason)});
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
