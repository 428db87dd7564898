// The command line of zentarel-renamer-cli: a verb, the flags that set the options (applied
// after a settings file, in the order given), a start directory and the verb's own flags.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rename_settings.h"

namespace zr {

enum class Verb { Scan, Go, Undo, Help, Version };

// How scan prints its rows; Automatic is a table on a terminal and tab-separated otherwise.
enum class OutputFormat { Automatic, Table, Tsv, Json };

struct RuleFlag;

// One option flag as given: the flag and its value (text, or the index of a case mode or range).
struct FlagUse {
    const RuleFlag* flag = nullptr;
    std::string text;
    int index = 0;
};

struct CommandLine {
    Verb verb = Verb::Help;
    std::optional<std::string> settingsFile;
    std::optional<std::string> saveSettingsFile;
    std::optional<std::string> journalFile;
    std::optional<std::string> startDirectory;
    OutputFormat format = OutputFormat::Automatic;
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

std::string helpText();

}  // namespace zr
