// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/unique_name.h"

namespace zr {

namespace {

// Where the counter goes: before the last dot, unless that dot is the first character.
std::size_t counterPlace(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

// The counter `base` ends with (" (7)" gives 7), or 0. The base loses it.
long takeCounter(std::string_view& base) {
    if (base.size() < 4 || base.back() != ')')
        return 0;
    const std::size_t open = base.rfind(" (");
    if (open == std::string_view::npos)
        return 0;
    const std::string_view digits = base.substr(open + 2, base.size() - open - 3);
    if (digits.empty() || digits.size() > 6 || digits[0] == '0')
        return 0;
    long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    if (value < 2)
        return 0;
    base = base.substr(0, open);
    return value;
}

}  // namespace

std::optional<std::string> uniqueName(std::string_view wanted,
                                      const std::function<bool(std::string_view)>& taken) {
    if (!taken(wanted))
        return std::string(wanted);
    const std::size_t place = counterPlace(wanted);
    std::string_view base = wanted.substr(0, place);
    const std::string_view extension = wanted.substr(place);
    const long first = takeCounter(base) + 1;
    std::string candidate;
    for (long counter = std::max(first, 2L); counter <= kMaxUniqueCounter; ++counter) {
        candidate.assign(base).append(" (").append(std::to_string(counter)).append(")");
        candidate.append(extension);
        if (!taken(candidate))
            return candidate;
    }
    return std::nullopt;
}

}  // namespace zr
