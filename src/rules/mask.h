// The wildcard language of the filters: "*" any run of characters, "?" one character, "[...]"
// a set with ranges and "!" for negation. The letters a to z match in either case; every other
// character only as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zr {

// A compiled mask: a sequence of states, each matching one character (or, for the last one, the
// end of the name), optionally preceded by a run of skipped characters.
class TMask {
public:
    // At most this many states may be preceded by "*".
    static constexpr int kMaxSkipStates = 30;

    // Compiles `mask`. On failure returns false and sets `errorPosition` to the 1-based
    // position in the mask where compiling stopped.
    bool compile(std::u32string_view mask, int& errorPosition);

    bool matches(std::u32string_view name) const;

    // "'<mask>' is an invalid mask at (<position>)".
    static std::string errorText(std::u32string_view mask, int position);

private:
    enum class Kind : std::uint8_t { Literal, Any, Set, End };
    struct State {
        Kind kind;
        bool skip;
        bool negate;
        char32_t literal;
        std::uint32_t rangeBegin;  // the set's ranges in m_ranges
        std::uint32_t rangeEnd;
    };

    bool matchesOne(const State& state, char32_t c) const;

    std::vector<State> m_states;
    // The mask is "*" followed by states that each match one character, such as "*.jpg": a
    // name matches when its end matches them.
    bool m_suffixOnly = false;
    std::vector<std::pair<char32_t, char32_t>> m_ranges;
};

}  // namespace zr
