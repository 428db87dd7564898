// SPDX-License-Identifier: GPL-3.0-or-later
// What scan and go do before their command runs: the options built from the defaults, a
// settings file and the flags, and every check that can refuse the run before it touches
// anything.
#pragma once

#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/watched_file_system.h"
#include "rename/run_flags.h"
#include "rules/rename_settings.h"

namespace zr {

// Fills `settings` as a first start of the window would have them, then loads the settings
// file, applies the flags and the start directory; checks the list fields, the filter masks and
// that the start directory can be entered and listed; then saves the settings when asked, with
// the start directory as an absolute path. The start directory must come from the command line
// or the settings file: an empty one names no directory, and the window's default is never
// used. False, with the reason printed, when any step fails.
bool prepareOptions(const CommandLine& commandLine, WatchedFileSystem& fileSystem,
                    const Console& console, RenameSettings& settings);

// The error of the first filter mask that does not compile with the case options as they
// stand, or nothing; nothing too when "only directories" leaves the filters unused.
std::optional<std::string> invalidMaskError(const RenameSettings& settings);

// Whether the working directory, where the run's files go, is known: false, with the reason
// printed, when the directory the program was started in no longer exists.
bool checkWorkingDirectory(FileSystem& fileSystem, const Console& console);

// A path or name as an error line shows it: between quotes, control characters escaped.
std::string quoted(std::string_view path);

// The system's words for an errno, as strerror() gives them, starting in lower case to follow a
// colon: "no such file or directory".
std::string systemWords(int error);

// The line a run whose filters matched no entry adds to its closing text, or nothing.
std::optional<std::string> nothingMatchedText(const RenameSettings& settings,
                                              const RunFlags& flags);

// The line for an error that ended a command: the path that failed, when one did, and the
// message as the window's error box words it.
void reportCommandError(const Console& console, const std::string& message,
                        const std::string& failedPath);

}  // namespace zr
