#include "cli/command_line.h"

#include <array>

namespace zr {

struct RuleFlag {
    enum class Takes { Nothing, Text, CaseMode, CaseRange };

    std::string_view name;
    Takes takes;
    // The check box the flag sets, and to what.
    std::optional<Option> box;
    bool boxState = true;
    // The field a text flag fills.
    std::optional<Option> field;
};

namespace {

using Takes = RuleFlag::Takes;

// Every option of the window but "remember last settings" and "auto rescan on changes", which
// only the window reads. A flag that fills a rule's field also switches the rule on.
const std::array kRuleFlags = {
    RuleFlag{"filter", Takes::Text, std::nullopt, true, Option::Edit3},
    RuleFlag{"recursive", Takes::Nothing, Option::CheckBox1, true, std::nullopt},
    RuleFlag{"no-recursive", Takes::Nothing, Option::CheckBox1, false, std::nullopt},
    RuleFlag{"dirs-only", Takes::Nothing, Option::CheckBox14, true, std::nullopt},
    RuleFlag{"no-dirs-only", Takes::Nothing, Option::CheckBox14, false, std::nullopt},
    RuleFlag{"ignore-case", Takes::Nothing, Option::CheckBox11, true, std::nullopt},
    RuleFlag{"no-ignore-case", Takes::Nothing, Option::CheckBox11, false, std::nullopt},
    RuleFlag{"ignore-case-ext", Takes::Nothing, Option::CheckBox12, true, std::nullopt},
    RuleFlag{"no-ignore-case-ext", Takes::Nothing, Option::CheckBox12, false, std::nullopt},
    RuleFlag{"kill-strings", Takes::Text, Option::CheckBox5, true, Option::Edit5},
    RuleFlag{"no-kill-strings", Takes::Nothing, Option::CheckBox5, false, std::nullopt},
    RuleFlag{"kill-chars", Takes::Text, Option::CheckBox10, true, Option::Edit8},
    RuleFlag{"no-kill-chars", Takes::Nothing, Option::CheckBox10, false, std::nullopt},
    RuleFlag{"convert-strings", Takes::Nothing, Option::CheckBox16, true, std::nullopt},
    RuleFlag{"convert-strings-from", Takes::Text, Option::CheckBox16, true, Option::Edit9},
    RuleFlag{"convert-strings-to", Takes::Text, Option::CheckBox16, true, Option::Edit10},
    RuleFlag{"no-convert-strings", Takes::Nothing, Option::CheckBox16, false, std::nullopt},
    RuleFlag{"convert-chars", Takes::Nothing, Option::CheckBox9, true, std::nullopt},
    RuleFlag{"convert-chars-from", Takes::Text, Option::CheckBox9, true, Option::Edit6},
    RuleFlag{"convert-chars-to", Takes::Text, Option::CheckBox9, true, Option::Edit7},
    RuleFlag{"no-convert-chars", Takes::Nothing, Option::CheckBox9, false, std::nullopt},
    RuleFlag{"case", Takes::CaseMode, Option::CheckBox4, true, std::nullopt},
    RuleFlag{"no-case", Takes::Nothing, Option::CheckBox4, false, std::nullopt},
    RuleFlag{"case-range", Takes::CaseRange, std::nullopt, true, std::nullopt},
    RuleFlag{"prefix", Takes::Text, Option::CheckBox2, true, Option::Edit2},
    RuleFlag{"no-prefix", Takes::Nothing, Option::CheckBox2, false, std::nullopt},
    RuleFlag{"suffix", Takes::Text, Option::CheckBox3, true, Option::Edit4},
    RuleFlag{"no-suffix", Takes::Nothing, Option::CheckBox3, false, std::nullopt},
    RuleFlag{"suffix-after-extension", Takes::Nothing, Option::CheckBox8, true, std::nullopt},
    RuleFlag{"no-suffix-after-extension", Takes::Nothing, Option::CheckBox8, false, std::nullopt},
    RuleFlag{"batch", Takes::Nothing, Option::CheckBox13, true, std::nullopt},
    RuleFlag{"no-batch", Takes::Nothing, Option::CheckBox13, false, std::nullopt},
};

// The items of the case mode list, in their order.
constexpr std::array<std::string_view, 4> kCaseModes = {"lower", "upper", "first-upper",
                                                        "all-first-upper"};
// What the case conversion covers: the name without its extension, all of it, the extension.
constexpr std::array<std::string_view, 3> kCaseRanges = {"name", "all", "extension"};

template <std::size_t N>
int indexOf(const std::array<std::string_view, N>& names, std::string_view value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == value)
            return static_cast<int>(i);
    }
    return -1;
}

