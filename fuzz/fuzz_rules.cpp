// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the list splitter, the mask compiler and matcher, the new-name
// computation with pattern replace and fields, the templates, the natural order and unique
// names, checking what must always hold: splitting loses no character, a compiled mask gives the
// same answer twice and "*" matches everything, names round-trip through the rules' text
// handling byte for byte, a name or mask with its letters composed behaves as the same with them
// decomposed, a pattern or template either compiles or is refused with a position inside it, a
// template of escaped text gives the text back, its fields (dates in any format included) bring
// no "/" or control character into a name, and the natural order is a total order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "rules/app_error.h"
#include "rules/mask.h"
#include "rules/name_template.h"
#include "rules/natural_order.h"
#include "rules/new_name.h"
#include "rules/option_lists.h"
#include "rules/text.h"
#include "rules/unique_name.h"

namespace {

using namespace zr;

// Splits the input into NUL-separated fields.
std::string_view take(std::string_view& input) {
    const std::size_t end = input.find('\0');
    std::string_view field = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
    return field;
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

// `text` with every character decomposed where that keeps it one character of the same
// composition (Hangul syllables and singletons such as the Angstrom sign stay as they are).
std::u32string decomposedForm(std::u32string_view text) {
    std::u32string out;
    std::u32string d;
    for (std::size_t i = 0, end = 0; i < text.size(); i = end) {
        end = characterEnd(text, i);
        const std::u32string_view c = text.substr(i, end - i);
        d.clear();
        appendDecomposed(c, d);
        const bool same = !d.empty() && characterEnd(d, 0) == d.size() &&
                          composeCharacters(d) == composeCharacters(c);
        out += same ? std::u32string_view(d) : c;
    }
    return out;
}

void fuzzSplitter(std::string_view input) {
    const std::vector<std::string> entries = SplitOptionList(input);
    // Only separators are dropped: one per entry after the first.
    std::size_t characters = 0;
    for (const std::string& e : entries)
        characters += e.size();
    check(input.empty() ? entries.empty() : characters + entries.size() - 1 == input.size());
    for (const std::string& e : entries) {
        const std::size_t semicolon = e.find_first_not_of(';');
        // A ";" may stand only at the start of an entry.
        check(semicolon == std::string::npos || e.find(';', semicolon) == std::string::npos);
    }
}

void fuzzMask(std::string_view input) {
    const std::u32string mask = toCodePoints(take(input));
    const std::u32string name = toCodePoints(input);
    check(toBytes(name) == input);
    TMask m;
    int position = 0;
    if (m.compile(mask, position)) {
        check(m.matches(name) == m.matches(name));
    } else {
        check(position >= 1 && static_cast<std::size_t>(position) <= mask.size() + 1);
    }
    TMask star;
    check(star.compile(U"*", position) && star.matches(name));

    // Any form of the mask, against any form of the name, gives the same answer or the same
    // error position.
    const std::u32string masks[] = {mask, composeCharacters(mask), decomposedForm(mask)};
    const std::u32string names[] = {name, composeCharacters(name), decomposedForm(name)};
    int answer = -2;
    for (const std::u32string& formOfMask : masks) {
        TMask form;
        int formPosition = 0;
        const bool valid = form.compile(formOfMask, formPosition);
        for (const std::u32string& formOfName : names) {
            const int result = valid ? form.matches(formOfName) : -formPosition - 10;
            check(answer == -2 || answer == result);
            answer = result;
        }
    }
}

// Whether `error` is "Invalid <what> at position N: ..." with N inside `text` or just behind it.
bool isPositionedError(std::string_view error, std::string_view text) {
    for (const char* what : {"pattern", "replacement", "prefix", "suffix"}) {
        const std::string head = std::string("Invalid ") + what + " at position ";
        if (!error.starts_with(head))
            continue;
        const std::size_t position = std::strtoul(error.data() + head.size(), nullptr, 10);
        return position >= 1 && position <= codePointCount(text) + 1;
    }
    return false;
}

void fuzzNewName(std::string_view input, bool withPattern = false) {
    const std::uint8_t flags = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]);
    if (!input.empty())
        input.remove_prefix(1);
    RenameSettings settings;
    if (withPattern) {
        // Pattern replace and fields, with the pattern, the replacement and their options first.
        const std::uint8_t more = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]);
        if (!input.empty())
            input.remove_prefix(1);
        settings.setChecked(ExtendedOption::PatternReplace, true);
        settings.setText(ExtendedOption::Pattern, std::string(take(input)));
        settings.setText(ExtendedOption::Replacement, std::string(take(input)));
        settings.setChecked(ExtendedOption::PatternIgnoreCase, more & 1);
        settings.setChecked(ExtendedOption::PatternAll, more & 2);
        settings.setValue(ExtendedOption::PatternRange, (more >> 2) % 3);
        settings.setChecked(ExtendedOption::Fields, more & 16);
    }
    // The name first, then the fields, the most telling first; missing ones stay empty. An
    // empty filter field would let no name through, so it stands for "*".
    std::string name(take(input));
    const std::string_view masks = take(input);
    settings.setText(Option::Edit3, masks.empty() ? std::string("*") : std::string(masks));
    settings.setText(Option::Edit8, std::string(take(input)));
    settings.setText(Option::Edit6, std::string(take(input)));
    settings.setText(Option::Edit7, std::string(take(input)));
    settings.setText(Option::Edit5, std::string(take(input)));
    settings.setText(Option::Edit9, std::string(take(input)));
    settings.setText(Option::Edit10, std::string(take(input)));
    settings.setText(Option::Edit2, std::string(take(input)));
    settings.setText(Option::Edit4, std::string(take(input)));
    settings.setChecked(Option::CheckBox5, flags & 1);
    settings.setChecked(Option::CheckBox10, flags & 2);
    settings.setChecked(Option::CheckBox16, flags & 4);
    settings.setChecked(Option::CheckBox4, flags & 8);
    settings.setItemIndex((flags >> 4) & 3);
    settings.setChecked(Option::CheckBox7, flags & 64);
    settings.setChecked(Option::CheckBox9, flags & 128);
    settings.setChecked(Option::CheckBox2, true);
    settings.setChecked(Option::CheckBox3, true);
    settings.setChecked(Option::CheckBox11, flags & 32);
    // A name never holds "/" (nor NUL, which the fields already exclude).
    std::erase(name, '/');

    ParsedLists lists;
    ParseOptionLists(settings, lists);
    if (const std::optional<std::string> refusal = checkRuleTexts(settings)) {
        check(isPositionedError(*refusal, settings.text(ExtendedOption::Pattern)) ||
              isPositionedError(*refusal, settings.text(ExtendedOption::Replacement)) ||
              isPositionedError(*refusal, settings.text(Option::Edit2)) ||
              isPositionedError(*refusal, settings.text(Option::Edit4)));
        return;
    }
    RuleState state;
    state.PreviewMode = true;
    NewNameComputer computer(settings, lists, state);
    try {
        // Both forms of the name, given the same number, come out as the same characters.
        const std::u32string codePoints = toCodePoints(name);
        std::u32string results[2];
        const std::u32string forms[] = {composeCharacters(codePoints), decomposedForm(codePoints)};
        for (int f = 0; f < 2; ++f) {
            const std::string form = toBytes(forms[f]);
            const std::int32_t before = state.PreviewCount;
            computer.ComputeNewName("/dir", form, EntryContext{7});
            results[f] = composeCharacters(
                toCodePoints(state.PreviewCount != before ? state.NewNameResult : form));
        }
        check(results[0] == results[1]);

        computer.ComputeNewName("/dir", name);
        // The second field may shrink during a run; nothing may be read beyond it.
        settings.setText(Option::Edit7, settings.text(Option::Edit7).substr(0, 1));
        state.PreviewMode = false;
        state.DirectoryPass = flags & 16;
        computer.ComputeNewName("/dir", name);
    } catch (const AppError& e) {
        check(std::string_view(e.what()).find("is an invalid mask at (") != std::string::npos);
        return;
    }
    // No rule ever brings a NUL byte into a name.
    for (std::size_t i = 0; i < state.Journal.size(); ++i)
        check(state.Journal[i].newName().find('\0') == std::string_view::npos);
    check(static_cast<std::size_t>(state.JournalCount) == state.Journal.size());
    if (state.JournalCount == 1) {
        check(state.Journal[0].oldFullPath() == "/dir/" + name);
        check(state.Journal[0].oldName() == name);
    }
}

