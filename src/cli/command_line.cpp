// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_line.h"

#include <array>
#include <charconv>

#include "cli/console.h"

namespace zr {

namespace {

using Takes = CliFlag::Takes;

// The items of the case mode list, in their order.
constexpr std::array<std::string_view, 4> kCaseModes = {"lower", "upper", "first-upper",
                                                        "all-first-upper"};
// What the case conversion covers: the name without its extension, all of it, the extension.
constexpr std::array<std::string_view, 3> kCaseRanges = {"name", "all", "extension"};
constexpr std::array<std::string_view, 3> kFormats = {"table", "tsv", "json"};
constexpr std::array<std::string_view, 2> kScriptFormats = {"bat", "sh"};

// Every option of the window but "remember last settings" and "auto rescan on changes", which
// only the window reads, and the flags of the verbs. A flag that fills a rule's field also
// switches the rule on.
const std::array kFlags = {
    CliFlag{.name = "settings",
            .takes = Takes::File,
            .argument = "FILE",
            .help = "load a settings file (.rns) first",
            .section = "Settings (scan, go)"},
    CliFlag{.name = "save-settings",
            .takes = Takes::File,
            .argument = "FILE",
            .help = "save the resulting options to FILE (its other sections are kept)"},
    CliFlag{.name = "filter",
            .takes = Takes::Text,
            .field = Option::Edit3,
            .argument = "MASKS",
            .help = "which names to rename, separated by ';' (wildcards * ? [a-z])",
            .section = "Which entries (scan, go)",
            .showDefault = true},
    CliFlag{.name = "recursive",
            .box = Option::CheckBox1,
            .help = "process subdirectories too (default: on)"},
    CliFlag{.name = "no-recursive", .box = Option::CheckBox1, .boxState = false},
    CliFlag{.name = "dirs-only",
            .box = Option::CheckBox14,
            .help = "rename only directories, no filters applied"},
    CliFlag{.name = "no-dirs-only", .box = Option::CheckBox14, .boxState = false},
    CliFlag{.name = "exclude",
            .takes = Takes::Text,
            .extended = ExtendedOption::ExcludeMasks,
            .argument = "MASKS",
            .help = "leave out the entries whose names match these masks, and for folders all "
                    "they hold (as --filter; default: none)"},
    CliFlag{.name = "no-hidden",
            .extended = ExtendedOption::SkipHidden,
            .help = "leave out the names that start with a dot, and all that such folders hold "
                    "(default: they are renamed like any other)"},
    CliFlag{.name = "hidden", .boxState = false, .extended = ExtendedOption::SkipHidden},
    CliFlag{.name = "ignore-case", .box = Option::CheckBox11, .help = "filters ignore case"},
    CliFlag{.name = "no-ignore-case", .box = Option::CheckBox11, .boxState = false},
    CliFlag{.name = "ignore-case-ext",
            .box = Option::CheckBox12,
            .help = "filters ignore case in the extension only (default: on)"},
    CliFlag{.name = "no-ignore-case-ext", .box = Option::CheckBox12, .boxState = false},
    CliFlag{.name = "pattern",
            .takes = Takes::Text,
            .extended = ExtendedOption::Pattern,
            .turnsOn = ExtendedOption::PatternReplace,
            .argument = "REGEX",
            .help = "pattern replace, first of the rules: a regular expression; the part of a "
                    "name it matches is replaced by --replace, an entry it does not match is "
                    "left to the other rules",
            .section = "Renaming rules (scan, go), applied in this order, each off until switched "
                       "on"},
    CliFlag{.name = "no-pattern", .boxState = false, .extended = ExtendedOption::PatternReplace},
    CliFlag{.name = "replace",
            .takes = Takes::Text,
            .extended = ExtendedOption::Replacement,
            .argument = "TEXT",
            .help = "what a match becomes: $1..$9 and ${name} the pattern's groups, $0 the whole "
                    "match, $$ a dollar, {n} {n:3} the number, {parent} {ext} and the fields of "
                    "files; {{ and }} a brace (default: empty)"},
    CliFlag{.name = "pattern-range",
            .takes = Takes::Choice,
            .extended = ExtendedOption::PatternRange,
            .argument = "RANGE",
            .help = "what the pattern sees: name (without the extension), all, or extension "
                    "(default: name)"},
    CliFlag{.name = "pattern-ignore-case",
            .extended = ExtendedOption::PatternIgnoreCase,
            .help = "the pattern matches regardless of case"},
    CliFlag{.name = "no-pattern-ignore-case",
            .boxState = false,
            .extended = ExtendedOption::PatternIgnoreCase},
    CliFlag{.name = "pattern-all",
            .extended = ExtendedOption::PatternAll,
            .help = "replace every match, not only the first"},
    CliFlag{.name = "no-pattern-all", .boxState = false, .extended = ExtendedOption::PatternAll},
    CliFlag{.name = "kill-strings",
            .takes = Takes::Text,
            .box = Option::CheckBox5,
            .field = Option::Edit5,
            .argument = "LIST",
            .help = "remove these strings ('a;b'; ';;' for a ';' in one)"},
    CliFlag{.name = "no-kill-strings", .box = Option::CheckBox5, .boxState = false},
    CliFlag{.name = "kill-chars",
            .takes = Takes::Text,
            .box = Option::CheckBox10,
            .field = Option::Edit8,
            .argument = "CHARS",
            .help = "remove each of these characters"},
    CliFlag{.name = "no-kill-chars", .box = Option::CheckBox10, .boxState = false},
    CliFlag{.name = "convert-strings-from",
            .takes = Takes::Text,
            .box = Option::CheckBox16,
            .field = Option::Edit9,
            .argument = "LIST",
            .help = "replace these strings ('a;b') ...",
            .showDefault = true},
    CliFlag{.name = "convert-strings-to",
            .takes = Takes::Text,
            .box = Option::CheckBox16,
            .field = Option::Edit10,
            .argument = "LIST",
            .help = "... each by the string at the same place of this list (the two lists "
                    "must be as long)",
            .showDefault = true},
    CliFlag{.name = "convert-strings",
            .box = Option::CheckBox16,
            .help = "switch replacing strings on or off (the lists above, or their defaults)"},
    CliFlag{.name = "no-convert-strings", .box = Option::CheckBox16, .boxState = false},
    CliFlag{.name = "case",
            .takes = Takes::CaseMode,
            .box = Option::CheckBox4,
            .argument = "MODE",
            .help = "change the case: lower, upper, first-upper or all-first-upper"},
    CliFlag{.name = "no-case", .box = Option::CheckBox4, .boxState = false},
    CliFlag{.name = "case-range",
            .takes = Takes::CaseRange,
            .argument = "RANGE",
            .help = "what --case changes: name (without the extension), all, or extension "
                    "(default: all)"},
    CliFlag{.name = "convert-chars-from",
            .takes = Takes::Text,
            .box = Option::CheckBox9,
            .field = Option::Edit6,
            .argument = "CHARS",
            .help = "replace these characters ...",
            .showDefault = true},
    CliFlag{.name = "convert-chars-to",
            .takes = Takes::Text,
            .box = Option::CheckBox9,
            .field = Option::Edit7,
            .argument = "CHARS",
            .help = "... each by the character at the same place (as many characters)",
            .showDefault = true},
    CliFlag{.name = "convert-chars",
            .box = Option::CheckBox9,
            .help = "switch replacing characters on or off (the default tables above turn Czech "
                    "letters with diacritics into plain ones)"},
    CliFlag{.name = "no-convert-chars", .box = Option::CheckBox9, .boxState = false},
    CliFlag{.name = "prefix",
            .takes = Takes::Text,
            .box = Option::CheckBox2,
            .field = Option::Edit2,
            .argument = "TEXT",
            .help = "put TEXT before every name"},
    CliFlag{.name = "no-prefix", .box = Option::CheckBox2, .boxState = false},
    CliFlag{.name = "suffix",
            .takes = Takes::Text,
            .box = Option::CheckBox3,
            .field = Option::Edit4,
            .argument = "TEXT",
            .help = "put TEXT after every name, before its extension"},
    CliFlag{.name = "no-suffix", .box = Option::CheckBox3, .boxState = false},
    CliFlag{.name = "suffix-after-extension",
            .box = Option::CheckBox8,
            .help = "put the suffix after the extension instead"},
    CliFlag{.name = "no-suffix-after-extension", .box = Option::CheckBox8, .boxState = false},
    CliFlag{.name = "fields",
            .extended = ExtendedOption::Fields,
            .help = "expand fields such as {n:3} and {parent} in the prefix and the suffix "
                    "(default: they are written as they stand)",
            .section = "Numbers and unique names (scan, go)"},
    CliFlag{.name = "no-fields", .boxState = false, .extended = ExtendedOption::Fields},
    CliFlag{.name = "number-start",
            .takes = Takes::Number,
            .extended = ExtendedOption::NumberStart,
            .argument = "N",
            .help = "the first number {n} writes (default: 1)"},
    CliFlag{.name = "number-step",
            .takes = Takes::Number,
            .extended = ExtendedOption::NumberStep,
            .argument = "N",
            .help = "what each number adds to the one before (default: 1)"},
    CliFlag{.name = "number-order",
            .takes = Takes::Choice,
            .extended = ExtendedOption::NumberOrder,
            .argument = "ORDER",
            .help = "the order entries are numbered in: name (natural order, IMG_2 before "
                    "IMG_10), modified (oldest first, then by name), walk (as listed) or taken "
                    "(by the date a photo was taken, then by name; those without one last) "
                    "(default: name); only the entries renamed take numbers"},
    CliFlag{.name = "number-scope",
            .takes = Takes::Choice,
            .extended = ExtendedOption::NumberScope,
            .argument = "SCOPE",
            .help = "folder (the numbers start again in each folder) or run (they go on across "
                    "the folders) (default: folder)"},
    CliFlag{.name = "unique",
            .extended = ExtendedOption::Unique,
            .help = "give an entry whose new name is taken the first free name with a counter "
                    "before the extension: \"x.jpg\", \"x (2).jpg\", \"x (3).jpg\""},
    CliFlag{.name = "no-unique", .boxState = false, .extended = ExtendedOption::Unique},
    CliFlag{.name = "batch",
            .box = Option::CheckBox13,
            .verbs = kForGo,
            .help = "go writes a rename script and an undo script into the current directory "
                    "instead of renaming",
            .section = "Scripts (go)"},
    CliFlag{.name = "no-batch", .box = Option::CheckBox13, .boxState = false, .verbs = kForGo},
    CliFlag{.name = "script-format",
            .takes = Takes::ScriptFormat,
            .verbs = kForGo,
            .argument = "FORMAT",
            .help = "the scripts of --batch: sh (default, unless a settings file names one), "
                    "renamer.sh and renamer_undo.sh, POSIX shell scripts whose mv -n never "
                    "replaces an existing entry, or bat, renamer.bat and renamer_undo.bat as the "
                    "window writes them"},
    CliFlag{.name = "format",
            .takes = Takes::Format,
            .verbs = kForScan,
            .argument = "FORMAT",
            .help = "the rows as table, tsv or json (default: a table on a terminal, tsv "
                    "otherwise); with tsv and json the closing line goes to standard error",
            .section = "Output (scan)"},
    CliFlag{.name = "show-conflicts",
            .verbs = kForScan,
            .help = "add a sixth column to tsv rows: why go will fail to rename the entry, "
                    "empty when it will not (json rows have \"fails\" for it, a table a last "
                    "column)"},
    CliFlag{.name = "show-path",
            .verbs = kForScan,
            .help = "add a last column to the table and to tsv rows: the folder each entry lies "
                    "in (json rows have \"path\")"},
    CliFlag{.name = "journal",
            .takes = Takes::File,
            .verbs = kForGo | kForUndo,
            .argument = "FILE",
            .help = "go: keep the undo data in FILE (a new file, never overwritten) instead of "
                    "the state folder; undo: reverse the run of this journal instead of the "
                    "newest one kept in the state folder",
            .section = "Undo data (go, undo)"},
    CliFlag{.name = "list",
            .verbs = kForUndo,
            .help = "undo: list the runs kept in the state folder, newest first, and undo "
                    "nothing"},
    CliFlag{.name = "jobs",
            .takes = Takes::Number,
            .verbs = kForScan | kForGo | kForUndo,
            .argument = "N",
            .help = "keep up to N file-system calls in flight at once (default 16, at most 256); "
                    "on network shares this is many times faster, and the outcome is the same "
                    "as with --jobs 1, which makes one call after another",
            .section = "Slow file systems"},
};

int indexOf(std::span<const std::string_view> names, std::string_view value) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == value)
            return static_cast<int>(i);
    }
    return -1;
}

