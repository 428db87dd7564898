// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/rename_settings.h"

#include <charconv>

namespace zr {

const char* const kDefaultConvertFrom = "ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ";
const char* const kDefaultConvertTo = "escrzyaieuutdESCRZYAIEUUTD";

namespace {

using K = ControlKind;

constexpr std::array<OptionInfo, kOptionCount> kOptions{{
    {Option::Edit1, "Edit1", K::Edit, 8, "ed8"},
    {Option::CheckBox1, "CheckBox1", K::CheckBox, 9, "ch9"},
    {Option::Edit3, "Edit3", K::Edit, 11, "ed11"},
    {Option::CheckBox2, "CheckBox2", K::CheckBox, 13, "ch13"},
    {Option::Edit2, "Edit2", K::Edit, 14, "ed14"},
    {Option::CheckBox3, "CheckBox3", K::CheckBox, 15, "ch15"},
    {Option::Edit4, "Edit4", K::Edit, 16, "ed16"},
    {Option::CheckBox4, "CheckBox4", K::CheckBox, 17, "ch17"},
    {Option::ComboBox1, "ComboBox1", K::ComboBox, 18, "cb18"},
    {Option::CheckBox5, "CheckBox5", K::CheckBox, 19, "ch19"},
    {Option::Edit5, "Edit5", K::Edit, 20, "ed20"},
    {Option::CheckBox6, "CheckBox6", K::CheckBox, 21, "ch21"},
    {Option::CheckBox7, "CheckBox7", K::CheckBox, 22, "ch22"},
    {Option::CheckBox8, "CheckBox8", K::CheckBox, 23, "ch23"},
    {Option::CheckBox9, "CheckBox9", K::CheckBox, 24, "ch24"},
    {Option::Edit6, "Edit6", K::Edit, 25, "ed25"},
    {Option::Edit7, "Edit7", K::Edit, 26, "ed26"},
    {Option::Edit8, "Edit8", K::Edit, 27, "ed27"},
    {Option::CheckBox10, "CheckBox10", K::CheckBox, 28, "ch28"},
    {Option::CheckBox11, "CheckBox11", K::CheckBox, 30, "ch30"},
    {Option::CheckBox12, "CheckBox12", K::CheckBox, 31, "ch31"},
    {Option::CheckBox13, "CheckBox13", K::CheckBox, 32, "ch32"},
    {Option::CheckBox15, "CheckBox15", K::CheckBox, 33, "ch33"},
    {Option::CheckBox16, "CheckBox16", K::CheckBox, 35, "ch35"},
    {Option::Edit9, "Edit9", K::Edit, 36, "ed36"},
    {Option::Edit10, "Edit10", K::Edit, 37, "ed37"},
    {Option::CheckBox17, "CheckBox17", K::CheckBox, 39, "ch39"},
    {Option::CheckBox14, "CheckBox14", K::CheckBox, 40, "ch40"},
}};

constexpr std::array<ComponentInfo, 51> kComponents{{
    {"Label1", K::Other},
    {"Label3", K::Other},
    {"Label4", K::Other},
    {"Label2", K::Other},
    {"Label5", K::Other},
    {"Image1", K::Other},
    {"Panel1", K::Other},
    {"Button1", K::Other},
    {"Edit1", K::Edit},
    {"CheckBox1", K::CheckBox},
    {"Button2", K::Other},
    {"Edit3", K::Edit},
    {"StatusBar1", K::Other},
    {"CheckBox2", K::CheckBox},
    {"Edit2", K::Edit},
    {"CheckBox3", K::CheckBox},
    {"Edit4", K::Edit},
    {"CheckBox4", K::CheckBox},
    {"ComboBox1", K::ComboBox},
    {"CheckBox5", K::CheckBox},
    {"Edit5", K::Edit},
    {"CheckBox6", K::CheckBox},
    {"CheckBox7", K::CheckBox},
    {"CheckBox8", K::CheckBox},
    {"CheckBox9", K::CheckBox},
    {"Edit6", K::Edit},
    {"Edit7", K::Edit},
    {"Edit8", K::Edit},
    {"CheckBox10", K::CheckBox},
    {"Button3", K::Other},
    {"CheckBox11", K::CheckBox},
    {"CheckBox12", K::CheckBox},
    {"CheckBox13", K::CheckBox},
    {"CheckBox15", K::CheckBox},
    {"ListView1", K::Other},
    {"CheckBox16", K::CheckBox},
    {"Edit9", K::Edit},
    {"Edit10", K::Edit},
    {"Button5", K::Other},
    {"CheckBox17", K::CheckBox},
    {"CheckBox14", K::CheckBox},
    {"PopupMenu1", K::Other},
    {"Savesettings1", K::Other},
    {"LoadSettings1", K::Other},
    {"Restoredefaults1", K::Other},
    {"N1", K::Other},
    {"SaveUndoasbat1", K::Other},
    {"N2", K::Other},
    {"Viewlastfailurelog1", K::Other},
    {"SaveDialog1", K::Other},
    {"OpenDialog1", K::Other},
}};

constexpr std::size_t index(Option option) {
    return static_cast<std::size_t>(option);
}

const char* kindName(ControlKind kind) {
    switch (kind) {
        case K::CheckBox:
            return "a check box";
        case K::Edit:
            return "an edit field";
        case K::ComboBox:
            return "a combo box";
        case K::Other:
            break;
    }
    return "an option control";
}

}  // namespace

RenameSettings::RenameSettings() {
    m_checked[index(Option::CheckBox1)] = true;
    m_checked[index(Option::CheckBox6)] = true;
    m_checked[index(Option::CheckBox12)] = true;
    m_checked[index(Option::CheckBox15)] = true;
    for (const ExtendedOptionInfo& info : allExtended())
        m_extendedValue[static_cast<std::size_t>(info.option)] = info.defaultValue;
}

RenameSettings::RenameSettings(const RenameSettings& other)
    : m_checked(other.m_checked),
      m_text(other.m_text),
      m_itemIndex(other.m_itemIndex),
      m_extendedValue(other.m_extendedValue),
      m_extendedText(other.m_extendedText),
      m_revision(other.m_revision) {}

RenameSettings& RenameSettings::operator=(const RenameSettings& other) {
    m_checked = other.m_checked;
    m_text = other.m_text;
    m_itemIndex = other.m_itemIndex;
    m_extendedValue = other.m_extendedValue;
    m_extendedText = other.m_extendedText;
    ++m_revision;
    return *this;
}

void RenameSettings::setChecked(Option option, bool checked) {
    if (m_checked[index(option)] == checked)
        return;
    m_checked[index(option)] = checked;
    changed(option);
}

void RenameSettings::setText(Option option, std::string text) {
    if (m_text[index(option)] == text)
        return;
    m_text[index(option)] = std::move(text);
    changed(option);
}

void RenameSettings::setItemIndex(int index) {
    if (index < kLowerCase || index > kAllFirstUpper)
        index = -1;
    if (m_itemIndex == index)
        return;
    m_itemIndex = index;
    changed(Option::ComboBox1);
}

void RenameSettings::changed(Option option) {
    ++m_revision;
    if (m_listener)
        m_listener(option);
}

void RenameSettings::setChecked(ExtendedOption option, bool checked) {
    setValue(option, checked ? 1 : 0);
}

void RenameSettings::setText(ExtendedOption option, std::string text) {
    std::string& slot = m_extendedText[static_cast<std::size_t>(option)];
    if (slot == text)
        return;
    slot = std::move(text);
    changed(option);
}

bool RenameSettings::setValue(ExtendedOption option, std::int32_t value) {
    if (!isValidExtendedValue(option, value))
        return false;
    std::int32_t& slot = m_extendedValue[static_cast<std::size_t>(option)];
    if (slot != value) {
        slot = value;
        changed(option);
    }
    return true;
}

void RenameSettings::changed(ExtendedOption option) {
    ++m_revision;
    if (m_extendedListener)
        m_extendedListener(option);
}

void RenameSettings::restoreDefaults() {
    setText(Option::Edit1, "/tmp/");
    setText(Option::Edit3, "*.jpg;*.gif");
    setChecked(Option::CheckBox11, false);
    setChecked(Option::CheckBox12, true);
    setChecked(Option::CheckBox5, false);
    setText(Option::Edit5, "copy;small");
    setChecked(Option::CheckBox10, false);
    setText(Option::Edit8, "#_");
    setChecked(Option::CheckBox4, false);
    setItemIndex(kLowerCase);
    setChecked(Option::CheckBox6, true);
    setChecked(Option::CheckBox7, false);
    setChecked(Option::CheckBox2, false);
    setText(Option::Edit2, "pic_");
    setChecked(Option::CheckBox3, false);
    setText(Option::Edit4, "_th");
    setChecked(Option::CheckBox8, false);
    setText(Option::Edit6, kDefaultConvertFrom);
    setText(Option::Edit7, kDefaultConvertTo);
    setChecked(Option::CheckBox16, false);
    setText(Option::Edit9, "dok;602");
    setText(Option::Edit10, "doc;txt");
    for (const ExtendedOptionInfo& info : allExtended()) {
        if (info.option == ExtendedOption::ScriptFormat)
            continue;
        if (info.kind == ExtendedKind::Text)
            setText(info.option, {});
        else
            setValue(info.option, info.defaultValue);
    }
}

const OptionInfo& RenameSettings::info(Option option) {
    return kOptions[index(option)];
}

std::span<const OptionInfo> RenameSettings::all() {
    return kOptions;
}

std::span<const ComponentInfo> RenameSettings::components() {
    return kComponents;
}

std::optional<Option> RenameSettings::findByControlName(std::string_view name) {
    for (const OptionInfo& o : kOptions) {
        if (name == o.controlName)
            return o.option;
    }
    return std::nullopt;
}

std::optional<Option> RenameSettings::findByKey(std::string_view key) {
    for (const OptionInfo& o : kOptions) {
        if (key == o.key)
            return o.option;
    }
    return std::nullopt;
}

std::optional<Option> RenameSettings::optionForKey(std::string_view key, ControlKind kind,
                                                   std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<Option> {
        if (error)
            *error = "'" + std::string(key) + "' is not a valid settings key: " + why;
        return std::nullopt;
    };
    const std::string_view rest = key.size() > 2 ? key.substr(2) : std::string_view{};
    int n = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
    if (rest.empty() || ec != std::errc{} || end != rest.data() + rest.size())
        return fail("'" + std::string(rest) + "' is not a decimal number");
    if (n < 0 || n >= static_cast<int>(kComponents.size()))
        return fail("the window has no component " + std::to_string(n));
    const ComponentInfo& component = kComponents[static_cast<std::size_t>(n)];
    if (component.kind != kind)
        return fail("component " + std::to_string(n) + " (" + component.name + ") is not " +
                    kindName(kind));
    for (const OptionInfo& o : kOptions) {
        if (o.position == n)
            return o.option;
    }
    return fail("component " + std::to_string(n) + " holds no option");
}

}  // namespace zr
