// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/new_name.h"

#include <algorithm>
#include <unordered_map>

#include "rules/app_error.h"
#include "rules/text.h"

namespace zr {

namespace {

// One step of the case conversion for a character whose first code point is `c`; `wordStart`
// and `noLetterYet` carry from character to character.
inline char32_t convertCase(int mode, char32_t c, bool& wordStart, bool& noLetterYet) {
    switch (mode) {
        case kLowerCase:
            return toLowerCase(c);
        case kUpperCase:
            return toUpperCase(c);
        case kFirstUpper:
            if (isLetter(c)) {
                const char32_t converted = noLetterYet ? toUpperCase(c) : toLowerCase(c);
                wordStart = false;
                noLetterYet = false;
                return converted;
            }
            wordStart = true;
            return c;
        default:  // kAllFirstUpper
            if (isLetter(c)) {
                const char32_t converted = wordStart ? toUpperCase(c) : c;
                wordStart = false;
                return converted;
            }
            wordStart = true;
            return c;
    }
}

}  // namespace

NewNameComputer::NewNameComputer(const RenameSettings& settings, const ParsedLists& lists,
                                 RuleState& state)
    : m_settings(settings), m_lists(lists), m_state(state), m_filters(lists.FilterMasks) {
    for (const std::string& k : lists.KillStrings)
        m_killStrings.push_back(composeCharacters(toCodePoints(k)));
    for (const auto& [from, to] : lists.ConvertPairs) {
        std::u32string composedTo = composeCharacters(toCodePoints(to));
        const bool marks = hasCombiningMark(composedTo);
        m_convertPairs.push_back(
            ConvertPair{composeCharacters(toCodePoints(from)), std::move(composedTo), marks});
    }
}

void NewNameComputer::refreshFields() {
    if (m_revision == m_settings.revision())
        return;
    m_revision = m_settings.revision();

    decodeUtf8(m_settings.text(Option::Edit8), m_killChars);
    m_asciiKill.fill(false);
    for (char32_t c : m_killChars) {
        if (c < 128)
            m_asciiKill[c] = true;
    }
    m_killCharsHaveMarks = hasCombiningMark(m_killChars);
    decodeUtf8(m_settings.text(Option::Edit2), m_prefix);
    decodeUtf8(m_settings.text(Option::Edit4), m_suffix);

    for (char32_t c = 0; c < 128; ++c)
        m_asciiCharMap[c] = c;
    m_charMap.clear();
    // Worked out only for a run that converts characters: the fields may be long.
    if (m_settings.checked(Option::CheckBox9))
        buildCharMap();
    refreshTemplates();
}

void NewNameComputer::buildCharMap() {
    // Replacements chain: with "ab" -> "bc" an a becomes b and then c, each replacement applied
    // in turn to what the ones before it made. Taken from the last to the first, the chain is
    // one look-up per replacement: what replacement j turns from[j] into is what the ones after
    // it turn to[j] into. The second field can be shorter than the first when the fields changed
    // during the run; characters without a partner are then left alone. A letter written with
    // combining marks in a field counts as its composed form.
    const std::u32string from = composeCharacters(toCodePoints(m_settings.text(Option::Edit6)));
    const std::u32string to = composeCharacters(toCodePoints(m_settings.text(Option::Edit7)));
    std::unordered_map<char32_t, char32_t> after;  // what the replacements from j on make
    after.reserve(from.size());
    const auto through = [&after](char32_t c) {
        const auto it = after.find(c);
        return it == after.end() ? c : it->second;
    };
    for (std::size_t j = std::min(from.size(), to.size()); j-- > 0;)
        after[from[j]] = through(to[j]);
    for (const char32_t c : from) {
        const char32_t result = through(c);
        if (c < 128)
            m_asciiCharMap[c] = result;
        else
            m_charMap.emplace_back(c, result);
    }
    std::sort(m_charMap.begin(), m_charMap.end());
    m_charMap.erase(std::unique(m_charMap.begin(), m_charMap.end()), m_charMap.end());
}

void NewNameComputer::refreshTemplates() {
    m_patternOn = m_settings.checked(ExtendedOption::PatternReplace);
    const std::string& pattern = m_settings.text(ExtendedOption::Pattern);
    const std::string& replacement = m_settings.text(ExtendedOption::Replacement);
    const bool ignoreCase = m_settings.checked(ExtendedOption::PatternIgnoreCase);
    // Compiled again only when what it is made of changed.
    if (m_patternOn &&
        (!m_patternCompiled || pattern != m_compiledPattern ||
         replacement != m_compiledReplacement || ignoreCase != m_compiledIgnoreCase)) {
        m_patternError =
            m_pattern.compile(toCodePoints(pattern), toCodePoints(replacement), ignoreCase);
        m_patternCompiled = true;
        m_compiledPattern = pattern;
        m_compiledReplacement = replacement;
        m_compiledIgnoreCase = ignoreCase;
    }
    m_fieldsOn = m_settings.checked(ExtendedOption::Fields);
    m_prefixError = compilePrefixTemplate(m_settings, m_prefixTemplate);
    m_suffixError = compileSuffixTemplate(m_settings, m_suffixTemplate);
}

bool NewNameComputer::EntryFields::append(Field field, const FieldFormat& format,
                                          std::u32string& out) const {
    switch (field) {
        case Field::Number:
            appendNumber(number, format.width, out);
            numberWritten = true;
            return true;
        case Field::Parent: {
            std::string_view folder = directory;
            if (const std::size_t slash = folder.rfind('/'); slash != std::string_view::npos)
                folder.remove_prefix(slash + 1);
            out += toCodePoints(folder);
            return true;
        }
        case Field::Extension:
            out.append(name.substr(name.size() - extensionLength(name)));
            return true;
        default:
            return disk && disk->append(field, format, out);
    }
}

inline bool NewNameComputer::isKillChar(char32_t c) const {
    return c < 128 ? m_asciiKill[c] : m_killChars.find(c) != std::u32string::npos;
}

inline char32_t NewNameComputer::convertChar(char32_t c) const {
    if (c < 128)
        return m_asciiCharMap[c];
    if (m_charMap.empty())
        return c;
    auto it =
        std::lower_bound(m_charMap.begin(), m_charMap.end(), std::pair<char32_t, char32_t>(c, 0));
    return it != m_charMap.end() && it->first == c ? it->second : c;
}

void NewNameComputer::caseRange(std::u32string_view text, std::size_t& begin,
                                std::size_t& end) const {
    const std::size_t length = text.size();
    const std::size_t extension = extensionLength(text);
    begin = 0;
    end = length - extension;
    if (m_settings.checked(Option::CheckBox7)) {
        begin = length - extension;
        end = length;
    } else if (m_settings.checked(Option::CheckBox6)) {
        end = length;
    }
}

bool NewNameComputer::applyPattern(bool& characters, const char*& reason) {
    const std::u32string_view text =
        characters ? std::u32string_view(m_characters.composed()) : std::u32string_view(m_work);
    // The range as the case rule's two boxes give it, on the name as it stands.
    const std::size_t extension = extensionLength(text);
    std::size_t begin = 0;
    std::size_t end = text.size() - extension;
    switch (m_settings.choice<PatternRange>(ExtendedOption::PatternRange)) {
        case PatternRange::All:
            end = text.size();
            break;
        case PatternRange::Extension:
            begin = end;
            end = text.size();
            break;
        case PatternRange::Name:
            break;
    }
    m_replacements.clear();
    m_pool.clear();
    switch (m_pattern.apply(text.substr(begin, end - begin),
                            m_settings.checked(ExtendedOption::PatternAll), m_fields,
                            m_replacements, m_pool, reason)) {
        case PatternRule::Outcome::NoMatch:
            return true;
        case PatternRule::Outcome::Failed:
            return false;
        case PatternRule::Outcome::Matched:
            break;
    }
    if (characters) {
        replaceInCharacters(begin);
        return true;
    }
    m_scratch.assign(m_work, 0, begin);
    std::size_t done = begin;
    for (const PatternReplacement& r : m_replacements) {
        m_scratch.append(m_work, done, begin + r.begin - done);
        m_scratch.append(m_pool, r.textBegin, r.textEnd - r.textBegin);
        done = begin + r.end;
    }
    m_scratch.append(m_work, done);
    m_work.swap(m_scratch);
    // Marks can come from the replacement's text and fields, never from the groups.
    if (hasCombiningMark(m_pool)) {
        m_characters.assign(m_work);
        characters = true;
    }
    return true;
}

void NewNameComputer::replaceInCharacters(std::size_t offset) {
    // Each match becomes a replacement of whole characters: a match that begins or ends inside
    // a character (a letter with a mark that has no composed form) takes the rest of that
    // character along as it was. Replacements that touch are put together, so that between
    // two of them at least one character stays as it was and the indexes of the earlier ones
    // hold while the later ones are made, from the last to the first.
    struct Piece {
        std::size_t first;
        std::size_t last;
        std::size_t textBegin;  // in m_pieceText
        std::size_t textEnd;
    };
    std::vector<Piece> pieces;
    const std::u32string_view composed = m_characters.composed();
    std::u32string& texts = m_pieceText;
    texts.clear();
    std::size_t tail = 0;  // where the text after the last match of the open piece begins
    auto close = [&] {
        Piece& open = pieces.back();
        texts.append(composed.substr(tail, m_characters.begin(open.last) - tail));
        open.textEnd = texts.size();
    };
    for (const PatternReplacement& r : m_replacements) {
        const std::size_t begin = offset + r.begin;
        const std::size_t end = offset + r.end;
        const std::size_t first = m_characters.characterOf(begin);
        std::size_t last = m_characters.characterOf(end);
        if (m_characters.begin(last) != end)
            ++last;
        last = std::max(last, first + (begin != m_characters.begin(first) ? 1 : 0));
        if (!pieces.empty() && first <= pieces.back().last) {
            texts.append(composed.substr(tail, begin - tail));
            pieces.back().last = std::max(pieces.back().last, last);
        } else {
            if (!pieces.empty())
                close();
            pieces.push_back(Piece{first, last, texts.size(), 0});
            texts.append(
                composed.substr(m_characters.begin(first), begin - m_characters.begin(first)));
        }
        texts.append(m_pool, r.textBegin, r.textEnd - r.textBegin);
        tail = end;
    }
    close();
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it)
        m_characters.replace(
            it->first, it->last,
            std::u32string_view(texts).substr(it->textBegin, it->textEnd - it->textBegin));
}

