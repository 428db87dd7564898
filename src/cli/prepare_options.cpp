// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/prepare_options.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

#include "cli/name_text.h"
#include "rules/app_error.h"
#include "rules/filters.h"
#include "rules/option_lists.h"
#include "rules/text.h"
#include "settings/ini_text.h"
#include "settings/settings_file.h"

namespace zr {

std::string quoted(std::string_view path) {
    return "'" + escapeTsv(path) + "'";
}

std::string systemWords(int error) {
    std::string words = std::strerror(error);
    if (!words.empty() && words[0] >= 'A' && words[0] <= 'Z')
        words[0] = static_cast<char>(words[0] - 'A' + 'a');
    return words;
}

void reportCommandError(const Console& console, const std::string& message,
                        const std::string& failedPath) {
    if (failedPath.empty())
        console.error(errorBoxText(message));
    else
        console.error(quoted(failedPath) + ": " + errorBoxText(message));
}

std::optional<std::string> invalidMaskError(const RenameSettings& settings) {
    // "Only directories" tests no filter; the exclude masks are tested whatever the mode.
    std::vector<std::string> masks = SplitOptionList(settings.text(ExtendedOption::ExcludeMasks));
    if (!settings.checked(Option::CheckBox14)) {
        for (std::string& mask : SplitOptionList(settings.text(Option::Edit3)))
            masks.push_back(std::move(mask));
    }
    for (const std::string& text : masks) {
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
    const std::string& given = settings.text(Option::Edit1);
    std::string start;
    int error = fileSystem.changeDirectory(fileSystem.initialDirectory(),
                                           normaliseStartDirectory(given), start);
    if (error == 0 && !fileSystem.listDirectory(start, error) && error == 0)
        error = EIO;
    if (error != 0) {
        console.error(quoted(given) + ": " + systemWords(error));
        return std::nullopt;
    }
    return normaliseStartDirectory(start);
}

// Whether `content` can be the text of a settings file: text whose lines are all blank,
// comments, section headers or "key=value". Saving into anything else (a photo, a document)
// would spoil it.
bool isSettingsText(std::string_view content) {
    if (content.find('\0') != std::string_view::npos)
        return false;
    if (content.starts_with("\xef\xbb\xbf"))
        content.remove_prefix(3);
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        const bool fits = line.empty() || line.front() == ';' || line.front() == '#' ||
                          (line.front() == '[' && line.back() == ']') ||
                          line.find('=') != std::string_view::npos;
        if (!fits)
            return false;
    }
    return true;
}

// Refuses options that would spoil every rename of the run, before anything happens: lists to
// pair that differ in length (the rule would silently be left out), a prefix or suffix that
// would move entries into other folders. The reason, or nothing.
std::optional<std::string> refusedOptions(const RenameSettings& settings) {
    ParsedLists lists;
    RenameSettings copy = settings;
    ParseOptionLists(copy, lists);
    if (lists.ConvertCountMismatch) {
        return "Count of convert string(s) not equal ! " +
               std::to_string(SplitOptionList(settings.text(Option::Edit9)).size()) +
               " string(s) to replace, " +
               std::to_string(SplitOptionList(settings.text(Option::Edit10)).size()) +
               " replacement(s); nothing was done";
    }
    if (lists.ConvertCharsLengthMismatch) {
        return "Lengths of convert chars not equal ! " + quoted(settings.text(Option::Edit6)) +
               " and " + quoted(settings.text(Option::Edit7)) + "; nothing was done";
    }
    for (const auto& [box, field, what] :
         {std::tuple{Option::CheckBox2, Option::Edit2, "prefix"},
          std::tuple{Option::CheckBox3, Option::Edit4, "suffix"}}) {
        if (settings.checked(box) && settings.text(field).find('/') != std::string::npos) {
            return std::string("the ") + what + " " + quoted(settings.text(field)) +
                   " holds a '/', which no name can hold; nothing was done";
        }
    }
    return std::nullopt;
}

// Whether the settings file at `path` gives a value for `key`.
bool settingsFileGives(FileSystem& fileSystem, const std::string& path, std::string_view key) {
    std::string content;
    if (fileSystem.readFile(path, content) != 0)
        return false;
    const std::string folded = foldIniName(key);
    for (const IniEntry& entry : readIniSection(content, "Renamer Settings")) {
        if (foldIniName(entry.key) == folded)
            return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> nothingMatchedText(const RenameSettings& settings,
                                              const RunFlags& flags) {
    // "Only directories" tests no filter.
    if (settings.checked(Option::CheckBox14) || flags.FilterMatchCount != 0)
        return std::nullopt;
    return "No entry matched the filters " + quoted(settings.text(Option::Edit3)) + ".";
}

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
    // Scripts for this system, unless a settings file or --script-format names the format.
    settings.setValue(ExtendedOption::ScriptFormat, static_cast<std::int32_t>(ScriptFormat::Sh));
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
    if (const auto refusal = refusedOptions(settings)) {
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
        const std::string& path = *commandLine.saveSettingsFile;
        std::string content;
        if (fileSystem.readFile(path, content) == 0 && !isSettingsText(content)) {
            console.error(quoted(path) + " is not a settings file; nothing was saved or done");
            return false;
        }
        if (const auto error = saveSettingsFile(fileSystem, path, settings)) {
            console.error(errorBoxText(*error));
            return false;
        }
    }
    // Nobody chose the filter: say which one decides what is renamed.
    const bool filterGiven =
        std::any_of(commandLine.ruleFlags.begin(), commandLine.ruleFlags.end(),
                    [](const FlagUse& use) { return use.flag->field == Option::Edit3; }) ||
        (commandLine.settingsFile && settingsFileGives(fileSystem, *commandLine.settingsFile,
                                                       RenameSettings::info(Option::Edit3).key));
    if (!filterGiven && !settings.checked(Option::CheckBox14)) {
        console.line("Using the default filter " + quoted(settings.text(Option::Edit3)) +
                         " (--filter gives another).",
                     true);
    }
    return true;
}

}  // namespace zr
