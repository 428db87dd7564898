// SPDX-License-Identifier: GPL-3.0-or-later
// The live progress line of a long run on a terminal, redrawn in place on standard error: the
// entries a walk has seen and the directory it is in, then the renames done and their rate.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zr {

// Draws nothing during the first tenth of a second, so quick walks leave no trace, and then
// redraws at most ten times a second. Each drawing fits the terminal's width, so it never wraps
// and "\r" can take it back.
class ProgressLine {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds kInterval{100};

    ProgressLine(std::FILE* stream, int columns, TimePoint start);

    // After every entry of the walk.
    void update(std::uint64_t entries, std::string_view directory, TimePoint now);
    // After every rename: `done` of `total`, at the rate since the first of them (`start`).
    void updateRenames(std::uint64_t done, std::uint64_t total, TimePoint start, TimePoint now);
    // Removes the line, when it is shown.
    void erase();
    bool shown() const { return m_shown; }

private:
    // Draws `lead` and as much of the end of `tail` as fits, when the time has come.
    void draw(std::string_view lead, std::string_view tail, TimePoint now);

    std::FILE* m_stream;
    std::size_t m_columns;
    TimePoint m_next;
    bool m_shown = false;
    std::string m_text;
};

}  // namespace zr