const std::u32string* NewNameComputer::affix(const NameTemplate& expanded,
                                             const std::optional<std::string>& error,
                                             const std::u32string& plain, const char*& failure) {
    if (!m_fieldsOn)
        return &plain;
    if (error)
        throw AppError(*error);
    m_affix.clear();
    failure = expanded.expand(m_fields, {}, m_affix);
    return failure ? nullptr : &m_affix;
}

void NewNameComputer::applyCase(int mode) {
    if (mode < kLowerCase || mode > kAllFirstUpper)
        return;
    std::size_t begin = 0;
    std::size_t end = 0;
    caseRange(m_work, begin, end);
    bool wordStart = true;
    bool noLetterYet = true;
    for (std::size_t i = begin; i < end; ++i)
        m_work[i] = convertCase(mode, m_work[i], wordStart, noLetterYet);
}

void NewNameComputer::killStringsInCharacters() {
    for (const std::u32string& kill : m_killStrings) {
        std::size_t last = 0;
        const std::size_t first = m_characters.find(kill, 0, last);
        if (first != CharacterText::npos)
            m_characters.replace(first, last, {});
    }
}

void NewNameComputer::killCharsInCharacters() {
    // A letter goes when its composed form is in the field; a combining mark in the field is
    // removed from every letter that carries it, composed or not.
    for (std::size_t i = 0; i < m_characters.size();) {
        const std::u32string_view ch = m_characters[i];
        if (ch.size() == 1 && isKillChar(ch[0])) {
            i = m_characters.replace(i, i + 1, {});
            continue;
        }
        if (m_killCharsHaveMarks) {
            m_scratch.clear();
            appendDecomposed(ch, m_scratch);
            const std::size_t before = m_scratch.size();
            std::erase_if(m_scratch,
                          [this](char32_t c) { return isCombiningMark(c) && isKillChar(c); });
            if (m_scratch.size() != before) {
                // Without its marks the letter may be one the field names too.
                std::u32string composed;
                if (!m_scratch.empty())
                    appendComposed(m_scratch, composed);
                if (composed.size() == 1 && isKillChar(composed[0]))
                    composed.clear();
                i = m_characters.replace(i, i + 1, composed);
                continue;
            }
        }
        ++i;
    }
}

