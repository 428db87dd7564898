// SPDX-License-Identifier: GPL-3.0-or-later
// Unique names: an entry whose new name is taken gets the first free name with a counter.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zr {

// How many counters uniqueName() tries before it gives up.
constexpr int kMaxUniqueCounter = 1000000;

// The first name, from `wanted` on, that `taken` says is free:
//   - `wanted` itself when it is free;
//   - else the counter goes before the extension (the part from the last dot, as for the
//     suffix): "photo.jpg" gives "photo (2).jpg", "photo (3).jpg", ...; "archive.tar.gz" gives
//     "archive.tar (2).gz"; a name without a dot, and a dot file whose only dot is its first
//     character, get it at the end: "README (2)", ".profile (2)";
//   - a name that already ends in a counter goes on from it: "photo (2).jpg" gives
//     "photo (3).jpg", not "photo (2) (2).jpg". A counter is " (" and a number from 2 on
//     without leading zeros, then ")".
// Names compare as `taken` compares them (the conflict finder: as bytes). Nothing when
// kMaxUniqueCounter counters are all taken.
std::optional<std::string> uniqueName(std::string_view wanted,
                                      const std::function<bool(std::string_view)>& taken);

}  // namespace zr