template <std::size_t N>
std::string choices(const std::array<std::string_view, N>& names) {
    std::string text;
    for (const std::string_view name : names)
        text += (text.empty() ? "" : "|") + std::string(name);
    return text;
}

const RuleFlag* findRuleFlag(std::string_view name) {
    for (const RuleFlag& flag : kRuleFlags) {
        if (flag.name == name)
            return &flag;
    }
    return nullptr;
}

bool setOnce(std::optional<std::string>& slot, std::string_view flag, std::string value,
             std::string& error) {
    if (slot) {
        error = "option --" + std::string(flag) + " given twice";
        return false;
    }
    if (value.empty()) {
        error = "option --" + std::string(flag) + " needs a file name";
        return false;
    }
    slot = std::move(value);
    return true;
}

}  // namespace

bool parseCommandLine(std::span<const std::string> args, CommandLine& commandLine,
                      std::string& error) {
    commandLine = CommandLine{};
    if (args.empty()) {
        error = "no command given (scan, go or undo; see --help)";
        return false;
    }
    const std::string& verb = args[0];
    if (verb == "--help" || verb == "-h") {
        commandLine.verb = Verb::Help;
        return true;
    }
    if (verb == "--version") {
        commandLine.verb = Verb::Version;
        return true;
    }
    if (verb == "scan") {
        commandLine.verb = Verb::Scan;
    } else if (verb == "go") {
        commandLine.verb = Verb::Go;
    } else if (verb == "undo") {
        commandLine.verb = Verb::Undo;
    } else {
        error = "unknown command '" + verb + "' (scan, go or undo; see --help)";
        return false;
    }
    const bool undo = commandLine.verb == Verb::Undo;

    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            if (undo) {
                error = "undo takes no start directory: '" + arg + "'";
                return false;
            }
            if (commandLine.startDirectory) {
                error = "more than one start directory: '" + arg + "'";
                return false;
            }
            commandLine.startDirectory = arg;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            commandLine.verb = Verb::Help;
            return true;
        }
        if (!arg.starts_with("--")) {
            error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
        const std::size_t equals = arg.find('=');
        const std::string name =
            arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        std::optional<std::string> inlineValue;
        if (equals != std::string::npos)
            inlineValue = arg.substr(equals + 1);
        auto takeValue = [&](std::string& value) {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "option --" + name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };

        const RuleFlag* flag = findRuleFlag(name);
        const bool known = flag || name == "settings" || name == "save-settings" ||
                           name == "format" || name == "journal";
        if (!known) {
            error = "unknown option '--" + name + "' (see --help)";
            return false;
        }
        const bool allowed =
            undo ? name == "journal" : name != "journal" || commandLine.verb == Verb::Go;
        if (!allowed || (name == "format" && commandLine.verb != Verb::Scan)) {
            error = "option --" + name + " is not for " + verb;
            return false;
        }
        if (flag && flag->takes == Takes::Nothing) {
            if (inlineValue) {
                error = "option --" + name + " takes no value";
                return false;
            }
            commandLine.ruleFlags.push_back({flag, {}, 0});
            continue;
        }
        std::string value;
        if (!takeValue(value))
            return false;
        if (name == "settings") {
            if (!setOnce(commandLine.settingsFile, name, value, error))
                return false;
        } else if (name == "save-settings") {
            if (!setOnce(commandLine.saveSettingsFile, name, value, error))
                return false;
        } else if (name == "journal") {
            if (!setOnce(commandLine.journalFile, name, value, error))
                return false;
        } else if (name == "format") {
            constexpr std::array<std::string_view, 3> formats = {"table", "tsv", "json"};
            const int index = indexOf(formats, value);
            if (index < 0) {
                error = "--format takes " + choices(formats) + ", not '" + value + "'";
                return false;
            }
            constexpr std::array<OutputFormat, 3> byIndex = {OutputFormat::Table, OutputFormat::Tsv,
                                                             OutputFormat::Json};
            commandLine.format = byIndex[static_cast<std::size_t>(index)];
        } else if (flag->takes == Takes::Text) {
            commandLine.ruleFlags.push_back({flag, value, 0});
        } else {
            const bool mode = flag->takes == Takes::CaseMode;
            const int index = mode ? indexOf(kCaseModes, value) : indexOf(kCaseRanges, value);
            if (index < 0) {
                error = "--" + name + " takes " +
                        (mode ? choices(kCaseModes) : choices(kCaseRanges)) + ", not '" + value +
                        "'";
                return false;
            }
            commandLine.ruleFlags.push_back({flag, {}, index});
        }
    }
    if (undo && !commandLine.journalFile) {
        error = "undo needs --journal FILE";
        return false;
    }
    return true;
}

