#include "rules/characters.h"

#include <algorithm>

#include "rules/text.h"

namespace zr {

void CharacterText::clear() {
    m_text.clear();
    m_chars.clear();
    m_origins.clear();
}

void CharacterText::assign(std::u32string_view text) {
    clear();
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

void CharacterText::append(std::u32string_view composed, std::u32string_view origin) {
    // Marks that follow another character belong to it, as they would in the written text:
    // this happens when a rule removed what stood between them or inserted bare marks.
    if (!m_chars.empty() && isCombiningMark(composed[0])) {
        Character& last = m_chars.back();
        const char32_t base = m_text[last.begin];
        if (base < kEscapeBase + 0x80 || base > kEscapeBase + 0xFF) {
            m_scratch.assign(m_text, last.begin);
            m_scratch += composed;
            m_text.resize(last.begin);
            appendComposed(m_scratch, m_text);
            // Two unchanged pieces that lay side by side keep their joint original form.
            if (last.originLength != 0 && !origin.empty() &&
                last.origin + last.originLength == m_origins.size()) {
                m_origins += origin;
                last.originLength += static_cast<std::uint32_t>(origin.size());
            } else {
                last.originLength = 0;
            }
            return;
        }
    }
    Character c{static_cast<std::uint32_t>(m_text.size()),
                static_cast<std::uint32_t>(m_origins.size()),
                static_cast<std::uint32_t>(origin.size())};
    m_text += composed;
    m_origins += origin;
    m_chars.push_back(c);
}

void CharacterText::keep(const CharacterText& from, std::size_t i) {
    const Character& c = from.m_chars[i];
    append(from[i], std::u32string_view(from.m_origins).substr(c.origin, c.originLength));
}

void CharacterText::add(std::u32string_view text) {
    std::u32string composed;
    for (std::size_t i = 0, end = 0; i < text.size(); i = end) {
        end = characterEnd(text, i);
        composed.clear();
        appendComposed(text.substr(i, end - i), composed);
        append(composed, {});
    }
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