void NewNameComputer::convertStringInCharacters(const std::u32string& from,
                                                const std::u32string& to) {
    // Left to right; the search goes on behind each replacement.
    std::size_t last = 0;
    for (std::size_t i = 0; (i = m_characters.find(from, i, last)) != CharacterText::npos;)
        i = m_characters.replace(i, last, to);
}

void NewNameComputer::applyCaseToCharacters(int mode) {
    if (mode < kLowerCase || mode > kAllFirstUpper)
        return;
    std::size_t begin = 0;
    std::size_t end = 0;
    caseRange(m_characters.composed(), begin, end);
    // The range begins and ends at a dot or an end of the text, so between characters.
    std::size_t i = m_characters.characterAt(begin);
    const std::size_t stop = m_characters.characterAt(end);
    if (i == CharacterText::npos || stop == CharacterText::npos)
        return;
    const std::size_t behind = m_characters.size() - stop;
    bool wordStart = true;
    bool noLetterYet = true;
    while (i + behind < m_characters.size()) {
        const std::u32string_view ch = m_characters[i];
        // Marks that follow no letter belong to the character before them: they neither are
        // a letter nor start a word.
        const char32_t converted =
            isCombiningMark(ch[0]) ? ch[0] : convertCase(mode, ch[0], wordStart, noLetterYet);
        if (converted == ch[0]) {
            ++i;
            continue;
        }
        m_scratch.assign(ch);
        m_scratch[0] = converted;
        i = m_characters.replace(i, i + 1, m_scratch);
    }
}

