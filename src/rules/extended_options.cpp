// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/extended_options.h"

#include <array>

namespace zr {

namespace {

using K = ExtendedKind;
using O = ExtendedOption;

constexpr std::array<std::string_view, 3> kPatternRanges = {"name", "all", "extension"};
constexpr std::array<std::string_view, 4> kNumberOrders = {"name", "modified", "walk", "taken"};
constexpr std::array<std::string_view, 2> kNumberScopes = {"folder", "run"};
constexpr std::array<std::string_view, 2> kScriptFormats = {"bat", "sh"};

constexpr std::array<ExtendedOptionInfo, kExtendedOptionCount> kExtended{{
    {O::PatternReplace, "pattern-replace", K::Switch, 0, 0, 1, false, {}},
    {O::Pattern, "pattern", K::Text, 0, 0, 0, false, {}},
    {O::Replacement, "replace", K::Text, 0, 0, 0, false, {}},
    {O::PatternIgnoreCase, "pattern-ignore-case", K::Switch, 0, 0, 1, false, {}},
    {O::PatternAll, "pattern-all", K::Switch, 0, 0, 1, false, {}},
    {O::PatternRange, "pattern-range", K::Choice, 0, 0, 0, false, kPatternRanges},
    {O::Fields, "fields", K::Switch, 0, 0, 1, false, {}},
    {O::NumberStart, "number-start", K::Number, 1, 0, 999999999, false, {}},
    {O::NumberStep, "number-step", K::Number, 1, -999999, 999999, true, {}},
    {O::NumberOrder, "number-order", K::Choice, 0, 0, 0, false, kNumberOrders},
    {O::NumberScope, "number-scope", K::Choice, 0, 0, 0, false, kNumberScopes},
    {O::Unique, "unique", K::Switch, 0, 0, 1, false, {}},
    {O::ExcludeMasks, "exclude", K::Text, 0, 0, 0, false, {}},
    {O::SkipHidden, "skip-hidden", K::Switch, 0, 0, 1, false, {}},
    {O::ScriptFormat, "script-format", K::Choice, 0, 0, 0, false, kScriptFormats},
}};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

}  // namespace

const ExtendedOptionInfo& extendedInfo(ExtendedOption option) {
    return kExtended[static_cast<std::size_t>(option)];
}

std::span<const ExtendedOptionInfo> allExtended() {
    return kExtended;
}

std::optional<ExtendedOption> findExtendedByKey(std::string_view key) {
    for (const ExtendedOptionInfo& info : kExtended) {
        if (sameLetters(key, info.key))
            return info.option;
    }
    return std::nullopt;
}

bool isValidExtendedValue(ExtendedOption option, std::int32_t value) {
    const ExtendedOptionInfo& info = extendedInfo(option);
    switch (info.kind) {
        case K::Switch:
            return value == 0 || value == 1;
        case K::Number:
            return value >= info.min && value <= info.max && !(info.zeroRefused && value == 0);
        case K::Choice:
            return value >= 0 && static_cast<std::size_t>(value) < info.choices.size();
        case K::Text:
            break;
    }
    return false;
}

std::string extendedValueRange(ExtendedOption option) {
    const ExtendedOptionInfo& info = extendedInfo(option);
    switch (info.kind) {
        case K::Switch:
            return "0 or 1";
        case K::Number:
            return "a number from " + std::to_string(info.min) + " to " + std::to_string(info.max) +
                   (info.zeroRefused ? " other than 0" : "");
        case K::Choice: {
            std::string names;
            for (std::size_t i = 0; i < info.choices.size(); ++i) {
                if (i > 0)
                    names += i + 1 == info.choices.size() ? " or " : ", ";
                names += info.choices[i];
            }
            return names;
        }
        case K::Text:
            break;
    }
    return "any text";
}

std::optional<std::int32_t> findExtendedChoice(ExtendedOption option, std::string_view name) {
    const std::span<const std::string_view> choices = extendedInfo(option).choices;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (sameLetters(name, choices[i]))
            return static_cast<std::int32_t>(i);
    }
    return std::nullopt;
}

}  // namespace zr
