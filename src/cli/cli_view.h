// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's side of the commands' front-end interface: preview rows to the printer,
// warnings to standard error, the closing status kept for the verb to print, questions answered
// in the safe way, the renames that failed kept for the verb to list, and, between the entries
// of a walk and between renames, Ctrl-C and the progress line.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/preview_printer.h"
#include "cli/progress_line.h"
#include "scan/command_view.h"

namespace zr {

class CliView : public CommandView {
public:
    // A rename that failed, in words for a terminal.
    struct Failure {
        std::string oldFullPath;
        std::string newName;
        std::string reason;
    };
    // The failures kept for the list after a run; the others are only counted.
    static constexpr std::size_t kFailuresKept = 20;

    // `printer` receives the rows; null when the command shows none.
    CliView(const Console& console, PreviewPrinter* printer);

    // What a Ctrl-C during a walk does: a second click on the running command's button. Without
    // one, Ctrl-C ends the command at once, in a walk or between renames, by an exception (the
    // renames under way are finished first).
    void setStopAction(std::function<void()> action) { m_stopAction = std::move(action); }
    // Removes the progress line and shows no more of it.
    void endProgress();

    // The last status text: after a command, its closing text.
    const std::string& status() const { return m_status; }
    // The files the command left, as its closing status names them.
    const RunFiles& files() const { return m_files; }
    // The message of the error that ended the command, if one did.
    const std::optional<std::string>& error() const { return m_error; }
    // Whether the command refused to run or gave up with a warning (a start directory it cannot
    // find, a list field that is too long); the warning has been printed.
    bool refused() const { return m_refused; }
    // Whether Ctrl-C stopped or ended the command.
    bool stopped() const { return m_stopped; }
    const std::vector<Failure>& failures() const { return m_failures; }
    std::size_t failureCount() const { return m_failureCount; }

    void setStatusText(std::string_view text) override { m_status.assign(text); }
    std::string statusText() const override { return m_status; }
    void setClosingStatus(std::string_view text, const RunFiles& files) override {
        m_status.assign(text);
        m_files = files;
    }
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
    void renamesProgress(std::size_t done, std::size_t total) override;
    void renameFailed(std::string_view oldFullPath, std::string_view newName, int error,
                      Conflict refused) override;
    void entryFailed(std::string_view oldFullPath, std::string_view reason) override;

private:
    // Ends the command when Ctrl-C has been pressed and nothing has answered it yet.
    void answerInterrupt();

    const Console& m_console;
    PreviewPrinter* m_printer;
    std::function<void()> m_stopAction;
    std::optional<ProgressLine> m_progress;
    std::uint64_t m_entries = 0;
    ProgressLine::TimePoint m_renamesStart{};
    std::vector<Failure> m_failures;
    std::size_t m_failureCount = 0;
    std::string m_status;
    RunFiles m_files;
    std::optional<std::string> m_error;
    bool m_refused = false;
    bool m_stopped = false;
};

}  // namespace zr