// A date of any members at all, as a system that got it wrong might give one.
std::tm anyDate(std::uint64_t bits) {
    std::tm tm{};
    const auto part = [&bits](int span) {
        const int value = static_cast<int>(bits % static_cast<std::uint64_t>(span)) - span / 4;
        bits = bits / static_cast<std::uint64_t>(span) ^ (bits << 7);
        return value;
    };
    tm.tm_year = part(20000) - 1900;
    tm.tm_mon = part(16);
    tm.tm_mday = part(40);
    tm.tm_hour = part(30);
    tm.tm_min = part(70);
    tm.tm_sec = part(70);
    tm.tm_wday = part(10);
    tm.tm_yday = part(400);
    tm.tm_isdst = part(3);
    tm.tm_gmtoff = static_cast<long>(part(200000)) * 7;
    return tm;
}

// Every field has a value but those whose bit in `missing` is set; {n} always has one.
struct FuzzValues : FieldValues {
    bool append(Field field, const FieldFormat& format, std::u32string& out) const override {
        if (field != Field::Number && (missing >> static_cast<unsigned>(field) & 1))
            return false;
        switch (field) {
            case Field::Number:
            case Field::Width:
            case Field::Height:
            case Field::Track:
            case Field::Disc:
            case Field::Year:
                appendNumber(field == Field::Number ? number : number & 0xFFFFFFFF, format.width,
                             out);
                return true;
            case Field::Modified:
            case Field::Taken:
                // The template gives a date field a date format, its own or the default.
                check(!format.text.empty());
                appendDate(date, format.text, out);
                return true;
            default:
                out += U"t";
                return true;
        }
    }
    std::int64_t number = 0;
    std::uint32_t missing = 0;
    std::tm date{};
};

