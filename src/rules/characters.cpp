// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/characters.h"

#include <algorithm>

#include "rules/text.h"

namespace zr {

namespace {

inline bool isStrayByte(char32_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

}  // namespace

void CharacterText::assign(std::u32string_view text) {
    m_text.clear();
    m_chars.clear();
    m_origins.assign(text);
    for (std::size_t i = 0, end = 0; i < text.size(); i = end) {
        end = characterEnd(text, i);
        m_chars.push_back(Character{static_cast<std::uint32_t>(m_text.size()),
                                    static_cast<std::uint32_t>(i),
                                    static_cast<std::uint32_t>(end - i)});
        appendComposed(text.substr(i, end - i), m_text);
    }
}

std::size_t CharacterText::characterAt(std::size_t position) const {
    if (position == m_text.size())
        return m_chars.size();
    const auto it = std::lower_bound(m_chars.begin(), m_chars.end(), position,
                                     [](const Character& c, std::size_t p) { return c.begin < p; });
    if (it == m_chars.end() || it->begin != position)
        return npos;
    return static_cast<std::size_t>(it - m_chars.begin());
}

std::size_t CharacterText::characterOf(std::size_t position) const {
    if (position >= m_text.size())
        return m_chars.size();
    const auto it = std::upper_bound(m_chars.begin(), m_chars.end(), position,
                                     [](std::size_t p, const Character& c) { return p < c.begin; });
    return it == m_chars.begin() ? 0 : static_cast<std::size_t>(it - m_chars.begin()) - 1;
}

std::size_t CharacterText::find(std::u32string_view needle, std::size_t from,
                                std::size_t& last) const {
    if (needle.empty())
        return npos;
    // A match must begin and end between characters: "e" is not found in "é", however stored.
    for (std::size_t at = begin(from); (at = m_text.find(needle, at)) != std::u32string::npos;
         ++at) {
        const std::size_t first = characterAt(at);
        if (first == npos)
            continue;
        const std::size_t behind = characterAt(at + needle.size());
        if (behind != npos) {
            last = behind;
            return first;
        }
    }
    return npos;
}

bool CharacterText::startsWithMark(std::size_t i) const {
    return isCombiningMark(m_text[m_chars[i].begin]);
}

void CharacterText::joinWithNext(std::size_t i) {
    Character& a = m_chars[i];
    const Character& b = m_chars[i + 1];
    const std::size_t from = a.begin;
    const std::size_t to = begin(i + 2);
    m_piece.clear();
    appendComposed(std::u32string_view(m_text).substr(from, to - from), m_piece);
    // Two unchanged pieces keep their joint original form.
    if (a.originLength != 0 && b.originLength != 0) {
        const std::u32string joined =
            m_origins.substr(a.origin, a.originLength) + m_origins.substr(b.origin, b.originLength);
        a.origin = static_cast<std::uint32_t>(m_origins.size());
        a.originLength = static_cast<std::uint32_t>(joined.size());
        m_origins += joined;
    } else {
        a.originLength = 0;
    }
    m_text.replace(from, to - from, m_piece);
    m_chars.erase(m_chars.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    for (std::size_t k = i + 1; k < m_chars.size(); ++k)
        m_chars[k].begin =
            static_cast<std::uint32_t>(m_chars[k].begin + m_piece.size() - (to - from));
}

std::size_t CharacterText::replace(std::size_t first, std::size_t last, std::u32string_view text) {
    // The usual change, one composed letter for another, in place.
    if (text.size() == 1 && last == first + 1 && begin(last) - begin(first) == 1 &&
        !isCombiningMark(text[0]) && (last == m_chars.size() || !startsWithMark(last))) {
        m_text[m_chars[first].begin] = text[0];
        m_chars[first].originLength = 0;
        return last;
    }
    m_piece.clear();
    m_pieceLengths.clear();
    for (std::size_t i = 0, end = 0; i < text.size(); i = end) {
        end = characterEnd(text, i);
        const std::size_t before = m_piece.size();
        appendComposed(text.substr(i, end - i), m_piece);
        m_pieceLengths.push_back(static_cast<std::uint32_t>(m_piece.size() - before));
    }
    const std::size_t from = begin(first);
    const std::size_t to = begin(last);
    const std::size_t count = m_pieceLengths.size();
    m_text.replace(from, to - from, m_piece);

    const auto at = m_chars.begin() + static_cast<std::ptrdiff_t>(first);
    if (count < last - first)
        m_chars.erase(at, at + static_cast<std::ptrdiff_t>(last - first - count));
    else if (count > last - first)
        m_chars.insert(at, count - (last - first), Character{});
    auto position = static_cast<std::uint32_t>(from);
    for (std::size_t k = 0; k < count; ++k) {
        m_chars[first + k] = Character{position, 0, 0};
        position += m_pieceLengths[k];
    }
    if (m_piece.size() != to - from) {
        for (std::size_t k = first + count; k < m_chars.size(); ++k)
            m_chars[k].begin =
                static_cast<std::uint32_t>(m_chars[k].begin + m_piece.size() - (to - from));
    }

    // Marks now following another character join it (a stray byte takes none).
    std::size_t behind = first + count;
    if (behind > 0 && behind < m_chars.size() && startsWithMark(behind) &&
        !isStrayByte(m_text[m_chars[behind - 1].begin]))
        joinWithNext(behind - 1);
    if (count > 0 && first > 0 && startsWithMark(first) &&
        !isStrayByte(m_text[m_chars[first - 1].begin])) {
        joinWithNext(first - 1);
        --behind;
    }
    return behind;
}

void CharacterText::write(std::u32string& out) const {
    out.clear();
    for (std::size_t i = 0; i < m_chars.size(); ++i) {
        const Character& c = m_chars[i];
        if (c.originLength != 0)
            out.append(m_origins, c.origin, c.originLength);
        else
            out += (*this)[i];
    }
}

}  // namespace zr
