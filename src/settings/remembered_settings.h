// SPDX-License-Identifier: GPL-3.0-or-later
// The settings the program remembers between runs in the user's settings store: the window's
// geometry (read when the window is made), the options (applied at its first activation), and
// both written when it closes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "rules/rename_settings.h"

namespace zr {

// The window's size and place and the widths of the preview list's five columns; a value that
// is not remembered is empty.
struct WindowGeometry {
    std::optional<int> width;   // the window's width, frame included
    std::optional<int> height;  // likewise
    std::optional<int> left;
    std::optional<int> top;
    std::array<std::optional<int>, 5> columnWidths;
};

// The geometry as remembered. A value of the wrong type is left out and named in `problems`;
// a store that cannot be read gives no geometry (applying the options reports it).
WindowGeometry readRememberedGeometry(SettingsStore& store, std::vector<std::string>& problems);

// Applies the remembered options, in the order the store holds them, through the setters a
// user's clicks use. Nothing remembered: the defaults are restored. A store of another version
// is deleted and the defaults are restored; a store without "ver" counts as current, and one
// whose "ver" is no integer is reported and the defaults are restored, the store kept. A value
// that cannot be applied (of the wrong type, or named for no option of its kind) is skipped and
// named in the result, while the others still apply. A store that cannot be parsed is moved
// aside, so that it is neither lost nor written over, and the defaults are restored. The result
// lists what the user should be told; empty when all went well.
std::vector<std::string> applyRememberedSettings(SettingsStore& store, RenameSettings& settings);

// Writes "ver" and the geometry. The result is the error to show.
std::optional<std::string> rememberGeometry(SettingsStore& store, const WindowGeometry& geometry);

// Writes the 28 options in order of their position, then the extended options. The result is
// the error to show.
std::optional<std::string> rememberOptions(SettingsStore& store, const RenameSettings& settings);

}  // namespace zr