// Whether `text` holds a "/" or a control character, which no name can hold.
bool unfitForAName(std::u32string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char32_t c) { return c == U'/' || c < 0x20 || c == 0x7F; });
}

// The template `input`, with the values of its fields drawn from `seed`.
void fuzzTemplate(std::string_view seed, std::string_view input) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8 && i < seed.size(); ++i)
        bits = bits << 8 | static_cast<unsigned char>(seed[i]);
    FuzzValues values;
    values.number = static_cast<std::int64_t>(bits);
    values.missing = static_cast<std::uint32_t>(bits >> 17);
    values.date = anyDate(bits * 0x9E3779B97F4A7C15u);
    const std::u32string text = toCodePoints(input);
    const PatternGroups groups{3, [](std::u32string_view name) { return name == U"g" ? 2 : -1; }};
    NameTemplate compiled;
    for (const PatternGroups* g : {static_cast<const PatternGroups*>(nullptr), &groups}) {
        if (const auto error = compiled.compile(text, g)) {
            check(error->position >= 1 && error->position <= text.size() + 1);
            continue;
        }
        const std::u32string_view texts[] = {U"m", U"a", U"", U"c"};
        std::u32string out;
        // {n} always has a value.
        const char* missing = compiled.expand(values, texts, out);
        check(!missing || std::string_view(missing) != "no number");
        // No field, however its date is formatted, brings in what a name cannot hold.
        check(unfitForAName(text) || !unfitForAName(out));
    }
    // Text with every brace (and "$") doubled reads back as itself.
    std::u32string escaped;
    for (char32_t c : text) {
        escaped += c;
        if (c == U'{' || c == U'}' || c == U'$')
            escaped += c;
    }
    check(!compiled.compile(escaped, &groups));
    std::u32string out;
    check(!compiled.expand(values, {}, out) && out == text && compiled.literal());
}

