// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/recording_view.h"

#include <ctime>

#include "rules/app_error.h"

namespace zr::test {

const char* controlName(Control control) {
    switch (control) {
        case Control::Button1:
            return "Button1";
        case Control::Button3:
            return "Button3";
        case Control::Button5:
            return "Button5";
        case Control::SaveUndoasbat1:
            return "SaveUndoasbat1";
        case Control::Viewlastfailurelog1:
            return "Viewlastfailurelog1";
    }
    return "?";
}

void RecordingView::setStatusText(std::string_view text) {
    status = text;
    log.push_back("status " + status);
}

void RecordingView::setCaption(Control control, std::string_view caption) {
    captions[control] = caption;
    log.push_back(std::string("caption ") + controlName(control) + " " + std::string(caption));
}

void RecordingView::setEnabled(Control control, bool on) {
    enabled[control] = on;
    log.push_back(std::string("enable ") + controlName(control) + (on ? " 1" : " 0"));
}

void RecordingView::busyOn() {
    busy = true;
    log.push_back("busy on");
}

void RecordingView::busyOff(bool undoDataPresent) {
    busy = false;
    enabled[Control::Button3] = undoDataPresent;
    log.push_back(std::string("busy off undo=") + (undoDataPresent ? "1" : "0"));
}

bool RecordingView::askYesNo(std::string_view question) {
    log.push_back("ask " + std::string(question));
    if (answers.empty())
        return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingView::showMessage(MessageType type, std::string_view text) {
    const char* title = type == MessageType::Warning ? "Warning"
                        : type == MessageType::Error ? "Error"
                                                     : "Information";
    log.push_back(std::string(title) + " " + std::string(text));
}

void RecordingView::showError(std::string_view message) {
    log.push_back("error " + errorBoxText(message));
}

void RecordingView::processPendingEvents() {
    ++pendingEventCalls;
    if (onPendingEvents)
        onPendingEvents();
}

void RecordingView::clearPreview() {
    rows.clear();
    rowPaths.clear();
    log.push_back("clear");
}

void RecordingView::addPreviewRow(PreviewRow row) {
    log.push_back("row " + row.currentName + "|" + row.newName + "|" + PreviewText::size(row) +
                  "|" + m_rowText.date(row) + "|" + m_rowText.time(row));
    rows.push_back(std::move(row));
}

void RecordingView::settlePreviewRows(std::string_view folder,
                                      std::span<const RowOutcome> outcomes) {
    std::string line = "settle " + std::string(folder) + ":";
    for (const RowOutcome& outcome : outcomes) {
        line += (line.back() == ':' ? " " : ", ") + std::to_string(outcome.row) + " " +
                std::string(outcome.fails == Conflict::None ? "ok" : conflictReason(outcome.fails));
        rows.at(outcome.row).fails = outcome.fails;
        rowPaths.resize(rows.size());
        rowPaths[outcome.row] = std::string(folder) + "/" + rows[outcome.row].currentName;
    }
    log.push_back(line);
}

std::vector<std::string> RecordingView::logWithoutWalkStatus() const {
    std::vector<std::string> out;
    for (const std::string& line : log) {
        if (!(line.starts_with("status /")))
            out.push_back(line);
    }
    return out;
}

std::vector<std::string> RecordingView::linesStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : log) {
        if (line.starts_with(prefix))
            out.push_back(line);
    }
    return out;
}

namespace {

std::string formatUtc(std::time_t t, const char* pattern) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[64];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, pattern, &tm));
}

}  // namespace

std::string FixedClock::formatDate(std::time_t t) {
    return formatUtc(t, "%Y-%m-%d");
}

std::string FixedClock::formatTime(std::time_t t) {
    return formatUtc(t, "%H:%M:%S");
}

}  // namespace zr::test
