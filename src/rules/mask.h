// SPDX-License-Identifier: GPL-3.0-or-later
// The wildcard language of the filters: "*" any run of characters, "?" one character, "[...]"
// a set with ranges and "!" for negation. The letters a to z match in either case; every other
// character only as it is. A character is a code point with the combining marks that follow it,
// compared in its composed form, so masks and names match alike whichever form they are in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/characters.h"

namespace zr {

// A compiled mask: a sequence of states, each matching one character (or, for the last one, the
// end of the name), optionally preceded by a run of skipped characters.
class TMask {
public:
    // At most this many states may be preceded by "*".
    static constexpr int kMaxSkipStates = 30;

    // Compiles `mask`. On failure returns false and sets `errorPosition` to the 1-based
    // position in the mask, counted in characters, where compiling stopped.
    bool compile(std::u32string_view mask, int& errorPosition);

    bool matches(std::u32string_view name) const;
    // The same for a name known to hold no combining mark, and for a name split into characters.
    bool matchesWithoutMarks(std::u32string_view name) const;
    bool matches(const CharacterText& name) const;
    // Whether every name matches: the mask is stars alone ("*"), so a name need not be looked at.
    bool matchesEverything() const { return m_states.size() == 1 && m_states.front().skip; }

    // "'<mask>' is an invalid mask at (<position>)".
    static std::string errorText(std::u32string_view mask, int position);

private:
    // A literal character of one code point is held in `literal`; one of several code points (a
    // letter with a mark that has no composed form) is LongLiteral, its text m_texts[literal].
    enum class Kind : std::uint8_t { Literal, LongLiteral, Any, Set, End };
    struct State {
        Kind kind;
        bool skip;
        bool negate;
        char32_t literal;
        std::uint32_t rangeBegin;  // the set's ranges in m_ranges
        std::uint32_t rangeEnd;
        std::uint32_t textBegin;  // the set's members of several code points in m_texts
        std::uint32_t textEnd;
    };

    template <typename Name>
    bool matchStates(const Name& name) const;
    bool matchesOne(const State& state, char32_t c) const;
    bool matchesOne(const State& state, std::u32string_view character) const;
    std::u32string_view text(std::uint32_t index) const;

    std::vector<State> m_states;
    // The mask is "*" followed by states that each match one character, such as "*.jpg": a
    // name matches when its end matches them.
    bool m_suffixOnly = false;
    std::vector<std::pair<char32_t, char32_t>> m_ranges;
    // Characters of several code points: where each lies in m_pool.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_texts;
    std::u32string m_pool;
};

}  // namespace zr
