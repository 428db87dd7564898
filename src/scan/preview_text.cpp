// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/preview_text.h"

namespace zr {

std::string PreviewText::size(const PreviewRow& row) {
    return row.directory ? std::string("DIR") : std::to_string(row.size);
}

void PreviewText::format(const PreviewRow& row) {
    if (m_haveTime && row.time == m_time)
        return;
    m_date = m_clock.formatDate(row.time);
    m_timeOfDay = m_clock.formatTime(row.time);
    m_time = row.time;
    m_haveTime = true;
}

const std::string& PreviewText::date(const PreviewRow& row) {
    if (!row.known)
        return m_empty;
    format(row);
    return m_date;
}

const std::string& PreviewText::time(const PreviewRow& row) {
    if (!row.known)
        return m_empty;
    format(row);
    return m_timeOfDay;
}

}  // namespace zr
