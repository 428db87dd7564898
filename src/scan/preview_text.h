// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the preview list's size, date and time columns, as every front end shows them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "scan/command_view.h"

namespace zr {

// Formats a row's columns. Rows found together mostly share their time, or one of a few times:
// the texts of the last times met are kept, so each is formatted once. (The entries of a huge
// folder come in the file system's order, not the order they were made: consecutive rows then
// take turns among the times of the whole folder.)
class PreviewText {
public:
    explicit PreviewText(Clock& clock) : m_clock(clock) {}

    // A plain decimal number (no grouping, all 64 bits), or "DIR".
    static std::string size(const PreviewRow& row);
    // The user's short date and long time; empty when the row's time is not known.
    const std::string& date(const PreviewRow& row);
    const std::string& time(const PreviewRow& row);

private:
    struct Texts {
        bool made = false;
        std::time_t time = 0;
        std::string date;
        std::string timeOfDay;
    };
    // Times kept, each in the place its seconds give it.
    static constexpr std::size_t kKept = 64;

    const Texts& format(const PreviewRow& row);

    Clock& m_clock;
    std::array<Texts, kKept> m_kept;
    const std::string m_empty;
};

}  // namespace zr
