// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_file.h"

#include <cerrno>
#include <charconv>
#include <vector>

#include "platform/file_system.h"
#include "rules/app_error.h"
#include "rules/option_lists.h"
#include "settings/ini_text.h"

namespace zr {

const char* const kOldSettingsFileMessage =
    "Old settings file !\rDo not use it for compatibility purposes.";

namespace {

constexpr std::string_view kSection = "Renamer Settings";

// Why a settings file could not be read or written: what the program refuses in its own words,
// any other error as the walk words it.
std::string fileErrorText(int error) {
    const std::string refusal = refusalText(error);
    return refusal.empty() ? systemErrorText(error) : "it is " + refusal;
}

// Whether the part of `key` after its first two characters is a decimal number, as every key but
// "ver" must have even when it names no option.
bool hasDecimalPosition(std::string_view key) {
    if (key.size() <= 2)
        return false;
    int n = 0;
    const char* const last = key.data() + key.size();
    const auto [end, ec] = std::from_chars(key.data() + 2, last, n);
    return ec == std::errc{} && end == last;
}

}  // namespace

std::string extendedValueText(const RenameSettings& settings, ExtendedOption option) {
    const ExtendedOptionInfo& info = extendedInfo(option);
    const std::int32_t value = settings.value(option);
    switch (info.kind) {
        case ExtendedKind::Text:
            return settings.text(option);
        case ExtendedKind::Choice:
            return std::string(info.choices[static_cast<std::size_t>(value)]);
        case ExtendedKind::Switch:
        case ExtendedKind::Number:
            break;
    }
    return std::to_string(value);
}

std::string invalidExtendedValueError(ExtendedOption option, std::string_view shown) {
    return "Invalid value for '" + std::string(extendedInfo(option).key) + "': '" +
           std::string(shown) + "' is not " + extendedValueRange(option);
}

std::optional<std::int32_t> parseExtendedValue(ExtendedOption option, std::string_view text,
                                               std::string& error) {
    std::optional<std::int32_t> value;
    if (extendedInfo(option).kind == ExtendedKind::Choice)
        value = findExtendedChoice(option, text);
    else
        value = parseIniInteger(text);
    if (!value || !isValidExtendedValue(option, *value)) {
        error = invalidExtendedValueError(option, text);
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> writeSettingsText(std::string& content, const RenameSettings& settings) {
    std::vector<IniEntry> entries;
    entries.push_back({"ver", std::to_string(kSettingsVersion)});
    for (const OptionInfo& o : RenameSettings::all()) {
        switch (o.kind) {
            case ControlKind::CheckBox:
                entries.push_back({o.key, settings.checked(o.option) ? "1" : "0"});
                break;
            case ControlKind::Edit:
                entries.push_back({o.key, settings.text(o.option)});
                break;
            case ControlKind::ComboBox:
                entries.push_back({o.key, std::to_string(settings.itemIndex())});
                break;
            case ControlKind::Other:
                break;
        }
    }
    for (const ExtendedOptionInfo& o : allExtended())
        entries.push_back({o.key, extendedValueText(settings, o.option)});
    return writeIniSection(content, kSection, entries);
}

std::optional<std::string> applySettingsText(std::string_view content, RenameSettings& settings,
                                             const OldVersionNotice& notice) {
    // Wiping every option for a file that was never a settings file would lose them for nothing.
    if (!hasIniSection(content, kSection))
        return "Not a settings file: it holds no section [" + std::string(kSection) +
               "], so no option was changed";
    const std::vector<IniEntry> entries = readIniSection(content, kSection);
    int version = -100;
    for (const IniEntry& e : entries) {
        if (foldIniName(e.key) == "ver")
            version = iniInteger(e.value, -100);
    }
    if (version != kSettingsVersion) {
        notice(kOldSettingsFileMessage);
        settings.restoreDefaults();
        return std::nullopt;
    }

    // A NUL byte would cut a name short at the system call: refuse the file before any option
    // changes.
    std::string error;
    for (const IniEntry& e : entries) {
        if (e.value.find('\0') != std::string::npos)
            return nulValueError(e.key);
        const std::optional<ExtendedOption> extended = findExtendedByKey(e.key);
        if (extended && extendedInfo(*extended).kind != ExtendedKind::Text &&
            !parseExtendedValue(*extended, e.value, error))
            return error;
    }

    for (const IniEntry& e : entries) {
        if (const std::optional<ExtendedOption> extended = findExtendedByKey(e.key)) {
            if (extendedInfo(*extended).kind == ExtendedKind::Text)
                settings.setText(*extended, e.value);
            else
                settings.setValue(*extended, *parseExtendedValue(*extended, e.value, error));
            continue;
        }
        // Names compare without regard to case, so "ED8" sets the start directory too.
        const std::string name = foldIniName(e.key);
        if (name == "ver")
            continue;
        const bool isCheckBox = name.find("ch") != std::string::npos;
        const bool isEdit = name.find("ed") != std::string::npos;
        const bool isComboBox = name.find("cb") != std::string::npos;
        if (isCheckBox) {
            const auto option = RenameSettings::optionForKey(e.key, ControlKind::CheckBox, &error);
            if (!option)
                return error;
            settings.setChecked(*option, iniInteger(e.value, 0) != 0);
        }
        if (isEdit) {
            const auto option = RenameSettings::optionForKey(e.key, ControlKind::Edit, &error);
            if (!option)
                return error;
            settings.setText(*option, e.value);
        }
        if (isComboBox) {
            if (!RenameSettings::optionForKey(e.key, ControlKind::ComboBox, &error))
                return error;
            settings.setItemIndex(iniInteger(e.value, 0));
        }
        if (!isCheckBox && !isEdit && !isComboBox && !hasDecimalPosition(e.key)) {
            // The same check fails first for every kind and words the error.
            RenameSettings::optionForKey(e.key, ControlKind::Edit, &error);
            return error;
        }
    }
    return std::nullopt;
}

std::optional<std::string> saveSettingsFile(FileSystem& fs, const std::string& path,
                                            const RenameSettings& settings) {
    const std::string failure = "Unable to write to " + path;
    std::string content;
    const int readError = fs.readFile(path, content);
    if (readError == ENOENT)
        content.clear();
    else if (readError != 0)
        return failure + ": " + fileErrorText(readError);  // writing would lose what it holds
    if (std::optional<std::string> reason = writeSettingsText(content, settings))
        return failure + ": " + *reason;
    if (const int error = fs.replaceFile(path, content))
        return failure + ": " + fileErrorText(error);
    return std::nullopt;
}

std::optional<std::string> loadSettingsFile(FileSystem& fs, const std::string& path,
                                            RenameSettings& settings,
                                            const OldVersionNotice& notice) {
    std::string content;
    if (const int readError = fs.readFile(path, content))
        return "Unable to read " + path + ": " + fileErrorText(readError);
    return applySettingsText(content, settings, notice);
}

}  // namespace zr
