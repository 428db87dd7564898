// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's side of the commands' front-end interface: preview rows to the printer,
// warnings to standard error, the closing status kept for the verb to print, questions answered
// in the safe way, and, between the entries of a walk, Ctrl-C and the progress line.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "cli/console.h"
#include "cli/preview_printer.h"
#include "cli/progress_line.h"
#include "scan/command_view.h"

namespace zr {

class CliView : public CommandView {
public:
    // `printer` receives the rows; null when the command shows none.
    CliView(const Console& console, PreviewPrinter* printer);

    // What a Ctrl-C during a walk does: a second click on the running command's button.
    void setStopAction(std::function<void()> action) { m_stopAction = std::move(action); }
    // Removes the progress line and shows no more of it.
    void endProgress();

    // The last status text: after a command, its closing text.
    const std::string& status() const { return m_status; }
    // The message of the error that ended the command, if one did.
    const std::optional<std::string>& error() const { return m_error; }
    // Whether the command refused to run or gave up with a warning (a start directory it cannot
    // find, a list field that is too long); the warning has been printed.
    bool refused() const { return m_refused; }
    // Whether Ctrl-C stopped a walk.
    bool stopped() const { return m_stopped; }

    void setStatusText(std::string_view text) override { m_status.assign(text); }
    std::string statusText() const override { return m_status; }
    void setCaption(Control, std::string_view) override {}
    void setEnabled(Control, bool) override {}
    void busyOn() override {}
    void busyOff(bool) override {}
    bool askYesNo(std::string_view question) override;
    void showMessage(MessageType type, std::string_view text) override;
    void showError(std::string_view message) override;
    void processPendingEvents() override;
    void clearPreview() override;
    void addPreviewRow(PreviewRow row) override;
    void settlePreviewRows(std::string_view folder, std::span<const RowOutcome> outcomes) override;

private:
    const Console& m_console;
    PreviewPrinter* m_printer;
    std::function<void()> m_stopAction;
    std::optional<ProgressLine> m_progress;
    std::uint64_t m_entries = 0;
    std::string m_status;
    std::optional<std::string> m_error;
    bool m_refused = false;
    bool m_stopped = false;
};

}  // namespace zr