void applyRuleFlags(std::span<const FlagUse> flags, RenameSettings& settings) {
    for (const FlagUse& use : flags) {
        const RuleFlag& flag = *use.flag;
        if (flag.field)
            settings.setText(*flag.field, use.text);
        if (flag.takes == Takes::CaseMode)
            settings.setItemIndex(use.index);
        if (flag.takes == Takes::CaseRange) {
            settings.setChecked(Option::CheckBox6, use.index == 1);
            settings.setChecked(Option::CheckBox7, use.index == 2);
        }
        if (flag.box)
            settings.setChecked(*flag.box, flag.boxState);
    }
}

void keepExclusivePairs(RenameSettings& settings) {
    settings.setChangeListener([&settings](Option option) {
        auto uncheckOther = [&](Option a, Option b) {
            if (option == a && settings.checked(a))
                settings.setChecked(b, false);
            if (option == b && settings.checked(b))
                settings.setChecked(a, false);
        };
        uncheckOther(Option::CheckBox6, Option::CheckBox7);
        uncheckOther(Option::CheckBox11, Option::CheckBox12);
    });
}

std::string helpText() {
    return R"(Usage:
  zentarel-renamer-cli scan [options] START_DIR   show what would be renamed, rename nothing
  zentarel-renamer-cli go [options] START_DIR     rename (or write rename and undo scripts)
  zentarel-renamer-cli undo --journal FILE        reverse a go run from its journal
  zentarel-renamer-cli --help | --version

The options start from the window's defaults, then --settings FILE is loaded, then the flags
below are applied in the order given. START_DIR replaces the settings file's start directory;
without a settings file it must be given.

Options for scan and go:
  --settings FILE            load a settings file (.rns) first
  --save-settings FILE       save the resulting options to FILE (other sections are kept)
  --filter MASKS             which names to rename, e.g. '*.jpg;*.gif' (wildcards * ? [a-z])
  --recursive, --no-recursive            process subdirectories too (default: on)
  --dirs-only, --no-dirs-only            rename only directories, no filters applied
  --ignore-case, --no-ignore-case        filters ignore case
  --ignore-case-ext, --no-ignore-case-ext
                             filters ignore case in the extension only (default: on)
  --kill-strings LIST, --no-kill-strings remove strings ('a;b'; ';;' for a ';' in one)
  --kill-chars CHARS, --no-kill-chars    remove each of these characters
  --convert-strings-from LIST, --convert-strings-to LIST
                             replace each string by the one at the same place
  --convert-strings, --no-convert-strings
  --convert-chars-from CHARS, --convert-chars-to CHARS
                             replace each character by the one at the same place
  --convert-chars, --no-convert-chars    (its default tables turn Czech letters with
                             diacritics into plain ones)
  --case MODE, --no-case     lower, upper, first-upper or all-first-upper
  --case-range RANGE         name (without extension), all, or extension (default: all)
  --prefix TEXT, --no-prefix
  --suffix TEXT, --no-suffix
  --suffix-after-extension, --no-suffix-after-extension
  --batch, --no-batch        go writes renamer.bat and renamer_undo.bat instead of renaming
A flag that gives a rule its text also switches the rule on; --no-... switches it off.

scan:
  --format table|tsv|json    the rows (default: a table on a terminal, tsv otherwise); with
                             tsv and json the closing line goes to standard error
go:
  --journal FILE             also write the undo data to FILE (a new file, never overwritten)

Exit status: 0 done, 1 some renames failed, 2 an error (nothing renamed after it),
130 stopped by Ctrl-C.
)";
}

}  // namespace zr
