// SPDX-License-Identifier: GPL-3.0-or-later
// The natural order of names, in which numbering by name counts: "IMG_2" before "IMG_10".
#pragma once

#include <string_view>

namespace zr {

// Compares two names (their bytes) in natural order: a run of ASCII digits compares with a run
// of digits by its value, however long; anything else compares by code point (for UTF-8 that is
// the order of the bytes), letter case included. Runs of the same value with different leading
// zeros ("IMG_2" and "IMG_02") decide only when the names are otherwise equal, the first such
// run deciding, and there fewer zeros come first. Only equal names compare equal.
// Negative when `a` comes first, 0 when equal, positive when `b` comes first.
int compareNatural(std::string_view a, std::string_view b);

}  // namespace zr
