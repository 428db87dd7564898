// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/remembered_settings.h"

#include "rules/option_lists.h"
#include "settings/settings_file.h"

namespace zr {

namespace {

const char* const kColumnNames[] = {"rx0", "rx1", "rx2", "rx3", "rx4"};

void readOptional(SettingsStore& store, const char* name, std::optional<int>& out,
                  std::vector<std::string>& problems) {
    if (!store.hasValue(name))
        return;
    std::int32_t value = 0;
    if (std::optional<std::string> error = store.readInteger(name, value))
        problems.push_back(*error);
    else
        out = value;
}

// Applies one remembered extended option: a Switch or Number stored as an integer, a Text or
// Choice as a string. The result is what went wrong.
std::optional<std::string> applyExtendedValue(SettingsStore& store, const std::string& name,
                                              ExtendedOption option, RenameSettings& settings) {
    const ExtendedKind kind = extendedInfo(option).kind;
    if (kind == ExtendedKind::Switch || kind == ExtendedKind::Number) {
        std::int32_t value = 0;
        if (std::optional<std::string> e = store.readInteger(name, value))
            return e;
        if (!settings.setValue(option, value))
            return invalidExtendedValueError(option, std::to_string(value));
        return std::nullopt;
    }
    std::string text;
    if (std::optional<std::string> e = store.readString(name, text))
        return e;
    if (text.find('\0') != std::string::npos)
        return nulValueError(name);
    if (kind == ExtendedKind::Text) {
        settings.setText(option, std::move(text));
        return std::nullopt;
    }
    std::string error;
    const std::optional<std::int32_t> value = parseExtendedValue(option, text, error);
    if (!value)
        return error;
    settings.setValue(option, *value);
    return std::nullopt;
}

// Applies one remembered value; the result is what went wrong.
std::optional<std::string> applyValue(SettingsStore& store, const std::string& name,
                                      RenameSettings& settings) {
    if (const std::optional<ExtendedOption> extended = findExtendedByKey(name))
        return applyExtendedValue(store, name, *extended, settings);
    struct Prefix {
        const char* text;
        ControlKind kind;
    };
    for (const Prefix& p : {Prefix{"ch", ControlKind::CheckBox}, Prefix{"ed", ControlKind::Edit},
                            Prefix{"cb", ControlKind::ComboBox}}) {
        if (name.find(p.text) == std::string::npos)
            continue;
        std::string error;
        const std::optional<Option> option = RenameSettings::optionForKey(name, p.kind, &error);
        if (!option)
            return error;
        if (p.kind == ControlKind::Edit) {
            std::string text;
            if (std::optional<std::string> e = store.readString(name, text))
                return e;
            if (text.find('\0') != std::string::npos)
                return nulValueError(name);
            settings.setText(*option, std::move(text));
        } else {
            std::int32_t value = 0;
            if (std::optional<std::string> e = store.readInteger(name, value))
                return e;
            if (p.kind == ControlKind::CheckBox)
                settings.setChecked(*option, value != 0);
            else
                settings.setItemIndex(value);
        }
    }
    return std::nullopt;
}

}  // namespace

WindowGeometry readRememberedGeometry(SettingsStore& store, std::vector<std::string>& problems) {
    WindowGeometry geometry;
    bool exists = false;
    if (store.openKey(false, exists) || !exists)
        return geometry;
    readOptional(store, "vx", geometry.width, problems);
    readOptional(store, "vy", geometry.height, problems);
    readOptional(store, "px", geometry.left, problems);
    readOptional(store, "py", geometry.top, problems);
    for (std::size_t i = 0; i < geometry.columnWidths.size(); ++i)
        readOptional(store, kColumnNames[i], geometry.columnWidths[i], problems);
    store.closeKey();
    return geometry;
}

std::vector<std::string> applyRememberedSettings(SettingsStore& store, RenameSettings& settings) {
    std::vector<std::string> problems;
    bool exists = false;
    if (std::optional<StoreError> error = store.openKey(false, exists)) {
        problems.push_back(error->message);
        if (error->unparseable) {
            std::string movedTo;
            if (std::optional<std::string> moveError = store.moveAside(movedTo))
                problems.push_back(*moveError);
            else
                problems.push_back("It was moved to " + movedTo +
                                   "; the default settings are used");
        }
        settings.restoreDefaults();
        return problems;
    }
    if (!exists) {
        settings.restoreDefaults();
        return problems;
    }
    std::int32_t version = kSettingsVersion;
    if (store.hasValue("ver")) {
        if (std::optional<std::string> error = store.readInteger("ver", version)) {
            // A version that cannot be told: none of the options can be trusted, so the window
            // shows the defaults (and closing writes those, not blanks).
            store.closeKey();
            problems.push_back(*error);
            settings.restoreDefaults();
            return problems;
        }
    }
    if (version != kSettingsVersion) {
        if (std::optional<StoreError> error = store.deleteKey())
            problems.push_back(error->message);
        settings.restoreDefaults();
        return problems;
    }
    for (const std::string& name : store.valueNames()) {
        if (std::optional<std::string> error = applyValue(store, name, settings))
            problems.push_back(*error);
    }
    store.closeKey();
    return problems;
}

std::optional<std::string> rememberGeometry(SettingsStore& store, const WindowGeometry& geometry) {
    bool exists = false;
    if (std::optional<StoreError> error = store.openKey(true, exists))
        return error->message;
    auto write = [&store](const char* name, const std::optional<int>& value) {
        return value ? store.writeInteger(name, *value) : std::nullopt;
    };
    std::optional<std::string> error = store.writeInteger("ver", kSettingsVersion);
    for (auto [name, value] : {std::pair{"vx", &geometry.width}, std::pair{"vy", &geometry.height},
                               std::pair{"px", &geometry.left}, std::pair{"py", &geometry.top}}) {
        if (!error)
            error = write(name, *value);
    }
    for (std::size_t i = 0; i < geometry.columnWidths.size() && !error; ++i)
        error = write(kColumnNames[i], geometry.columnWidths[i]);
    if (error) {
        store.closeKey();
        return error;
    }
    return store.closeKey();
}

std::optional<std::string> rememberOptions(SettingsStore& store, const RenameSettings& settings) {
    bool exists = false;
    if (std::optional<StoreError> error = store.openKey(true, exists))
        return error->message;
    std::optional<std::string> error;
    for (const OptionInfo& o : RenameSettings::all()) {
        if (error)
            break;
        switch (o.kind) {
            case ControlKind::CheckBox:
                error = store.writeInteger(o.key, settings.checked(o.option) ? 1 : 0);
                break;
            case ControlKind::Edit:
                error = store.writeString(o.key, settings.text(o.option));
                break;
            case ControlKind::ComboBox:
                error = store.writeInteger(o.key, settings.itemIndex());
                break;
            case ControlKind::Other:
                break;
        }
    }
    for (const ExtendedOptionInfo& o : allExtended()) {
        if (error)
            break;
        if (o.kind == ExtendedKind::Switch || o.kind == ExtendedKind::Number)
            error = store.writeInteger(o.key, settings.value(o.option));
        else
            error = store.writeString(o.key, extendedValueText(settings, o.option));
    }
    if (error) {
        store.closeKey();
        return error;
    }
    return store.closeKey();
}

}  // namespace zr
