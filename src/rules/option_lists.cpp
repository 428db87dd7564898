// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/option_lists.h"

#include "rules/pattern_rule.h"
#include "rules/text.h"

namespace zr {

std::vector<std::string> SplitOptionList(std::string_view text) {
    std::vector<std::string> entries;
    if (text.empty())
        return entries;
    entries.emplace_back();
    bool separatorRead = false;
    for (char c : text) {
        if (c == ';' && !separatorRead) {
            entries.emplace_back();
            separatorRead = true;
        } else {
            entries.back().push_back(c);
            if (c != ';')
                separatorRead = false;
        }
    }
    return entries;
}

std::string normaliseStartDirectory(std::string_view text) {
    std::string result(text);
    if (!result.empty() && result.back() != '/')
        result.push_back('/');
    return result;
}

namespace {

struct ListField {
    Option option;
    const char* name;
    // The check box whose state makes the run use the field, and the state that does.
    Option rule;
    bool usedWhen;
};

constexpr ListField kListFields[] = {
    // "only directories" hands no entry to the filters.
    {Option::Edit3, "Filetypes", Option::CheckBox14, false},
    {Option::Edit5, "Kill string(s)", Option::CheckBox5, true},
    {Option::Edit9, "Convert string(s)", Option::CheckBox16, true},
    {Option::Edit10, "the \"to\" field of Convert string(s)", Option::CheckBox16, true},
};

// Splits a field, keeping nothing when it holds more entries than a list has room for.
std::vector<std::string> splitWithinLimit(std::string_view text) {
    std::vector<std::string> entries = SplitOptionList(text);
    if (entries.size() > static_cast<std::size_t>(MaxListEntries))
        entries.clear();
    return entries;
}

}  // namespace

std::optional<std::string> checkListLimits(const RenameSettings& settings) {
    for (const ListField& field : kListFields) {
        if (settings.checked(field.rule) != field.usedWhen)
            continue;
        const std::size_t count = SplitOptionList(settings.text(field.option)).size();
        if (count > static_cast<std::size_t>(MaxListEntries))
            return std::string("Too many entries in ") + field.name + " (" + std::to_string(count) +
                   "), at most " + std::to_string(MaxListEntries) + " allowed !";
    }
    return std::nullopt;
}

std::string nulValueError(std::string_view key) {
    return "Invalid value for '" + std::string(key) + "': it holds a NUL byte";
}

std::optional<std::string> checkRunOptions(const RenameSettings& settings) {
    for (const OptionInfo& o : RenameSettings::all()) {
        if (o.kind == ControlKind::Edit && settings.text(o.option).find('\0') != std::string::npos)
            return nulValueError(o.key);
    }
    for (const ExtendedOptionInfo& o : allExtended()) {
        if (o.kind == ExtendedKind::Text && settings.text(o.option).find('\0') != std::string::npos)
            return nulValueError(o.key);
    }
    if (std::optional<std::string> refusal = checkListLimits(settings))
        return refusal;
    return checkRuleTexts(settings);
}

std::optional<std::string> ParseOptionLists(RenameSettings& settings, ParsedLists& lists) {
    std::optional<std::string> refusal = checkListLimits(settings);
    lists.FilterMasks = splitWithinLimit(settings.text(Option::Edit3));
    settings.setText(Option::Edit1, normaliseStartDirectory(settings.text(Option::Edit1)));
    lists.KillStrings = splitWithinLimit(settings.text(Option::Edit5));
    const std::vector<std::string> from = splitWithinLimit(settings.text(Option::Edit9));
    const std::vector<std::string> to = splitWithinLimit(settings.text(Option::Edit10));
    lists.ConvertPairs.clear();
    lists.ConvertPairs.reserve(to.size());
    for (std::size_t i = 0; i < to.size(); ++i)
        lists.ConvertPairs.emplace_back(i < from.size() ? from[i] : std::string(), to[i]);

    lists.ConvertCountMismatch = settings.checked(Option::CheckBox16) && from.size() != to.size();
    // The two fields pair their characters with letters composed, whichever form they were
    // typed in.
    auto length = [&settings](Option field) {
        return composeCharacters(toCodePoints(settings.text(field))).size();
    };
    lists.ConvertCharsLengthMismatch =
        settings.checked(Option::CheckBox9) && length(Option::Edit6) != length(Option::Edit7);
    return refusal;
}

}  // namespace zr
