#include "rules/new_name.h"

#include <algorithm>

#include "rules/text.h"

namespace zr {

NewNameComputer::NewNameComputer(const RenameSettings& settings, const ParsedLists& lists,
                                 RuleState& state)
    : m_settings(settings), m_lists(lists), m_state(state), m_filters(lists.FilterMasks) {
    for (const std::string& k : lists.KillStrings)
        m_killStrings.push_back(toCodePoints(k));
    for (const auto& [from, to] : lists.ConvertPairs)
        m_convertPairs.emplace_back(toCodePoints(from), toCodePoints(to));
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
    decodeUtf8(m_settings.text(Option::Edit2), m_prefix);
    decodeUtf8(m_settings.text(Option::Edit4), m_suffix);

    // Replacements chain: with "ab" -> "bc" an a becomes b and then c. The chain of each
    // character is worked out once. The second field can be shorter than the first when the
    // fields changed during the run; characters without a partner are then left alone.
    const std::u32string from = toCodePoints(m_settings.text(Option::Edit6));
    const std::u32string to = toCodePoints(m_settings.text(Option::Edit7));
    for (char32_t c = 0; c < 128; ++c)
        m_asciiCharMap[c] = c;
    m_charMap.clear();
    for (char32_t c : from) {
        char32_t result = c;
        for (std::size_t j = 0; j < from.size() && j < to.size(); ++j) {
            if (result == from[j])
                result = to[j];
        }
        if (c < 128)
            m_asciiCharMap[c] = result;
        else
            m_charMap.emplace_back(c, result);
    }
    std::sort(m_charMap.begin(), m_charMap.end());
    m_charMap.erase(std::unique(m_charMap.begin(), m_charMap.end()), m_charMap.end());
}

void NewNameComputer::applyCase(int mode) {
    if (mode < kLowerCase || mode > kAllFirstUpper)
        return;
    const std::size_t length = m_work.size();
    const std::size_t extension = extensionLength(m_work);
    std::size_t begin = 0;
    std::size_t end = length - extension;
    if (m_settings.checked(Option::CheckBox7)) {
        begin = length - extension;
        end = length;
    } else if (m_settings.checked(Option::CheckBox6)) {
        end = length;
    }
    bool wordStart = true;
    bool noLetterYet = true;
    for (std::size_t i = begin; i < end; ++i) {
        char32_t& c = m_work[i];
        switch (mode) {
            case kLowerCase:
                c = toLowerCase(c);
                break;
            case kUpperCase:
                c = toUpperCase(c);
                break;
            case kFirstUpper:
                if (isLetter(c)) {
                    c = noLetterYet ? toUpperCase(c) : toLowerCase(c);
                    wordStart = false;
                    noLetterYet = false;
                } else {
                    wordStart = true;
                }
                break;
            default:  // kAllFirstUpper
                if (isLetter(c)) {
                    if (wordStart)
                        c = toUpperCase(c);
                    wordStart = false;
                } else {
                    wordStart = true;
                }
                break;
        }
    }
}

void NewNameComputer::ComputeNewName(std::string_view directory, std::string_view name) {
    m_state.NewNameResult.clear();
    decodeUtf8(name, m_name);
    if (!m_state.DirectoryPass &&
        !m_filters.PassesFilters(m_name, m_settings.checked(Option::CheckBox11),
                                 m_settings.checked(Option::CheckBox12)))
        return;

    refreshFields();
    m_work = m_name;

    if (m_settings.checked(Option::CheckBox5)) {
        for (const std::u32string& kill : m_killStrings) {
            if (kill.empty())
                continue;
            const std::size_t at = m_work.find(kill);
            if (at != std::u32string::npos)
                m_work.erase(at, kill.size());
        }
    }

    if (m_settings.checked(Option::CheckBox10) && !m_killChars.empty()) {
        std::erase_if(m_work, [this](char32_t c) {
            return c < 128 ? m_asciiKill[c] : m_killChars.find(c) != std::u32string::npos;
        });
    }

    if (m_settings.checked(Option::CheckBox16) && !m_lists.ConvertCountMismatch) {
        for (const auto& [from, to] : m_convertPairs) {
            if (from.empty() || m_work.find(from) == std::u32string::npos)
                continue;
            // Left to right; the search goes on behind each replacement, so an inserted
            // to-string is never searched again.
            m_scratch.clear();
            std::size_t pos = 0;
            for (std::size_t at; (at = m_work.find(from, pos)) != std::u32string::npos;) {
                m_scratch.append(m_work, pos, at - pos);
                m_scratch += to;
                pos = at + from.size();
            }
            m_scratch.append(m_work, pos);
            m_work.swap(m_scratch);
        }
    }

    if (m_settings.checked(Option::CheckBox4))
        applyCase(m_settings.itemIndex());

    if (m_settings.checked(Option::CheckBox9) && !m_lists.ConvertCharsLengthMismatch) {
        for (char32_t& c : m_work) {
            if (c < 128) {
                c = m_asciiCharMap[c];
            } else if (!m_charMap.empty()) {
                auto it = std::lower_bound(m_charMap.begin(), m_charMap.end(),
                                           std::pair<char32_t, char32_t>(c, 0));
                if (it != m_charMap.end() && it->first == c)
                    c = it->second;
            }
        }
    }

    if (m_settings.checked(Option::CheckBox2))
        m_work.insert(0, m_prefix);

    if (m_settings.checked(Option::CheckBox3)) {
        if (m_settings.checked(Option::CheckBox8))
            m_work += m_suffix;
        else
            m_work.insert(m_work.size() - extensionLength(m_work), m_suffix);
    }

    if (m_work == m_name)
        return;
    encodeUtf8(m_work, m_bytes);
    // Other characters can encode to the same bytes (stray bytes put together again).
    if (m_bytes == name)
        return;
    if (m_state.PreviewMode) {
        m_state.NewNameResult = m_bytes;
        ++m_state.PreviewCount;
    } else {
        m_state.Journal.append(directory, name, m_bytes);
        ++m_state.JournalCount;
    }
}

}  // namespace zr
