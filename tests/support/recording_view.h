// SPDX-License-Identifier: GPL-3.0-or-later
// A front end for command tests: it records what a command shows, in order, answers questions
// from a queue, and can run code while the command processes pending events (as a click that
// arrives during a walk would).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "scan/command_view.h"
#include "scan/preview_text.h"

namespace zr::test {

// A clock stopped at one moment, with fixed formats.
class FixedClock : public Clock {
public:
    std::time_t moment = 1700000000;  // 2023-11-14 22:13:20 UTC
    std::time_t now() override { return moment; }
    std::string formatDate(std::time_t t) override;  // "YYYY-MM-DD" in UTC
    std::string formatTime(std::time_t t) override;  // "HH:MM:SS" in UTC
};

class RecordingView : public CommandView {
public:
    // The log, one line per call: "status <text>", "caption Button1 <text>",
    // "enable Button3 1", "busy on", "busy off undo=1", "ask <question>",
    // "Warning <text>" / "Error <text>" / "Information <text>", "error <text as shown>",
    // "clear", "row <name>|<new>|<size>|<date>|<time>" (date and time as FixedClock formats
    // them), "settle <folder>: <row> ok, <row> <reason>" (the rows settle marks as rows[i].fails).
    // Pending-event calls are counted, not logged.
    std::vector<std::string> log;
    std::vector<PreviewRow> rows;
    // The full old path of each settled row ("<folder>/<name>", as Go's journal has it).
    std::vector<std::string> rowPaths;
    // Answers for askYesNo, first first; Yes when empty.
    std::deque<bool> answers;
    std::function<void()> onPendingEvents;
    int pendingEventCalls = 0;
    bool busy = false;
    std::string status;
    std::map<Control, std::string> captions;
    std::map<Control, bool> enabled;

    void setStatusText(std::string_view text) override;
    std::string statusText() const override { return status; }
    void setCaption(Control control, std::string_view caption) override;
    void setEnabled(Control control, bool on) override;
    void busyOn() override;
    void busyOff(bool undoDataPresent) override;
    bool askYesNo(std::string_view question) override;
    void showMessage(MessageType type, std::string_view text) override;
    void showError(std::string_view message) override;
    void processPendingEvents() override;
    void clearPreview() override;
    void addPreviewRow(PreviewRow row) override;
    void settlePreviewRows(std::string_view folder, std::span<const RowOutcome> outcomes) override;

    // The log without the walk's status lines (which name every directory after every entry).
    std::vector<std::string> logWithoutWalkStatus() const;
    // Log lines starting with `prefix`.
    std::vector<std::string> linesStartingWith(const std::string& prefix) const;
    void clearLog() { log.clear(); }

private:
    FixedClock m_rowClock;
    PreviewText m_rowText{m_rowClock};
};

const char* controlName(Control control);
}  // namespace zr::test
