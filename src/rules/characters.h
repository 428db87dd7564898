// SPDX-License-Identifier: GPL-3.0-or-later
// A text split into characters as people read them (a code point with the combining marks that
// follow it), each held in its canonical composition: what the wildcard matcher and the rules
// compare once a name holds combining marks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

// The characters of a text in composed form, one after another, with the form each character
// had in the text it came from. Characters that `replace` puts in count as changed. `write`
// gives the text back: unchanged characters as they were, changed ones composed, so a name no
// rule touched keeps its bytes.
class CharacterText {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    void assign(std::u32string_view text);

    std::size_t size() const { return m_chars.size(); }
    // All characters in composed form.
    const std::u32string& composed() const { return m_text; }
    // Character `i` in composed form.
    std::u32string_view operator[](std::size_t i) const {
        return std::u32string_view(m_text).substr(begin(i), begin(i + 1) - begin(i));
    }
    // Where character `i` begins in composed(); size() gives the end of the last one.
    std::size_t begin(std::size_t i) const {
        return i < m_chars.size() ? m_chars[i].begin : m_text.size();
    }
    // The index of the character that begins at `position` of composed(), size() at its end,
    // npos when `position` lies inside a character.
    std::size_t characterAt(std::size_t position) const;
    // The index of the character that holds `position` of composed(), size() at its end.
    std::size_t characterOf(std::size_t position) const;
    // The first run of characters from character `from` on whose composed form is `needle`:
    // its first index, and in `last` the index behind it; npos when there is none.
    std::size_t find(std::u32string_view needle, std::size_t from, std::size_t& last) const;

    // Replaces characters [first, last) by the characters of `text`, composed, and returns the
    // index behind them. Marks that come to follow a character, at either end, join it as they
    // would in the written text.
    std::size_t replace(std::size_t first, std::size_t last, std::u32string_view text);

    void write(std::u32string& out) const;

private:
    struct Character {
        std::uint32_t begin;         // in m_text
        std::uint32_t origin;        // in m_origins
        std::uint32_t originLength;  // 0: changed, written composed
    };

    bool startsWithMark(std::size_t i) const;
    void joinWithNext(std::size_t i);

    std::u32string m_text;
    std::vector<Character> m_chars;
    std::u32string m_origins;
    std::u32string m_piece;
    std::vector<std::uint32_t> m_pieceLengths;
};

}  // namespace zr