std::string choices(std::span<const std::string_view> names) {
    std::string text;
    for (const std::string_view name : names)
        text += (text.empty() ? "" : "|") + std::string(name);
    return text;
}

const CliFlag* findFlag(std::string_view name) {
    for (const CliFlag& flag : kFlags) {
        if (flag.name == name)
            return &flag;
    }
    return nullptr;
}

unsigned verbBit(Verb verb) {
    switch (verb) {
        case Verb::Scan:
            return kForScan;
        case Verb::Go:
            return kForGo;
        case Verb::Undo:
            return kForUndo;
        default:
            return 0;
    }
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
    if (verb == "--help" || verb == "-h" || verb.starts_with("--help=")) {
        commandLine.verb = Verb::Help;
        std::string topic = verb.starts_with("--help=") ? verb.substr(7) : "";
        if (topic.empty() && args.size() > 1)
            topic = args[1];
        if (topic == "fields") {
            commandLine.helpTopic = HelpTopic::Fields;
        } else if (!topic.empty() || args.size() > 2) {
            error = "unknown help topic '" + topic + "' (fields)";
            return false;
        }
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

        const CliFlag* flag = findFlag(name);
        if (!flag) {
            error = "unknown option '--" + name + "' (see --help)";
            return false;
        }
        if ((flag->verbs & verbBit(commandLine.verb)) == 0) {
            error = "option --" + name + " is not for " + verb;
            return false;
        }
        if (flag->takes == Takes::Nothing) {
            if (inlineValue) {
                error = "option --" + name + " takes no value";
                return false;
            }
            if (name == "show-conflicts") {
                commandLine.showConflicts = true;
                continue;
            }
            if (name == "show-path") {
                commandLine.showPath = true;
                continue;
            }
            if (name == "list") {
                commandLine.listRuns = true;
                continue;
            }
            commandLine.ruleFlags.push_back({flag, {}, 0});
            continue;
        }
        std::string value;
        if (!takeValue(value))
            return false;
        const std::span<const std::string_view> allowed = flagChoices(*flag);
        const int index = indexOf(allowed, value);
        if (!allowed.empty() && index < 0) {
            error = "--" + name + " takes " + choices(allowed) + ", not '" + value + "'";
            return false;
        }
        switch (flag->takes) {
            case Takes::File: {
                std::optional<std::string>& slot = name == "settings" ? commandLine.settingsFile
                                                   : name == "save-settings"
                                                       ? commandLine.saveSettingsFile
                                                       : commandLine.journalFile;
                if (!setOnce(slot, name, value, error))
                    return false;
                break;
            }
            case Takes::Format: {
                constexpr std::array<OutputFormat, 3> byIndex = {
                    OutputFormat::Table, OutputFormat::Tsv, OutputFormat::Json};
                commandLine.format = byIndex[static_cast<std::size_t>(index)];
                break;
            }
            case Takes::ScriptFormat:
                commandLine.scriptFormat = index == 0 ? ScriptFormat::Bat : ScriptFormat::Sh;
                break;
            case Takes::Text:
                commandLine.ruleFlags.push_back({flag, value, 0});
                break;
            case Takes::Number: {
                int number = 0;
                const auto [end, ec] =
                    std::from_chars(value.data(), value.data() + value.size(), number);
                const bool whole = ec == std::errc{} && end == value.data() + value.size();
                if (flag->extended) {
                    if (!whole || !isValidExtendedValue(*flag->extended, number)) {
                        error = "--" + name + " takes " + extendedValueRange(*flag->extended) +
                                ", not '" + value + "'";
                        return false;
                    }
                    commandLine.ruleFlags.push_back({flag, {}, number});
                    break;
                }
                if (!whole || number < 1 || number > 256) {
                    error = "--" + name + " takes a number from 1 to 256, not '" + value + "'";
                    return false;
                }
                commandLine.jobs = number;
                break;
            }
            default:
                commandLine.ruleFlags.push_back({flag, {}, index});
                break;
        }
    }
    if (commandLine.listRuns && commandLine.journalFile) {
        error = "undo --list lists the runs of the state folder; it takes no --journal";
        return false;
    }
    return true;
}

