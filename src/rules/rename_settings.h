// SPDX-License-Identifier: GPL-3.0-or-later
// The 28 user options that steer a scan, a rename run and the rename script: one per check box,
// edit field or combo box of the main window, with the window position N that forms its persisted
// key ("ch9", "ed8", "cb18"), its state when the window is created and its restored default;
// and after them the extended options (extended_options.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rules/extended_options.h"

namespace zr {

enum class ControlKind : std::uint8_t { Other, CheckBox, Edit, ComboBox };

// The options, in the order of their window position N.
enum class Option : std::uint8_t {
    Edit1,       // 8   "Start dir"
    CheckBox1,   // 9   "process directories recursively"
    Edit3,       // 11  "Filetypes"
    CheckBox2,   // 13  "Add prefix"
    Edit2,       // 14  the prefix
    CheckBox3,   // 15  "Append suffix"
    Edit4,       // 16  the suffix
    CheckBox4,   // 17  "Convert case"
    ComboBox1,   // 18  case mode
    CheckBox5,   // 19  "Kill string(s)"
    Edit5,       // 20  strings to remove
    CheckBox6,   // 21  "inclusive extension"
    CheckBox7,   // 22  "only in extension"
    CheckBox8,   // 23  "after extension"
    CheckBox9,   // 24  "Convert char(s)"
    Edit6,       // 25  characters to replace
    Edit7,       // 26  replacement characters
    Edit8,       // 27  characters to remove
    CheckBox10,  // 28  "Kill char(s)"
    CheckBox11,  // 30  "ignore case in wildcard(s)"
    CheckBox12,  // 31  "ignore case only in extension(s)"
    CheckBox13,  // 32  "make batch file instead of renaming"
    CheckBox15,  // 33  "remember last settings"
    CheckBox16,  // 35  "Convert string(s)"
    Edit9,       // 36  strings to replace
    Edit10,      // 37  replacement strings
    CheckBox17,  // 39  "auto rescan on changes"
    CheckBox14,  // 40  "only directories"
};

constexpr std::size_t kOptionCount = 28;

// Case modes of ComboBox1.
enum CaseMode : int { kLowerCase = 0, kUpperCase = 1, kFirstUpper = 2, kAllFirstUpper = 3 };

struct OptionInfo {
    Option option;
    const char* controlName;  // "Edit1", "CheckBox5", ...
    ControlKind kind;
    int position;     // N
    const char* key;  // "ed8", "ch9", "cb18"
};

// One component of the window's component list (positions 0 to 50).
struct ComponentInfo {
    const char* name;
    ControlKind kind;
};

// The option values, bound to the window's controls. Setting an option to a new value notifies
// the change listener (the window shows the value and, for a check box, runs its click
// reaction); setting it to the value it already has does nothing. The extended options work the
// same way with a listener of their own.
class RenameSettings {
public:
    using ChangeListener = std::function<void(Option)>;
    using ExtendedChangeListener = std::function<void(ExtendedOption)>;

    // The states at window creation.
    RenameSettings();
    // A copy takes the values, not the listener: that belongs to the record a window is bound
    // to. Assigning keeps the target's listener and tells it nothing, so it is for records that
    // no window shows.
    RenameSettings(const RenameSettings& other);
    RenameSettings& operator=(const RenameSettings& other);

    bool checked(Option option) const { return m_checked[static_cast<std::size_t>(option)]; }
    const std::string& text(Option option) const {
        return m_text[static_cast<std::size_t>(option)];
    }
    int itemIndex() const { return m_itemIndex; }

    void setChecked(Option option, bool checked);
    void setText(Option option, std::string text);
    // An index outside 0 to 3 selects no item (-1).
    void setItemIndex(int index);

    // The extended options: a Switch is checked(), a Text text(), a Number or Choice value().
    bool checked(ExtendedOption option) const { return value(option) != 0; }
    const std::string& text(ExtendedOption option) const {
        return m_extendedText[static_cast<std::size_t>(option)];
    }
    std::int32_t value(ExtendedOption option) const {
        return m_extendedValue[static_cast<std::size_t>(option)];
    }
    // A Choice as its enumeration (PatternRange, NumberOrder, ...).
    template <typename Choice>
    Choice choice(ExtendedOption option) const {
        return static_cast<Choice>(value(option));
    }

    void setChecked(ExtendedOption option, bool checked);
    void setText(ExtendedOption option, std::string text);
    // Sets a Number or a Choice's index; a value that is not valid for the option
    // (isValidExtendedValue) changes nothing and gives false.
    bool setValue(ExtendedOption option, std::int32_t value);

    // Sets the restored defaults in their fixed order; CheckBox1, CheckBox9, CheckBox13,
    // CheckBox14, CheckBox15 and CheckBox17 keep their state. Then every extended option takes
    // its default, in table order, so the new rules are off again; only the script format
    // keeps its state, as "make batch file instead of renaming" does.
    void restoreDefaults();

    // Raised by every change, so that derived data can tell when to refresh.
    std::uint64_t revision() const { return m_revision; }

    void setChangeListener(ChangeListener listener) { m_listener = std::move(listener); }
    void setExtendedChangeListener(ExtendedChangeListener listener) {
        m_extendedListener = std::move(listener);
    }

    static const OptionInfo& info(Option option);
    // All options in order of N.
    static std::span<const OptionInfo> all();
    static std::optional<Option> findByControlName(std::string_view name);
    static std::optional<Option> findByKey(std::string_view key);
    // The window's components; position N is the index.
    static std::span<const ComponentInfo> components();

    // The option a persisted key names when its value is to be applied as `kind`: the key's
    // part after its first two characters is the decimal position N, which must be a position of
    // the component list whose component is of that kind. On failure, `error` gets a message
    // naming the key and what is wrong with it.
    static std::optional<Option> optionForKey(std::string_view key, ControlKind kind,
                                              std::string* error);

private:
    void changed(Option option);
    void changed(ExtendedOption option);

    std::array<bool, kOptionCount> m_checked{};
    std::array<std::string, kOptionCount> m_text;
    int m_itemIndex = -1;
    std::array<std::int32_t, kExtendedOptionCount> m_extendedValue{};
    std::array<std::string, kExtendedOptionCount> m_extendedText;
    std::uint64_t m_revision = 0;
    ChangeListener m_listener;
    ExtendedChangeListener m_extendedListener;
};

// The restored default of "Convert char(s)"'s first field: letters with diacritics that pair,
// position by position, with the plain letters of the second field's default.
extern const char* const kDefaultConvertFrom;
extern const char* const kDefaultConvertTo;

}  // namespace zr
