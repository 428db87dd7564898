// SPDX-License-Identifier: GPL-3.0-or-later
// The filter test: whether a name matches at least one mask of "Filetypes", with the two
// ignore-case options.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/mask.h"

namespace zr {

// Tests names against one run's filter masks. Each mask is compiled once per case-option
// combination, which is the same as compiling the mask text as tested afresh: that text depends
// only on the mask and the two options. An invalid mask still fails at the first name tested.
class FilterMatcher {
public:
    explicit FilterMatcher(const std::vector<std::string>& masks);

    // Whether `name` matches at least one mask. Throws AppError with the invalid-mask text when
    // any mask is invalid, even when an earlier one matched.
    bool PassesFilters(std::u32string_view name, bool ignoreCase, bool ignoreCaseInExtension);
    // The same for a name already known to hold combining marks or not.
    bool PassesFilters(std::u32string_view name, bool nameHasMarks, bool ignoreCase,
                       bool ignoreCaseInExtension);

private:
    struct Compiled {
        TMask mask;
        int errorPosition = 0;  // 0: valid
        std::u32string tested;  // the mask text as tested, for the error message
    };

    const Compiled& compiled(std::size_t index, int variant);

    std::vector<std::u32string> m_masks;
    std::array<std::vector<std::optional<Compiled>>, 4> m_cache;
    std::u32string m_name;
    CharacterText m_characters;
};

// Applies the case options to a copy of a name or mask: all of it lowercased for
// `ignoreCase`, then its extension lowercased for `ignoreCaseInExtension`. A letter with
// combining marks is lowercased as its composed form (see lowerCaseRange).
void applyFilterCase(std::u32string& text, bool ignoreCase, bool ignoreCaseInExtension);

}  // namespace zr
