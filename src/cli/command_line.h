// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of zentarel-renamer-cli: a verb, the flags that set the options (applied
// after a settings file, in the order given), a start directory and the verb's own flags.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rename/rename_scheduler.h"
#include "rename/run_flags.h"
#include "rules/rename_settings.h"

namespace zr {

enum class Verb { Scan, Go, Undo, Help, Version };

// How scan prints its rows; Automatic is a table on a terminal and tab-separated otherwise.
enum class OutputFormat { Automatic, Table, Tsv, Json };

// Which verbs take a flag.
enum VerbMask : unsigned { kForScan = 1, kForGo = 2, kForUndo = 4, kForScanAndGo = 3 };

// One flag of the command line. The parser, --help (and so the manual page) and the shell
// completions all read the same table, so none of them can list a flag the others do not know.
struct CliFlag {
    // Number: --jobs, or the value of a Number option beyond the window's 28 (`extended`);
    // Choice: one of the choices of such an option.
    enum class Takes {
        Nothing,
        Text,
        Number,
        File,
        CaseMode,
        CaseRange,
        Format,
        ScriptFormat,
        Choice
    };

    std::string_view name{};  // without the leading "--"
    Takes takes = Takes::Nothing;
    // The check box a rule flag sets, and to what.
    std::optional<Option> box{};
    bool boxState = true;
    // The field a text flag fills.
    std::optional<Option> field{};
    // An option beyond the window's 28: the text a text flag gives it, or the switch a flag
    // without a value sets to `boxState`.
    std::optional<ExtendedOption> extended{};
    // A switch that giving the flag also turns on (--pattern turns pattern replace on).
    std::optional<ExtendedOption> turnsOn{};
    unsigned verbs = kForScanAndGo;
    // What --help calls the value ("FILE"); empty when the flag takes none.
    std::string_view argument{};
    // The flag's line in --help; empty when it shares the line of the flag before it.
    std::string_view help{};
    // A heading in --help that this flag starts.
    std::string_view section{};
    // --help adds the field's default, which applies when nothing gives the field.
    bool showDefault = false;
};

// Every flag, in the order --help lists them.
std::span<const CliFlag> cliFlags();
// The values a flag takes when they are a fixed set (case modes, case ranges, formats, script
// formats); empty otherwise.
std::span<const std::string_view> flagChoices(const CliFlag& flag);
// The verbs, in the order --help lists them.
constexpr std::array<std::string_view, 3> kVerbNames = {"scan", "go", "undo"};

// One option flag as given: the flag and its value (text, or the index of a case mode or range,
// of a choice, or a number).
struct FlagUse {
    const CliFlag* flag = nullptr;
    std::string text;
    int index = 0;
};

// What --help prints: the options, or a topic of its own.
enum class HelpTopic { Options, Fields };

struct CommandLine {
    Verb verb = Verb::Help;
    HelpTopic helpTopic = HelpTopic::Options;
    std::optional<std::string> settingsFile;
    std::optional<std::string> saveSettingsFile;
    std::optional<std::string> journalFile;
    std::optional<std::string> startDirectory;
    OutputFormat format = OutputFormat::Automatic;
    // tsv rows get a sixth column: why Go will fail to rename the entry.
    bool showConflicts = false;
    // The table and tsv rows get a last column: the folder of the entry.
    bool showPath = false;
    // undo --list: the runs kept in the state folder are listed, and nothing is undone.
    bool listRuns = false;
    // --script-format, which replaces the script format of a settings file.
    std::optional<ScriptFormat> scriptFormat;
    // File-system calls kept in flight at once (--jobs); 1 does one after another.
    int jobs = kDefaultJobs;
    std::vector<FlagUse> ruleFlags;
};

// Parses the arguments after the program's name. False, with `error` set to one line naming
// what is wrong, for anything it does not understand.
bool parseCommandLine(std::span<const std::string> args, CommandLine& commandLine,
                      std::string& error);

// Applies the option flags in their order.
void applyRuleFlags(std::span<const FlagUse> flags, RenameSettings& settings);

// Keeps the window's exclusive pairs: checking "inclusive extension" unchecks "only in
// extension" and the reverse, and likewise for the two ignore-case options, as their click
// reactions do in the window.
void keepExclusivePairs(RenameSettings& settings);

// What --help prints, in the usual GNU form.
std::string helpText();
// What --help fields prints: every field a name can hold, with an example each, their formats
// and fallbacks, and how texts from tags are made fit for a name.
std::string fieldsHelpText();
// What --version prints, in the usual GNU form: "NAME (Zentarel Renamer) VERSION" first.
std::string versionText(std::string_view programName);

}  // namespace zr
