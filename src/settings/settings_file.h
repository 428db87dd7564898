// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files ("*.rns"): the 28 options and then the extended ones in the section "Renamer
// Settings" of an INI text, written by "Save settings" and read back by "Load settings" in the
// window and the command line.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "rules/rename_settings.h"

namespace zr {

class FileSystem;

// Files and remembered settings of another version are not read.
constexpr int kSettingsVersion = 1005;

// What a load says when the file holds no settings of the current version, before it restores
// the defaults: two lines joined by a carriage return.
extern const char* const kOldSettingsFileMessage;

// Shows kOldSettingsFileMessage. The load restores the defaults only after it returns, so the
// user reads the message before the options change.
using OldVersionNotice = std::function<void(const std::string& message)>;

// An extended option's value as text: a Switch "0" or "1", a Number in decimal, a Choice by its
// name, a Text as it is.
std::string extendedValueText(const RenameSettings& settings, ExtendedOption option);
// Reads a Switch, Number or Choice from such a text (a number, and a switch, by the integer rule
// of settings files; a choice's name in any letter case). On failure, `error` gets the message,
// naming the key.
std::optional<std::int32_t> parseExtendedValue(ExtendedOption option, std::string_view text,
                                               std::string& error);
// "Invalid value for 'number-step': '0' is not a number from -999999 to 999999 other than 0".
std::string invalidExtendedValueError(ExtendedOption option, std::string_view shown);

// Writes "ver", every option in order of its position and then the extended options into the
// settings section of `content`, keeping every other line as it is. Fails, leaving `content`
// unchanged, when a text holds a line break; the result is then the reason.
std::optional<std::string> writeSettingsText(std::string& content, const RenameSettings& settings);

// Applies the settings section of `content`: when its "ver" is not the current version, tells
// `notice` and restores the defaults; otherwise sets, key by key in file order, the options the
// section names. A key that names no option of its kind stops there with the error to show; the
// options set before it stay set. A value that no option can take (a NUL byte, an extended
// option's value out of its range) refuses the file before any option changes. A text without
// the section is no settings file at all (a photo, a text chosen by mistake): it changes
// nothing, and the result says so.
std::optional<std::string> applySettingsText(std::string_view content, RenameSettings& settings,
                                             const OldVersionNotice& notice);

// Save settings: writes the options into the file at `path`, replacing it at once (a file that
// exists keeps its other lines, keys and sections). The result is the error to show.
std::optional<std::string> saveSettingsFile(FileSystem& fs, const std::string& path,
                                            const RenameSettings& settings);

// Load settings: applySettingsText() on the file at `path`. A file that is missing or cannot be
// read changes nothing and is an error.
std::optional<std::string> loadSettingsFile(FileSystem& fs, const std::string& path,
                                            RenameSettings& settings,
                                            const OldVersionNotice& notice);

}  // namespace zr
