// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/preview_text.h"

namespace zr {

std::string PreviewText::size(const PreviewRow& row) {
    return row.directory ? std::string("DIR") : std::to_string(row.size);
}

const PreviewText::Texts& PreviewText::format(const PreviewRow& row) {
    // The times shown are even seconds.
    Texts& texts = m_kept[(static_cast<std::uint64_t>(row.time()) >> 1) % kKept];
    if (!texts.made || texts.time != row.time()) {
        texts.date = m_clock.formatDate(row.time());
        texts.timeOfDay = m_clock.formatTime(row.time());
        texts.time = row.time();
        texts.made = true;
    }
    return texts;
}

const std::string& PreviewText::date(const PreviewRow& row) {
    return row.known ? format(row).date : m_empty;
}

const std::string& PreviewText::time(const PreviewRow& row) {
    return row.known ? format(row).timeOfDay : m_empty;
}

}  // namespace zr