void fuzzOrderAndUniqueNames(std::string_view input) {
    const std::string_view a = take(input);
    const std::string_view b = take(input);
    const std::string_view c = input;
    const int ab = compareNatural(a, b);
    check(ab == -compareNatural(b, a));
    check((ab == 0) == (a == b));
    if (ab <= 0 && compareNatural(b, c) <= 0)
        check(compareNatural(a, c) <= 0);
    // With `a` and the first few of its counters taken, the next one comes back.
    const std::size_t limit = b.empty() ? 0 : static_cast<unsigned char>(b[0]) % 5;
    std::vector<std::string> asked;
    const auto isTaken = [&](std::string_view n) {
        asked.emplace_back(n);
        return asked.size() <= limit;
    };
    const std::optional<std::string> free = uniqueName(a, isTaken);
    check(free && *free == asked.back() && asked.size() == limit + 1);
    check((*free == a) == (limit == 0));
    std::sort(asked.begin(), asked.end());
    check(std::adjacent_find(asked.begin(), asked.end()) == asked.end());
}

// Random bytes seldom spell an accented letter. Read through this alphabet, each byte stands
// for a piece that the accent handling cares about: letters composed and decomposed, marks
// alone, Hangul, stray bytes, the mask syntax and the field separators.
std::string spelled(std::string_view input) {
    using namespace std::string_view_literals;
    // clang-format off
    static constexpr std::string_view pieces[] = {
        "a",      "b",      "e",      "E",      "i",      "c",      "C",      "q",      "I",
        "J",      "x",      ".",      "*",      "?",      "[",      "]",      "!",      "-",
        ";",      " ",      "\0"sv,   "é",      "É",      "č",      "Č",      "ǰ",      "ệ",
        "ᾳ",      "İ",      "Å",      "\u212B", "\u0301", "\u030C", "\u0323", "\u0302", "\u0307",
        "\u0345", "\u0344", "\u0903", "\u20DD", "α",      "한",     "\u1112", "\u1161", "\u11AB",
        "\xFF",   "\xE9",   "\xCC",   "1",      "_",      "क",      "(",      ")",      "+",
        "$",      "{",      "}",      "{n}",    "{n:3}",  "\\",     "|",      "^",
        // the fields of files, and the letters of date formats
        "{taken", "{modified|taken", ":%Y", "%", "/", "{artist}", "{track:2}", "{camera|width",
        "Y", "m", "d", "H", "M", "S", "p", "A", "B", "u", "z", "F", "j", "n", "D"};
    // clang-format on
    std::string out;
    for (char c : input)
        out += pieces[static_cast<unsigned char>(c) % std::size(pieces)];
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 10) {
        case 0:
            fuzzSplitter(input);
            break;
        case 1:
            fuzzMask(input);
            break;
        case 2:
            fuzzNewName(input);
            break;
        case 3:
            fuzzMask(spelled(input));
            break;
        case 4:
            // The first byte holds the options, as it is.
            if (!input.empty())
                fuzzNewName(std::string(1, input[0]) + spelled(input.substr(1)));
            break;
        case 5:
            if (input.size() >= 2)
                fuzzNewName(std::string(input.substr(0, 2)) + spelled(input.substr(2)), true);
            break;
        case 6:
            fuzzNewName(input, true);
            break;
        case 7:
            fuzzTemplate(input, spelled(input));
            break;
        case 8:
            // A date format, and what follows it.
            fuzzTemplate(input, "{taken:" + spelled(input) + "}");
            break;
        default:
            fuzzOrderAndUniqueNames(input);
            break;
    }
    return 0;
}
