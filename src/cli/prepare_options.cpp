// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/prepare_options.h"

#include <cerrno>

#include "cli/name_text.h"
#include "rules/app_error.h"
#include "rules/filters.h"
#include "rules/option_lists.h"
#include "rules/text.h"
#include "settings/settings_file.h"

namespace zr {

std::string quoted(std::string_view path) {
    return "'" + escapeTsv(path) + "'";
}

void reportCommandError(const Console& console, const std::string& message,
                        const std::string& failedPath) {
    if (failedPath.empty())
        console.error(errorBoxText(message));
    else
        console.error(quoted(failedPath) + ": " + errorBoxText(message));
}

std::optional<std::string> invalidMaskError(const RenameSettings& settings) {
    if (settings.checked(Option::CheckBox14))
        return std::nullopt;
    for (const std::string& text : SplitOptionList(settings.text(Option::Edit3))) {
        std::u32string mask = toCodePoints(text);
        applyFilterCase(mask, settings.checked(Option::CheckBox11),
                        settings.checked(Option::CheckBox12));
        TMask compiled;
        int position = 0;
        if (!compiled.compile(mask, position))
            return TMask::errorText(mask, position);
    }
    return std::nullopt;
}

namespace {

bool loadSettings(const std::string& path, FileSystem& fileSystem, const Console& console,
                  RenameSettings& settings) {
    // Loading a missing file would quietly give the defaults, which a script never wants.
    if (!fileSystem.exists(path)) {
        console.error("settings file " + quoted(path) + " not found");
        return false;
    }
    bool otherVersion = false;
    const auto error = loadSettingsFile(fileSystem, path, settings,
                                        [&](const std::string&) { otherVersion = true; });
    if (error) {
        console.error("settings file " + quoted(path) + ": " + errorBoxText(*error));
        return false;
    }
    if (otherVersion) {
        console.error("settings file " + quoted(path) + ": Old settings file ! It holds no " +
                      "settings of version " + std::to_string(kSettingsVersion) +
                      ", so it is not used.");
        return false;
    }
    return true;
}

// The start directory as an absolute path, or nothing, with the reason printed.
std::optional<std::string> checkStartDirectory(const RenameSettings& settings,
                                               FileSystem& fileSystem, const Console& console) {
    // The Scan command passes over a start directory it cannot enter without a word, and one
    // that cannot be listed gives an empty preview: here both are errors.
    const std::string typed = normaliseStartDirectory(settings.text(Option::Edit1));
    std::string start;
    int error = fileSystem.changeDirectory(fileSystem.initialDirectory(), typed, start);
    if (error == 0 && !fileSystem.listDirectory(start, error) && error == 0)
        error = EIO;
    if (error != 0) {
        console.error("cannot enter the start directory " + quoted(typed) + ": " +
                      errorBoxText(systemErrorText(error)));
        return std::nullopt;
    }
    return normaliseStartDirectory(start);
}

}  // namespace

bool checkWorkingDirectory(FileSystem& fileSystem, const Console& console) {
    if (!fileSystem.initialDirectory().empty())
        return true;
    console.error("cannot find the current directory (was it removed?); nothing was done");
    return false;
}

bool prepareOptions(const CommandLine& commandLine, WatchedFileSystem& fileSystem,
                    const Console& console, RenameSettings& settings) {
    if (!checkWorkingDirectory(fileSystem, console))
        return false;
    keepExclusivePairs(settings);
    settings.restoreDefaults();
    // The window's default start directory would be /tmp/: never rename there by default.
    settings.setText(Option::Edit1, {});
    if (commandLine.settingsFile &&
        !loadSettings(*commandLine.settingsFile, fileSystem, console, settings))
        return false;
    applyRuleFlags(commandLine.ruleFlags, settings);
    if (commandLine.scriptFormat)
        settings.setValue(ExtendedOption::ScriptFormat,
                          static_cast<std::int32_t>(*commandLine.scriptFormat));
    if (commandLine.startDirectory) {
        if (commandLine.startDirectory->empty()) {
            // An unset shell variable, most likely: it must not mean the root.
            console.error(
                "the start directory is empty, and an empty start directory names no "
                "directory");
            return false;
        }
        settings.setText(Option::Edit1, *commandLine.startDirectory);
    }
    if (settings.text(Option::Edit1).empty()) {
        console.error(commandLine.settingsFile
                          ? "the settings file " + quoted(*commandLine.settingsFile) +
                                " names no start directory (give one on the command line)"
                          : "no start directory given (name one, or load a settings file)");
        return false;
    }

    if (const auto refusal = checkRunOptions(settings)) {
        console.error(*refusal);
        return false;
    }
    if (const auto error = invalidMaskError(settings)) {
        console.error(errorBoxText(*error));
        return false;
    }
    const std::optional<std::string> start = checkStartDirectory(settings, fileSystem, console);
    if (!start)
        return false;
    // Saved, a relative start directory would name another folder wherever the file is used.
    settings.setText(Option::Edit1, *start);
    if (commandLine.saveSettingsFile) {
        if (const auto error =
                saveSettingsFile(fileSystem, *commandLine.saveSettingsFile, settings)) {
            console.error(errorBoxText(*error));
            return false;
        }
    }
    return true;
}

}  // namespace zr
