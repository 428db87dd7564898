// SPDX-License-Identifier: GPL-3.0-or-later
// Pattern replace: a regular expression (ICU's, Unicode-aware) and the template its matches are
// replaced by (name_template.h). The rule sees text as the other rules do, each letter composed,
// and `.` matches any character. A match that runs away (`(a+)+$` over a long name) is stopped
// after a fixed amount of work, the same on every machine, and fails that entry alone.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/name_template.h"
#include "rules/rename_settings.h"

namespace zr {

// One match to replace: [begin, end) of the text matched, by pool[textBegin, textEnd).
struct PatternReplacement {
    std::size_t begin;
    std::size_t end;
    std::size_t textBegin;
    std::size_t textEnd;
};

class PatternRule {
public:
    // The work one match may take, in ICU's steps of ten thousand operations: well beyond any
    // sane pattern over a name of 255 bytes, and a few milliseconds of a runaway one.
    static constexpr int kTimeLimit = 100;

    PatternRule();
    ~PatternRule();
    PatternRule(const PatternRule&) = delete;
    PatternRule& operator=(const PatternRule&) = delete;

    // Compiles the pattern and the replacement. The result is null, or the error to show:
    // "Invalid pattern at position 7: ..." or "Invalid replacement at position 3: ...".
    std::optional<std::string> compile(std::u32string_view pattern, std::u32string_view replacement,
                                       bool ignoreCase);

    bool usesNumber() const { return m_replacement.usesNumber(); }
    FieldSet fields() const { return m_replacement.fields(); }

    enum class Outcome : std::uint8_t { NoMatch, Matched, Failed };

    // Finds the first match in `text`, or every match with `all`, and for each appends to
    // `replacements` (in order) what replaces it, its text appended to `pool`. With Failed,
    // `reason` says why: the matching took too long, or a field had no value.
    Outcome apply(std::u32string_view text, bool all, const FieldValues& values,
                  std::vector<PatternReplacement>& replacements, std::u32string& pool,
                  const char*& reason);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    NameTemplate m_replacement;
    std::vector<std::u32string_view> m_groups;
};

// Compiles the templates of the prefix and the suffix when "fields" is on and their rule uses
// them: the error to show, or nothing.
std::optional<std::string> compilePrefixTemplate(const RenameSettings& settings,
                                                 NameTemplate& prefix);
std::optional<std::string> compileSuffixTemplate(const RenameSettings& settings,
                                                 NameTemplate& suffix);

// What refuses a run before anything is walked: a pattern or replacement of pattern replace
// that does not compile, or a prefix or suffix whose fields do not, when their rule is on.
std::optional<std::string> checkRuleTexts(const RenameSettings& settings);

// The fields a run with these options may expand: those of pattern replace's replacement, and
// of the prefix and the suffix when "fields" is on and their rule is; none when a text does not
// compile (checkRuleTexts() refuses the run); {taken} too when numbers follow the dates taken.
// Worked out once, before the walk, so that the walk reads from the disk only what the rules
// use.
FieldSet fieldsInUse(const RenameSettings& settings);

}  // namespace zr
