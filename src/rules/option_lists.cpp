#include "rules/option_lists.h"

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
    if (result.empty() || result.back() != '/')
        result.push_back('/');
    return result;
}

namespace {

// Splits `text` into `out` unless it holds too many entries; returns the refusal then.
std::optional<std::string> splitInto(std::string_view text, const char* fieldName,
                                     std::vector<std::string>& out) {
    std::vector<std::string> entries = SplitOptionList(text);
    if (entries.size() > static_cast<std::size_t>(MaxListEntries)) {
        out.clear();
        return std::string("Too many entries in ") + fieldName + " (" +
               std::to_string(entries.size()) + "), at most " + std::to_string(MaxListEntries) +
               " allowed !";
    }
    out = std::move(entries);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseOptionLists(RenameSettings& settings, ParsedLists& lists) {
    std::optional<std::string> refusal =
        splitInto(settings.text(Option::Edit3), "Filetypes", lists.FilterMasks);

    settings.setText(Option::Edit1, normaliseStartDirectory(settings.text(Option::Edit1)));

    auto keep = [&refusal](std::optional<std::string> r) {
        if (!refusal)
            refusal = std::move(r);
    };
    keep(splitInto(settings.text(Option::Edit5), "Kill string(s)", lists.KillStrings));

    std::vector<std::string> from;
    std::vector<std::string> to;
    keep(splitInto(settings.text(Option::Edit9), "Convert string(s)", from));
    keep(splitInto(settings.text(Option::Edit10), "the \"to\" field of Convert string(s)", to));
    lists.ConvertPairs.clear();
    lists.ConvertPairs.reserve(to.size());
    for (std::size_t i = 0; i < to.size(); ++i)
        lists.ConvertPairs.emplace_back(i < from.size() ? from[i] : std::string(), to[i]);

    lists.ConvertCountMismatch =
        settings.checked(Option::CheckBox16) && from.size() != to.size();
    lists.ConvertCharsLengthMismatch =
        settings.checked(Option::CheckBox9) &&
        codePointCount(settings.text(Option::Edit6)) != codePointCount(settings.text(Option::Edit7));
    return refusal;
}

}  // namespace zr
