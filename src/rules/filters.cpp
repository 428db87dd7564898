// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/filters.h"

#include "rules/app_error.h"
#include "rules/text.h"

namespace zr {

void applyFilterCase(std::u32string& text, bool ignoreCase, bool ignoreCaseInExtension) {
    if (ignoreCase)
        lowerCaseRange(text, 0, text.size());
    if (ignoreCaseInExtension)
        lowerCaseRange(text, text.size() - extensionLength(text), text.size());
}

FilterMatcher::FilterMatcher(const std::vector<std::string>& masks) {
    m_masks.reserve(masks.size());
    for (const std::string& m : masks)
        m_masks.push_back(toCodePoints(m));
    for (auto& variant : m_cache)
        variant.resize(m_masks.size());
}

const FilterMatcher::Compiled& FilterMatcher::compiled(std::size_t index, int variant) {
    std::optional<Compiled>& slot = m_cache[static_cast<std::size_t>(variant)][index];
    if (!slot) {
        slot.emplace();
        slot->tested = m_masks[index];
        applyFilterCase(slot->tested, variant & 1, variant & 2);
        int position = 0;
        if (!slot->mask.compile(slot->tested, position))
            slot->errorPosition = position;
    }
    return *slot;
}

bool FilterMatcher::PassesFilters(std::u32string_view name, bool ignoreCase,
                                  bool ignoreCaseInExtension) {
    return PassesFilters(name, hasCombiningMark(name), ignoreCase, ignoreCaseInExtension);
}

bool FilterMatcher::PassesFilters(std::u32string_view name, bool nameHasMarks, bool ignoreCase,
                                  bool ignoreCaseInExtension) {
    const int variant = (ignoreCase ? 1 : 0) | (ignoreCaseInExtension ? 2 : 0);
    bool passed = false;
    bool nameReady = false;
    for (std::size_t i = 0; i < m_masks.size(); ++i) {
        const Compiled& c = compiled(i, variant);
        if (c.errorPosition != 0)
            throw AppError(TMask::errorText(c.tested, c.errorPosition));
        if (passed)
            continue;  // the later masks are still compiled, so an invalid one is reported
        if (c.mask.matchesEverything()) {
            passed = true;
            continue;
        }
        if (!nameReady) {
            m_name.assign(name);
            if (nameHasMarks) {
                // Split into characters once for all masks. Lowercasing brings no mark in.
                applyFilterCase(m_name, ignoreCase, ignoreCaseInExtension);
                m_characters.assign(m_name);
            } else {
                if (ignoreCase)
                    lowerCaseCodePoints(m_name, 0, m_name.size());
                if (ignoreCaseInExtension)
                    lowerCaseCodePoints(m_name, m_name.size() - extensionLength(m_name),
                                        m_name.size());
            }
            nameReady = true;
        }
        passed = nameHasMarks ? c.mask.matches(m_characters) : c.mask.matchesWithoutMarks(m_name);
    }
    return passed;
}

}  // namespace zr