void applyRuleFlags(std::span<const FlagUse> flags, RenameSettings& settings) {
    for (const FlagUse& use : flags) {
        const CliFlag& flag = *use.flag;
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
        if (flag.turnsOn)
            settings.setChecked(*flag.turnsOn, true);
        if (!flag.extended)
            continue;
        if (flag.takes == Takes::Text)
            settings.setText(*flag.extended, use.text);
        else if (flag.takes == Takes::Number || flag.takes == Takes::Choice)
            settings.setValue(*flag.extended, use.index);
        else
            settings.setChecked(*flag.extended, flag.boxState);
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

std::span<const CliFlag> cliFlags() {
    return kFlags;
}

std::span<const std::string_view> flagChoices(const CliFlag& flag) {
    switch (flag.takes) {
        case Takes::CaseMode:
            return kCaseModes;
        case Takes::CaseRange:
            return kCaseRanges;
        case Takes::Format:
            return kFormats;
        case Takes::ScriptFormat:
            return kScriptFormats;
        case Takes::Choice:
            return extendedInfo(*flag.extended).choices;
        default:
            return {};
    }
}

namespace {

// The column where the descriptions of options start, and the width of a line.
constexpr std::size_t kHelpColumn = 29;
constexpr std::size_t kHelpWidth = 79;

// `text` broken into lines of at most kHelpWidth at blanks, the first line going on from
// `line` (which may already hold the option), the others indented to `indent`.
void appendWrapped(std::string& out, std::string line, std::string_view text, std::size_t indent) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(' ', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view word = text.substr(pos, end - pos);
        const bool lineHasWords = line.size() > indent && line.back() != ' ';
        if (lineHasWords && line.size() + 1 + word.size() > kHelpWidth) {
            out += line + "\n";
            line.assign(indent, ' ');
        } else if (lineHasWords) {
            line += ' ';
        }
        line += word;
        pos = end + 1;
    }
    out += line + "\n";
}

// "--name=ARG" and, for the flags that share its line, ", --other".
std::string optionColumn(std::span<const CliFlag> flags, std::size_t& i) {
    std::string column;
    do {
        const CliFlag& flag = flags[i];
        column += (column.empty() ? "      --" : ", --") + std::string(flag.name);
        if (!flag.argument.empty())
            column += "=" + std::string(flag.argument);
        ++i;
    } while (i < flags.size() && flags[i].help.empty());
    return column;
}

}  // namespace

std::string helpText() {
    const std::string program = kProgramName;
    std::string out = "Usage: " + program + " scan [OPTION]... START_DIR\n" + "  or:  " + program +
                      " go [OPTION]... START_DIR\n" + "  or:  " + program +
                      " undo [--journal=FILE | --list]\n" + "  or:  " + program +
                      " --help | --version\n";
    out +=
        "Rename many files and directories below START_DIR at once: preview the new names\n"
        "(scan), rename (go), and reverse a run (undo).\n\n";
    out +=
        "Commands:\n"
        "  scan    show what every name would become, rename nothing\n"
        "  go      rename, or write a rename script and an undo script instead\n"
        "  undo    reverse the newest go run not undone yet, or the run of a journal\n\n";
    appendWrapped(out, "",
                  "The options start from the window's defaults, then the settings file of "
                  "--settings is loaded, then the other options are applied in the order "
                  "given. START_DIR replaces the start directory of the settings file; without "
                  "a settings file it must be given. A value follows its option after '=' or "
                  "as the next argument. An option that gives a rule its text also switches the "
                  "rule on; its --no-... form switches the rule off.",
                  0);

    RenameSettings defaults;
    defaults.restoreDefaults();
    const std::span<const CliFlag> flags = cliFlags();
    for (std::size_t i = 0; i < flags.size();) {
        if (!flags[i].section.empty())
            out += "\n" + std::string(flags[i].section) + ":\n";
        std::string help(flags[i].help);
        if (flags[i].showDefault && flags[i].field)
            help += " (default: '" + defaults.text(*flags[i].field) + "')";
        std::string column = optionColumn(flags, i);
        if (column.size() + 2 > kHelpColumn) {
            out += column + "\n";
            column.clear();
        }
        column.resize(kHelpColumn, ' ');
        appendWrapped(out, column, help, kHelpColumn);
    }
    out +=
        "\nOther options:\n"
        "  -h, --help                 display this help and exit\n"
        "      --help fields          list the fields a name can hold, with examples\n"
        "      --version              output version information and exit\n\n"
        "Exit status:\n"
        " 0    everything was done\n"
        " 1    some renames failed (see the failure log)\n"
        " 2    an error: bad usage, options that cannot work, a filter mask, a start\n"
        "      directory, a settings file, or a script, log or journal that cannot be\n"
        "      written (nothing renamed after it)\n"
        " 3    the renames were carried out, but a step after them did not work (the\n"
        "      journal, standard output; a warning says which)\n"
        " 130  stopped by Ctrl-C (go: in its walk with nothing renamed, among its renames\n"
        "      after those under way)\n\n";
    out += "Zentarel Renamer home page: <" ZR_HOMEPAGE ">\n";
    return out;
}

namespace {

struct FieldHelp {
    std::string_view field;
    std::string_view help;
};

const FieldHelp kEntryFields[] = {
    {"{n}", "the entry's number, in the order --number-order gives: {n:3} gives 007"},
    {"{parent}", "the name of the folder it lies in: Holiday"},
    {"{ext}", "the extension of its name as it was, dot included: .jpg"},
    {"{modified}",
     "its last modification, in this computer's time zone: {modified:%Y%m%d} gives 20260714"},
};
const FieldHelp kPhotoFields[] = {
    {"{taken}",
     "when the photo was taken (EXIF DateTimeOriginal, else CreateDate), or the movie recorded "
     "(MP4, QuickTime): {taken:%Y-%m-%d %H.%M.%S} gives 2026-07-14 09.31.02"},
    {"{camera}", "the camera's model: Canon EOS 80D"},
    {"{width}", "the picture's width in pixels, as stored: 4000"},
    {"{height}", "its height: 3000"},
};
const FieldHelp kMusicFields[] = {
    {"{artist}", "Nina Simone"},
    {"{album}", "Pastel Blues"},
    {"{title}", "Sinnerman"},
    {"{track}", "the track's number on its disc: {track:2} gives 03 (of a tag 3/12)"},
    {"{disc}", "the disc's number in its set: 1"},
    {"{year}", "the year of the recording: 1965"},
    {"{genre}", "Jazz"},
};

void appendFields(std::string& out, std::string_view title, std::span<const FieldHelp> fields) {
    out += "\n" + std::string(title) + ":\n";
    for (const FieldHelp& f : fields) {
        std::string column = "  " + std::string(f.field);
        column.resize(16, ' ');
        appendWrapped(out, column, f.help, 16);
    }
}

}  // namespace

std::string fieldsHelpText() {
    const std::string program = kProgramName;
    std::string out = "Usage: " + program + " --help fields\n\n";
    appendWrapped(out, "",
                  "Fields put what an entry, or the file it is, holds into its new name. They "
                  "are written in braces in the replacement of --pattern (--replace), and in "
                  "--prefix and --suffix when --fields is on.",
                  0);
    appendFields(out, "Fields of every entry", kEntryFields);
    appendFields(out, "Fields of a photo (JPEG, TIFF, PNG, WebP, HEIC, camera raw) or a movie",
                 kPhotoFields);
    appendFields(out, "Fields of a piece of music (MP3, FLAC, Ogg, Opus, M4A, WAV, ...)",
                 kMusicFields);
    out += "\nFormats:\n";
    for (const std::string_view line : {
             "A number takes a width from 1 to 20: zeros in front, a wider number written whole.",
             "A date takes a format; without one it is %Y-%m-%d %H.%M.%S. Conversions: %Y the "
             "year, %y its last two digits, %m the month, %d the day, %j the day of the year, %H "
             "the hour (00-23), %I the hour (01-12), %p AM or PM, %M the minute, %S the second, "
             "%a Sat, %A Saturday, %b Jun, %B June, %u the day of the week (Monday 1), %z the UTC "
             "offset (nothing when the file does not tell it), %F %Y-%m-%d, %% a %. Any other "
             "character stands for itself; a / or a control character is refused.",
             "{{ and }} are a literal { and }.",
         }) {
        appendWrapped(out, "  ", line, 2);
    }
    out += "\nFallbacks and missing values:\n";
    appendWrapped(out, "  ",
                  "{taken|modified:%Y%m%d} takes the date taken, or the modification time of "
                  "an entry that has none. An entry with a value for none of the fields of a "
                  "chain is not renamed: its row says why (no date taken, no artist), and go "
                  "leaves it as it is. So is a file that cannot be read (a link, which is never "
                  "followed, a pipe, a device, a file cut short).",
                  2);
    out += "\nTexts from tags:\n";
    appendWrapped(out, "  ",
                  "A text is used as the file holds it, made fit for a name: a / becomes -, "
                  "control and invisible characters are dropped, blanks and dots are trimmed at "
                  "both ends, and it is kept valid UTF-8 (a byte that is not UTF-8 is read as "
                  "Windows-1252). The rules after the pattern (remove, replace, case) then apply "
                  "to it as to any name.",
                  2);
    out += "\nExamples:\n";
    out += "  " + program +
           " scan --pattern='.+' --replace='{taken}' --unique Photos\n"
           "      IMG_0042.jpg to 2026-07-14 09.31.02.jpg, and another photo of that\n"
           "      second to 2026-07-14 09.31.02 (2).jpg\n"
           "  " +
           program +
           " go --pattern='.+' \\\n"
           "      --replace='{artist} - {album} - {track:2} {title}' Music\n"
           "      track03.mp3 to Nina Simone - Pastel Blues - 03 Sinnerman.mp3\n"
           "  " +
           program + " scan --fields --prefix='{taken|modified:%Y%m%d} ' Scans\n";
    return out;
}

std::string versionText(std::string_view programName) {
    return std::string(programName) + " (Zentarel Renamer) " ZR_VERSION "\nWritten by Vornik.\n";
}

}  // namespace zr
