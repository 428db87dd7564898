// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/pattern_rule.h"

#include <unicode/regex.h>

#include "rules/text.h"

namespace zr {

namespace {

// ICU's reasons in words a user reads.
std::string reasonText(UErrorCode error) {
    switch (error) {
        case U_REGEX_RULE_SYNTAX:
            return "syntax error";
        case U_REGEX_BAD_ESCAPE_SEQUENCE:
            return "unknown escape after a backslash";
        case U_REGEX_PROPERTY_SYNTAX:
            return "invalid Unicode property";
        case U_REGEX_UNIMPLEMENTED:
            return "a feature that is not supported";
        case U_REGEX_MISMATCHED_PAREN:
            return "the parentheses do not match";
        case U_REGEX_NUMBER_TOO_BIG:
            return "a number that is too large";
        case U_REGEX_BAD_INTERVAL:
            return "invalid {min,max} repetition";
        case U_REGEX_MAX_LT_MIN:
            return "in {min,max}, max is less than min";
        case U_REGEX_INVALID_BACK_REF:
            return "a back reference to a group that does not exist";
        case U_REGEX_INVALID_FLAG:
            return "an unknown mode flag";
        case U_REGEX_LOOK_BEHIND_LIMIT:
            return "a look-behind must have a bounded length";
        case U_REGEX_SET_CONTAINS_STRING:
            return "a set in [] cannot hold strings";
        case U_REGEX_MISSING_CLOSE_BRACKET:
            return "a '[' without its ']'";
        case U_REGEX_INVALID_RANGE:
            return "a range in [] that runs backwards";
        case U_REGEX_OCTAL_TOO_BIG:
            return "an octal value that is too large";
        case U_REGEX_INVALID_CAPTURE_GROUP_NAME:
            return "an invalid group name";
        case U_REGEX_PATTERN_TOO_BIG:
            return "the pattern is too large";
        default:
            return u_errorName(error);
    }
}

bool isLineEnd(char32_t c) {
    return c == U'\n' || c == U'\r' || c == 0x85 || c == 0x2028;
}

// ICU reports where compiling stopped as a line and the characters read in it.
std::size_t errorPosition(std::u32string_view pattern, const UParseError& where) {
    std::size_t lineStart = 0;
    for (int line = 1; line < where.line && lineStart < pattern.size(); ++line) {
        while (lineStart < pattern.size() && !isLineEnd(pattern[lineStart]))
            ++lineStart;
        // CR LF ends one line.
        if (lineStart + 1 < pattern.size() && pattern[lineStart] == U'\r' &&
            pattern[lineStart + 1] == U'\n')
            ++lineStart;
        ++lineStart;
    }
    const std::size_t position = lineStart + static_cast<std::size_t>(std::max(where.offset, 1));
    return std::min(position, pattern.size() + 1);
}

icu::UnicodeString toUnicodeString(std::u32string_view text) {
    icu::UnicodeString out;
    for (char32_t c : text)
        out.append(static_cast<UChar32>(c));
    return out;
}

const char* matchFailure(UErrorCode error) {
    switch (error) {
        case U_REGEX_TIME_OUT:
            return "pattern took too long";
        case U_REGEX_STACK_OVERFLOW:
            return "pattern needed too much memory";
        default:
            return "pattern could not be matched";
    }
}

}  // namespace

struct PatternRule::Impl {
    std::unique_ptr<icu::RegexPattern> pattern;
    std::unique_ptr<icu::RegexMatcher> matcher;
    int groups = 0;
    std::u16string units;
    // For a text with code points beyond U+FFFF: the code point index of each unit.
    std::vector<std::uint32_t> index;
    icu::UnicodeString input;
};

PatternRule::PatternRule() : m_impl(std::make_unique<Impl>()) {}
PatternRule::~PatternRule() = default;

std::optional<std::string> PatternRule::compile(std::u32string_view pattern,
                                                std::u32string_view replacement, bool ignoreCase) {
    Impl& impl = *m_impl;
    impl.matcher.reset();
    impl.pattern.reset();
    // Errors are reported where the user typed them; the rule then works with its letters
    // composed, as it sees the names, so "e" and U+0301 in a pattern finds "é" in either form.
    const uint32_t flags = UREGEX_DOTALL | (ignoreCase ? UREGEX_CASE_INSENSITIVE : 0);
    for (const std::u32string& text : {std::u32string(pattern), composeCharacters(pattern)}) {
        UParseError where{};
        UErrorCode error = U_ZERO_ERROR;
        impl.pattern.reset(icu::RegexPattern::compile(toUnicodeString(text), flags, where, error));
        if (U_FAILURE(error)) {
            impl.pattern.reset();
            return templateErrorText("pattern",
                                     TemplateError{errorPosition(text, where), reasonText(error)});
        }
    }
    UErrorCode error = U_ZERO_ERROR;
    impl.matcher.reset(impl.pattern->matcher(error));
    if (U_SUCCESS(error))
        impl.matcher->setTimeLimit(kTimeLimit, error);
    if (U_FAILURE(error)) {
        impl.matcher.reset();
        return "Invalid pattern: " + reasonText(error);
    }
    impl.groups = impl.matcher->groupCount();

    const PatternGroups groups{impl.groups, [&impl](std::u32string_view name) {
                                   UErrorCode e = U_ZERO_ERROR;
                                   const int number =
                                       impl.pattern->groupNumberFromName(toUnicodeString(name), e);
                                   return U_SUCCESS(e) ? number : -1;
                               }};
    for (const std::u32string& text :
         {std::u32string(replacement), composeCharacters(replacement)}) {
        if (const std::optional<TemplateError> templateError =
                m_replacement.compile(text, &groups)) {
            impl.matcher.reset();
            return templateErrorText("replacement", *templateError);
        }
    }
    m_groups.assign(static_cast<std::size_t>(impl.groups) + 1, {});
    return std::nullopt;
}

PatternRule::Outcome PatternRule::apply(std::u32string_view text, bool all,
                                        const FieldValues& values,
                                        std::vector<PatternReplacement>& replacements,
                                        std::u32string& pool, const char*& reason) {
    Impl& impl = *m_impl;
    if (!impl.matcher)
        return Outcome::NoMatch;
    // In UTF-16 for ICU. A stray byte's code point is a lone low surrogate, and no code point
    // of a name is a high one, so each stays a unit of its own.
    impl.units.clear();
    impl.index.clear();
    bool wide = false;
    for (char32_t c : text) {
        if (c > 0xFFFF) {
            wide = true;
            break;
        }
    }
    if (wide) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char32_t c = text[i];
            if (c > 0xFFFF) {
                impl.units += static_cast<char16_t>(0xD7C0 + (c >> 10));
                impl.units += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
                impl.index.push_back(static_cast<std::uint32_t>(i));
            } else {
                impl.units += static_cast<char16_t>(c);
            }
            impl.index.push_back(static_cast<std::uint32_t>(i));
        }
        impl.index.push_back(static_cast<std::uint32_t>(text.size()));
    } else {
        for (char32_t c : text)
            impl.units += static_cast<char16_t>(c);
    }
    impl.input.setTo(false, impl.units.data(), static_cast<int32_t>(impl.units.size()));
    auto at = [&impl, wide](int32_t unit) {
        return wide ? impl.index[static_cast<std::size_t>(unit)] : static_cast<std::size_t>(unit);
    };

    UErrorCode error = U_ZERO_ERROR;
    impl.matcher->reset(impl.input);
    Outcome outcome = Outcome::NoMatch;
    while (impl.matcher->find(error) && U_SUCCESS(error)) {
        for (int g = 0; g <= impl.groups; ++g) {
            const int32_t begin = impl.matcher->start(g, error);
            const int32_t end = impl.matcher->end(g, error);
            m_groups[static_cast<std::size_t>(g)] =
                begin < 0 ? std::u32string_view{} : text.substr(at(begin), at(end) - at(begin));
        }
        const std::size_t textBegin = pool.size();
        if (const char* missing = m_replacement.expand(values, m_groups, pool)) {
            reason = missing;
            return Outcome::Failed;
        }
        const std::size_t matchBegin = at(impl.matcher->start(error));
        replacements.push_back(PatternReplacement{matchBegin, matchBegin + m_groups[0].size(),
                                                  textBegin, pool.size()});
        outcome = Outcome::Matched;
        if (!all)
            break;
    }
    if (U_FAILURE(error)) {
        reason = matchFailure(error);
        return Outcome::Failed;
    }
    return outcome;
}

