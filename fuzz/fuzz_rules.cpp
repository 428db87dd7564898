// Feeds arbitrary bytes to the list splitter, the mask compiler and matcher, and the new-name
// computation, checking what must always hold: splitting loses no character, a compiled mask
// gives the same answer twice and "*" matches everything, and names round-trip through the
// rules' text handling byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
}

void fuzzNewName(std::string_view input) {
    const std::uint8_t flags = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]);
    if (!input.empty())
        input.remove_prefix(1);
    RenameSettings settings;
    settings.setText(Option::Edit3, std::string(take(input)));
    settings.setText(Option::Edit5, std::string(take(input)));
    settings.setText(Option::Edit8, std::string(take(input)));
    settings.setText(Option::Edit9, std::string(take(input)));
    settings.setText(Option::Edit10, std::string(take(input)));
    settings.setText(Option::Edit6, std::string(take(input)));
    settings.setText(Option::Edit7, std::string(take(input)));
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
    std::string name(input);
    std::erase(name, '/');

    ParsedLists lists;
    ParseOptionLists(settings, lists);
    RuleState state;
    state.PreviewMode = true;
    NewNameComputer computer(settings, lists, state);
    try {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            fuzzSplitter(input);
            break;
        case 1:
            fuzzMask(input);
            break;
        default:
            fuzzNewName(input);
            break;
    }
    return 0;
}
