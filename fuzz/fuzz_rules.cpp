// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the list splitter, the mask compiler and matcher, and the new-name
// computation, checking what must always hold: splitting loses no character, a compiled mask
// gives the same answer twice and "*" matches everything, names round-trip through the rules'
// text handling byte for byte, and a name or mask with its letters composed behaves as the same
// with them decomposed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

#include "rules/app_error.h"
#include "rules/mask.h"
#include "rules/new_name.h"
#include "rules/option_lists.h"
#include "rules/text.h"

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

void fuzzNewName(std::string_view input) {
    const std::uint8_t flags = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]);
    if (!input.empty())
        input.remove_prefix(1);
    // The name first, then the fields, the most telling first; missing ones stay empty. An
    // empty filter field would let no name through, so it stands for "*".
    std::string name(take(input));
    RenameSettings settings;
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
    RuleState state;
    state.PreviewMode = true;
    NewNameComputer computer(settings, lists, state);
    try {
        // Both forms of the name come out as the same characters.
        const std::u32string codePoints = toCodePoints(name);
        std::u32string results[2];
        const std::u32string forms[] = {composeCharacters(codePoints), decomposedForm(codePoints)};
        for (int f = 0; f < 2; ++f) {
            const std::string form = toBytes(forms[f]);
            const std::int32_t before = state.PreviewCount;
            computer.ComputeNewName("/dir", form);
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
    check(static_cast<std::size_t>(state.JournalCount) == state.Journal.size());
    if (state.JournalCount == 1) {
        check(state.Journal[0].oldFullPath() == "/dir/" + name);
        check(state.Journal[0].oldName() == name);
    }
}

// Random bytes seldom spell an accented letter. Read through this alphabet, each byte stands
// for a piece that the accent handling cares about: letters composed and decomposed, marks
// alone, Hangul, stray bytes, the mask syntax and the field separators.
std::string spelled(std::string_view input) {
    using namespace std::string_view_literals;
    static constexpr std::string_view pieces[] = {
        "a",      "b",      "e",      "E",      "i",      "c",      "C",      "q",      "I",
        "J",      "x",      ".",      "*",      "?",      "[",      "]",      "!",      "-",
        ";",      " ",      "\0"sv,   "é",      "É",      "č",      "Č",      "ǰ",      "ệ",
        "ᾳ",      "İ",      "Å",      "\u212B", "\u0301", "\u030C", "\u0323", "\u0302", "\u0307",
        "\u0345", "\u0344", "\u0903", "\u20DD", "α",      "한",     "\u1112", "\u1161", "\u11AB",
        "\xFF",   "\xE9",   "\xCC",   "1",      "_",      "क"};
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
    switch (data[0] % 5) {
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
        default:
            // The first byte holds the options, as it is.
            if (!input.empty())
                fuzzNewName(std::string(1, input[0]) + spelled(input.substr(1)));
            break;
    }
    return 0;
}