namespace {

std::optional<std::string> compileAffix(const RenameSettings& settings, Option rule, Option field,
                                        const char* what, NameTemplate& out) {
    if (!settings.checked(ExtendedOption::Fields) || !settings.checked(rule))
        return std::nullopt;
    if (const std::optional<TemplateError> error =
            out.compile(toCodePoints(settings.text(field)), nullptr))
        return templateErrorText(what, *error);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> compilePrefixTemplate(const RenameSettings& settings,
                                                 NameTemplate& prefix) {
    return compileAffix(settings, Option::CheckBox2, Option::Edit2, "prefix", prefix);
}

std::optional<std::string> compileSuffixTemplate(const RenameSettings& settings,
                                                 NameTemplate& suffix) {
    return compileAffix(settings, Option::CheckBox3, Option::Edit4, "suffix", suffix);
}

namespace {

// Compiles the texts of the rules in force as a run does, adding the fields they use to
// `fields`: the error of the first that does not compile, or nothing.
std::optional<std::string> compileRuleTexts(const RenameSettings& settings, FieldSet& fields) {
    if (settings.checked(ExtendedOption::PatternReplace)) {
        PatternRule rule;
        if (auto error = rule.compile(toCodePoints(settings.text(ExtendedOption::Pattern)),
                                      toCodePoints(settings.text(ExtendedOption::Replacement)),
                                      settings.checked(ExtendedOption::PatternIgnoreCase)))
            return error;
        fields |= rule.fields();
    }
    // A template whose rule is off is not compiled, and names no field.
    NameTemplate prefix;
    NameTemplate suffix;
    if (auto error = compilePrefixTemplate(settings, prefix))
        return error;
    if (auto error = compileSuffixTemplate(settings, suffix))
        return error;
    fields |= prefix.fields();
    fields |= suffix.fields();
    return std::nullopt;
}

}  // namespace

std::optional<std::string> checkRuleTexts(const RenameSettings& settings) {
    FieldSet fields;
    return compileRuleTexts(settings, fields);
}

FieldSet fieldsInUse(const RenameSettings& settings) {
    FieldSet fields;
    if (compileRuleTexts(settings, fields))
        return {};
    // Numbers given in the order of the dates taken need every numbered entry's date.
    if (fields.contains(Field::Number) &&
        settings.choice<NumberOrder>(ExtendedOption::NumberOrder) == NumberOrder::Taken)
        fields.add(Field::Taken);
    return fields;
}

}  // namespace zr