void NewNameComputer::convertCharsInCharacters() {
    for (std::size_t i = 0; i < m_characters.size();) {
        const std::u32string_view ch = m_characters[i];
        if (ch.size() == 1) {
            const char32_t converted = convertChar(ch[0]);
            i = converted == ch[0] ? i + 1 : m_characters.replace(i, i + 1, {&converted, 1});
            continue;
        }
        m_scratch.assign(ch);
        for (char32_t& c : m_scratch)
            c = convertChar(c);
        if (m_scratch == ch)
            ++i;
        else
            i = m_characters.replace(i, i + 1, m_scratch);
    }
}

NameResult NewNameComputer::ComputeNewName(std::string_view directory, std::string_view name,
                                           const FieldValues* disk) {
    const std::int64_t number =
        m_settings.value(ExtendedOption::NumberStart) +
        m_numbersTaken * static_cast<std::int64_t>(m_settings.value(ExtendedOption::NumberStep));
    const NameResult result = compute(directory, name, number, disk);
    if (result.numberUsed)
        ++m_numbersTaken;
    return result;
}

NameResult NewNameComputer::ComputeNewName(std::string_view directory, std::string_view name,
                                           const EntryContext& entry) {
    return compute(directory, name, entry.number, entry.disk);
}

bool NewNameComputer::passesFilters(std::string_view name) {
    const bool characters = decodeUtf8(name, m_filterName) && hasCombiningMark(m_filterName);
    return m_filters.PassesFilters(m_filterName, characters, m_settings.checked(Option::CheckBox11),
                                   m_settings.checked(Option::CheckBox12));
}

NameResult NewNameComputer::PlanNewName(std::string_view directory, std::string_view name,
                                        const EntryContext& entry) {
    return compute(directory, name, entry.number, entry.disk, false);
}

void NewNameComputer::HandOver(std::string_view directory, std::string_view name,
                               std::string_view newName) {
    if (m_state.PreviewMode) {
        m_state.NewNameResult = newName;
        ++m_state.PreviewCount;
    } else {
        m_state.Journal.append(directory, name, newName);
        ++m_state.JournalCount;
    }
}

