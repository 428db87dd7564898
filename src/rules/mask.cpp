// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/mask.h"

#include "rules/text.h"

namespace zr {

namespace {

inline char32_t foldAsciiLetter(char32_t c) {
    return (c >= U'a' && c <= U'z') ? c - 32 : c;
}

}  // namespace

bool TMask::compile(std::u32string_view mask, int& errorPosition) {
    m_states.clear();
    m_ranges.clear();
    m_texts.clear();
    m_pool.clear();
    m_suffixOnly = false;
    bool pendingSkip = false;
    int skipStates = 0;
    // Appends a state that takes the pending skip; `position` (1-based) is where the state
    // begins, reported when it is one skip state too many.
    auto append = [&](State state, std::size_t position) {
        state.skip = pendingSkip;
        if (pendingSkip && ++skipStates > kMaxSkipStates) {
            errorPosition = static_cast<int>(position);
            return false;
        }
        pendingSkip = false;
        m_states.push_back(state);
        return true;
    };
    auto addText = [&](std::u32string_view text) {
        m_texts.emplace_back(static_cast<std::uint32_t>(m_pool.size()),
                             static_cast<std::uint32_t>(text.size()));
        m_pool += text;
        return static_cast<std::uint32_t>(m_texts.size() - 1);
    };

    // The mask is read character by character; "*", "?", "[", "!", "-" and "]" carrying a
    // combining mark are ordinary characters.
    CharacterText chars;
    chars.assign(mask);
    auto is = [&chars](std::size_t k, char32_t c) {
        const std::u32string_view ch = chars[k];
        return ch.size() == 1 && ch[0] == c;
    };
    std::size_t i = 0;
    const std::size_t n = chars.size();
    while (i < n) {
        if (is(i, U'*')) {
            pendingSkip = true;
            ++i;
        } else if (is(i, U'?')) {
            // Directly after "*" a "?" demands nothing: "*?" is the same as "*".
            if (!pendingSkip)
                m_states.push_back(State{Kind::Any, false, false, 0, 0, 0, 0, 0});
            ++i;
        } else if (is(i, U'[')) {
            std::size_t j = i + 1;
            bool negate = false;
            if (j < n && is(j, U'!')) {
                negate = true;
                ++j;
            }
            const auto rangeBegin = static_cast<std::uint32_t>(m_ranges.size());
            const auto textBegin = static_cast<std::uint32_t>(m_texts.size());
            bool haveMember = false;
            char32_t last = 0;
            while (j < n && !is(j, U']')) {
                if (is(j, U'-')) {
                    if (!haveMember) {
                        errorPosition = static_cast<int>(j + 1);
                        return false;
                    }
                    if (j + 1 >= n) {  // nothing follows the "-": the set is never closed
                        j = n;
                        break;
                    }
                    // The character after "-" ends the range whatever it is, "]" included; the
                    // range's start stays the last member. In a range, a character of several
                    // code points counts by its first one.
                    const char32_t end = foldAsciiLetter(chars[j + 1][0]);
                    if (end >= last)
                        m_ranges.emplace_back(last, end);
                    j += 2;
                } else {
                    const std::u32string_view member = chars[j];
                    last = foldAsciiLetter(member[0]);
                    if (member.size() == 1)
                        m_ranges.emplace_back(last, last);
                    else
                        addText(member);
                    haveMember = true;
                    ++j;
                }
            }
            if (j >= n) {
                errorPosition = static_cast<int>(n + 1);
                return false;
            }
            if (!haveMember) {
                errorPosition = static_cast<int>(j + 1);
                return false;
            }
            const auto rangeEnd = static_cast<std::uint32_t>(m_ranges.size());
            const auto textEnd = static_cast<std::uint32_t>(m_texts.size());
            if (!append(
                    State{Kind::Set, false, negate, 0, rangeBegin, rangeEnd, textBegin, textEnd},
                    j + 1))
                return false;
            i = j + 1;
        } else {
            const std::u32string_view ch = chars[i];
            const State state =
                ch.size() == 1
                    ? State{Kind::Literal, false, false, foldAsciiLetter(ch[0]), 0, 0, 0, 0}
                    : State{Kind::LongLiteral, false, false, addText(ch), 0, 0, 0, 0};
            if (!append(state, i + 1))
                return false;
            ++i;
        }
    }
    if (!append(State{Kind::End, false, false, 0, 0, 0, 0, 0}, n + 1))
        return false;
    m_suffixOnly = m_states.size() >= 2 && m_states.front().skip && !m_states.back().skip;
    for (std::size_t s = 1; m_suffixOnly && s + 1 < m_states.size(); ++s)
        m_suffixOnly = !m_states[s].skip;
    return true;
}

std::u32string_view TMask::text(std::uint32_t index) const {
    return std::u32string_view(m_pool).substr(m_texts[index].first, m_texts[index].second);
}

bool TMask::matchesOne(const State& state, char32_t c) const {
    switch (state.kind) {
        case Kind::Literal:
            return foldAsciiLetter(c) == state.literal;
        case Kind::Any:
            return true;
        case Kind::Set: {
            const char32_t folded = foldAsciiLetter(c);
            bool member = false;
            for (std::uint32_t r = state.rangeBegin; r < state.rangeEnd && !member; ++r)
                member = folded >= m_ranges[r].first && folded <= m_ranges[r].second;
            return member != state.negate;
        }
        case Kind::LongLiteral:
        case Kind::End:
            break;
    }
    return false;
}

bool TMask::matchesOne(const State& state, std::u32string_view character) const {
    if (character.size() == 1)
        return matchesOne(state, character[0]);
    // A character of several code points matches only itself: no case folding, no range.
    switch (state.kind) {
        case Kind::LongLiteral:
            return text(state.literal) == character;
        case Kind::Any:
            return true;
        case Kind::Set: {
            bool member = false;
            for (std::uint32_t t = state.textBegin; t < state.textEnd && !member; ++t)
                member = text(t) == character;
            return member != state.negate;
        }
        case Kind::Literal:
        case Kind::End:
            break;
    }
    return false;
}

// `Name` is a sequence of characters: code points (a name without combining marks) or a
// CharacterText.
template <typename Name>
bool TMask::matchStates(const Name& name) const {
    // Every state but the last matches exactly one character, so when a state fails it is
    // enough to let the latest skipping state pass over one more character: the earlier ones
    // could not do better. This finds a match exactly when some choice of skips gives one.
    const std::size_t n = name.size();
    if (m_suffixOnly) {
        const std::size_t length = m_states.size() - 1;
        if (n < length)
            return false;
        const std::size_t start = n - length;
        for (std::size_t s = 0; s < length; ++s) {
            if (!matchesOne(m_states[s], name[start + s]))
                return false;
        }
        return true;
    }
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t s = 0;
    std::size_t pos = 0;
    std::size_t retryState = kNone;
    std::size_t retryPos = 0;
    for (;;) {
        const State& state = m_states[s];
        if (state.skip) {
            if (state.kind == Kind::End)
                return true;
            retryState = s;
            retryPos = pos;
        }
        if (state.kind == Kind::End) {
            if (pos == n)
                return true;
        } else if (pos < n && matchesOne(state, name[pos])) {
            ++s;
            ++pos;
            continue;
        }
        if (retryState == kNone || ++retryPos >= n)
            return false;
        s = retryState;
        pos = retryPos;
    }
}

bool TMask::matches(std::u32string_view name) const {
    if (m_suffixOnly) {
        // Only the last characters of the name count. Read from the end, code points that are
        // no marks are whole characters, so a mismatch among them is final.
        const std::size_t length = m_states.size() - 1;
        const std::size_t n = name.size();
        bool marks = false;
        for (std::size_t k = 0; k < length && k < n && !marks; ++k) {
            const char32_t c = name[n - 1 - k];
            marks = isCombiningMark(c);
            if (!marks && !matchesOne(m_states[length - 1 - k], c))
                return false;
        }
        if (!marks)
            return n >= length;
    } else if (!hasCombiningMark(name)) {
        return matchStates(name);
    }
    CharacterText chars;
    chars.assign(name);
    return matchStates(chars);
}

bool TMask::matchesWithoutMarks(std::u32string_view name) const {
    return matchStates(name);
}

bool TMask::matches(const CharacterText& name) const {
    return matchStates(name);
}

std::string TMask::errorText(std::u32string_view mask, int position) {
    return "'" + toBytes(mask) + "' is an invalid mask at (" + std::to_string(position) + ")";
}

}  // namespace zr
