// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/progress_line.h"

#include "cli/name_text.h"

namespace zr {

namespace {

constexpr std::string_view kEraseLine = "\r\033[K";

}  // namespace

ProgressLine::ProgressLine(std::FILE* stream, int columns, TimePoint start)
    : m_stream(stream),
      m_columns(columns > 1 ? static_cast<std::size_t>(columns) : 80),
      m_next(start + kInterval) {}

void ProgressLine::update(std::uint64_t entries, std::string_view directory, TimePoint now) {
    if (now < m_next)
        return;
    draw(std::to_string(entries) + " entries  ", escapeTsv(directory), now);
}

void ProgressLine::updateRenames(std::uint64_t done, std::uint64_t total, TimePoint start,
                                 TimePoint now) {
    if (now < m_next)
        return;
    std::string text = std::to_string(done) + " of " + std::to_string(total) + " renamed";
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start);
    if (elapsed.count() > 0)
        text += ", " + std::to_string(done * 1000 / static_cast<std::uint64_t>(elapsed.count())) +
                " per second";
    draw(text, {}, now);
}

void ProgressLine::draw(std::string_view lead, std::string_view tail, TimePoint now) {
    m_next = now + kInterval;
    // One column stays free: a line that fills the last column wraps on some terminals.
    const std::size_t room = m_columns - 1 > lead.size() ? m_columns - 1 - lead.size() : 0;
    m_text.assign(kEraseLine);
    m_text += lead;
    m_text += fitFromEnd(tail, room);
    std::fwrite(m_text.data(), 1, m_text.size(), m_stream);
    std::fflush(m_stream);
    m_shown = true;
}

void ProgressLine::erase() {
    if (!m_shown)
        return;
    std::fwrite(kEraseLine.data(), 1, kEraseLine.size(), m_stream);
    std::fflush(m_stream);
    m_shown = false;
}

}  // namespace zr
