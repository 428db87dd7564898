// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the preview list's size, date and time columns, as every front end shows them.
#pragma once

#include <string>

#include "platform/clock.h"
#include "scan/command_view.h"

namespace zr {

// Formats a row's columns. Rows found together mostly share their time, so each distinct time is
// formatted once.
class PreviewText {
public:
    explicit PreviewText(Clock& clock) : m_clock(clock) {}

    // A plain decimal number (no grouping, all 64 bits), or "DIR".
    static std::string size(const PreviewRow& row);
    // The user's short date and long time; empty when the row's time is not known.
    const std::string& date(const PreviewRow& row);
    const std::string& time(const PreviewRow& row);

private:
    void format(const PreviewRow& row);

    Clock& m_clock;
    bool m_haveTime = false;
    std::time_t m_time = 0;
    std::string m_date;
    std::string m_timeOfDay;
    const std::string m_empty;
};

}  // namespace zr