NameResult NewNameComputer::compute(std::string_view directory, std::string_view name,
                                    std::int64_t number, const FieldValues* disk, bool handOn) {
    m_state.NewNameResult.clear();
    // A name with combining marks goes through the rules as characters; one without stays on
    // the code-point path unless a rule brings marks in.
    bool characters = decodeUtf8(name, m_name) && hasCombiningMark(m_name);
    if (!m_state.DirectoryPass) {
        if (!m_filters.PassesFilters(m_name, characters, m_settings.checked(Option::CheckBox11),
                                     m_settings.checked(Option::CheckBox12)))
            return {};
        ++m_state.FilterMatchCount;
    }

    refreshFields();
    m_work = m_name;
    if (characters)
        m_characters.assign(m_work);
    m_fields.number = number;
    m_fields.directory = directory;
    m_fields.name = m_name;
    m_fields.disk = disk;
    m_fields.numberWritten = false;
    const char* failure = nullptr;
    auto failed = [&failure] { return NameResult{NameOutcome::Failed, false, failure}; };

    if (m_patternOn) {
        if (m_patternError)
            throw AppError(*m_patternError);
        if (!applyPattern(characters, failure))
            return failed();
    }

    if (m_settings.checked(Option::CheckBox5)) {
        if (characters) {
            killStringsInCharacters();
        } else {
            for (const std::u32string& kill : m_killStrings) {
                if (kill.empty())
                    continue;
                const std::size_t at = m_work.find(kill);
                if (at != std::u32string::npos)
                    m_work.erase(at, kill.size());
            }
        }
    }

    if (m_settings.checked(Option::CheckBox10) && !m_killChars.empty()) {
        // A mark in the field is also removed from precomposed letters, which only the
        // character path takes apart. Nothing below U+00C0 has a decomposition.
        if (!characters && m_killCharsHaveMarks &&
            std::any_of(m_work.begin(), m_work.end(), [](char32_t c) { return c >= 0xC0; })) {
            m_characters.assign(m_work);
            characters = true;
        }
        if (characters)
            killCharsInCharacters();
        else
            std::erase_if(m_work, [this](char32_t c) { return isKillChar(c); });
    }

    if (m_settings.checked(Option::CheckBox16) && !m_lists.ConvertCountMismatch) {
        for (const ConvertPair& pair : m_convertPairs) {
            if (pair.from.empty())
                continue;
            if (characters) {
                convertStringInCharacters(pair.from, pair.to);
                continue;
            }
            if (m_work.find(pair.from) == std::u32string::npos)
                continue;
            // Left to right; the search goes on behind each replacement, so an inserted
            // to-string is never searched again.
            m_scratch.clear();
            std::size_t pos = 0;
            for (std::size_t at; (at = m_work.find(pair.from, pos)) != std::u32string::npos;) {
                m_scratch.append(m_work, pos, at - pos);
                m_scratch += pair.to;
                pos = at + pair.from.size();
            }
            m_scratch.append(m_work, pos);
            m_work.swap(m_scratch);
            if (pair.toHasMarks) {
                m_characters.assign(m_work);
                characters = true;
            }
        }
    }

    if (m_settings.checked(Option::CheckBox4)) {
        if (characters)
            applyCaseToCharacters(m_settings.itemIndex());
        else
            applyCase(m_settings.itemIndex());
    }

    if (m_settings.checked(Option::CheckBox9) && !m_lists.ConvertCharsLengthMismatch) {
        if (characters) {
            convertCharsInCharacters();
        } else {
            for (char32_t& c : m_work)
                c = convertChar(c);
        }
    }

    if (characters)
        m_characters.write(m_work);

    if (m_settings.checked(Option::CheckBox2)) {
        const std::u32string* prefix = affix(m_prefixTemplate, m_prefixError, m_prefix, failure);
        if (!prefix)
            return failed();
        m_work.insert(0, *prefix);
    }

    if (m_settings.checked(Option::CheckBox3)) {
        const std::u32string* suffix = affix(m_suffixTemplate, m_suffixError, m_suffix, failure);
        if (!suffix)
            return failed();
        if (m_settings.checked(Option::CheckBox8))
            m_work += *suffix;
        else
            m_work.insert(m_work.size() - extensionLength(m_work), *suffix);
    }

    const bool numberUsed = m_fields.numberWritten;
    const NameResult unchanged{NameOutcome::Unchanged, numberUsed, nullptr};
    if (m_work == m_name)
        return unchanged;
    encodeUtf8(m_work, m_bytes);
    // Other characters can encode to the same bytes (stray bytes put together again).
    if (m_bytes == name)
        return unchanged;
    if (handOn)
        HandOver(directory, name, m_bytes);
    return NameResult{NameOutcome::Renamed, numberUsed, nullptr};
}

}  // namespace zr
