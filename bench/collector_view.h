// SPDX-License-Identifier: GPL-3.0-or-later
// A front end for benchmarks that keeps the preview rows and the status text and nothing else:
// the baseline the window is measured against. An error ends the benchmark.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scan/command_view.h"

namespace zr::bench {

class CollectorView : public CommandView {
public:
    std::vector<PreviewRow> rows;
    std::string status;
    void setStatusText(std::string_view text) override { status = text; }
    std::string statusText() const override { return status; }
    void setCaption(Control, std::string_view) override {}
    void setEnabled(Control, bool) override {}
    void busyOn() override {}
    void busyOff(bool) override {}
    bool askYesNo(std::string_view) override { return true; }
    void showMessage(MessageType, std::string_view text) override {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    void showError(std::string_view text) override {
        std::fprintf(stderr, "error: %.*s\n", static_cast<int>(text.size()), text.data());
        std::exit(1);
    }
    void processPendingEvents() override {}
    void clearPreview() override { rows.clear(); }
    void addPreviewRow(PreviewRow row) override { rows.push_back(std::move(row)); }
    void settlePreviewRows(std::string_view, std::span<const RowOutcome> outcomes) override {
        for (const RowOutcome& outcome : outcomes)
            rows[outcome.row].fails = outcome.fails;
    }
};

}  // namespace zr::bench
