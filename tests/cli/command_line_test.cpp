// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace zr {
namespace {

using Args = std::vector<std::string>;

CommandLine parsed(const Args& args) {
    CommandLine commandLine;
    std::string error;
    EXPECT_TRUE(parseCommandLine(args, commandLine, error)) << error;
    return commandLine;
}

std::string parseError(const Args& args) {
    CommandLine commandLine;
    std::string error;
    EXPECT_FALSE(parseCommandLine(args, commandLine, error));
    return error;
}

// The options after the defaults and the flags of `args` (a scan's).
RenameSettings applied(Args args) {
    args.insert(args.begin(), "scan");
    RenameSettings settings;
    keepExclusivePairs(settings);
    settings.restoreDefaults();
    applyRuleFlags(parsed(args).ruleFlags, settings);
    return settings;
}

TEST(CommandLine, ValuesComeInlineOrAsTheNextArgumentWhateverTheyLookLike) {
    const RenameSettings s =
        applied({"--prefix=-x=y", "--suffix", "--batch", "--kill-chars=", "--filter", ""});
    EXPECT_EQ(s.text(Option::Edit2), "-x=y");
    EXPECT_EQ(s.text(Option::Edit4), "--batch");
    EXPECT_FALSE(s.checked(Option::CheckBox13));
    EXPECT_EQ(s.text(Option::Edit8), "");
    EXPECT_TRUE(s.checked(Option::CheckBox10));
    EXPECT_EQ(s.text(Option::Edit3), "");
}

TEST(CommandLine, AFlagWithTextSwitchesItsRuleOnAndItsNoFlagSwitchesItOff) {
    struct Row {
        const char* flag;
        const char* noFlag;
        Option box;
        Option field;
    };
    for (const Row& r :
         {Row{"--kill-strings", "--no-kill-strings", Option::CheckBox5, Option::Edit5},
          Row{"--kill-chars", "--no-kill-chars", Option::CheckBox10, Option::Edit8},
          Row{"--prefix", "--no-prefix", Option::CheckBox2, Option::Edit2},
          Row{"--suffix", "--no-suffix", Option::CheckBox3, Option::Edit4},
          Row{"--convert-strings-from", "--no-convert-strings", Option::CheckBox16, Option::Edit9},
          Row{"--convert-strings-to", "--no-convert-strings", Option::CheckBox16, Option::Edit10},
          Row{"--convert-chars-from", "--no-convert-chars", Option::CheckBox9, Option::Edit6},
          Row{"--convert-chars-to", "--no-convert-chars", Option::CheckBox9, Option::Edit7}}) {
        RenameSettings on = applied({r.flag, "v;w", "x"});
        EXPECT_TRUE(on.checked(r.box)) << r.flag;
        EXPECT_EQ(on.text(r.field), "v;w") << r.flag;
        RenameSettings off = applied({r.flag, "v;w", r.noFlag, "x"});
        EXPECT_FALSE(off.checked(r.box)) << r.noFlag;
        EXPECT_EQ(off.text(r.field), "v;w") << r.noFlag;
    }
    // The convert rules can be switched on with the fields as they stand (the default tables).
    const RenameSettings chars = applied({"--convert-chars", "x"});
    EXPECT_TRUE(chars.checked(Option::CheckBox9));
    EXPECT_EQ(chars.text(Option::Edit6), kDefaultConvertFrom);
}

TEST(CommandLine, CaseModeAndRange) {
    const RenameSettings mode = applied({"--case", "all-first-upper", "x"});
    EXPECT_TRUE(mode.checked(Option::CheckBox4));
    EXPECT_EQ(mode.itemIndex(), kAllFirstUpper);
    EXPECT_FALSE(applied({"--case", "upper", "--no-case", "x"}).checked(Option::CheckBox4));

    struct Row {
        const char* range;
        bool inclusive;
        bool onlyExtension;
    };
    for (const Row& r :
         {Row{"name", false, false}, Row{"all", true, false}, Row{"extension", false, true}}) {
        const RenameSettings s =
            applied({"--case-range", "extension", "--case-range", r.range, "x"});
        EXPECT_EQ(s.checked(Option::CheckBox6), r.inclusive) << r.range;
        EXPECT_EQ(s.checked(Option::CheckBox7), r.onlyExtension) << r.range;
        EXPECT_FALSE(s.checked(Option::CheckBox4)) << "a range alone switches no case on";
    }
}

TEST(CommandLine, ExclusivePairsStayExclusiveAsInTheWindow) {
    RenameSettings s = applied({"--ignore-case", "x"});
    EXPECT_TRUE(s.checked(Option::CheckBox11));
    EXPECT_FALSE(s.checked(Option::CheckBox12));  // checked by the defaults
    s = applied({"--ignore-case", "--ignore-case-ext", "x"});
    EXPECT_FALSE(s.checked(Option::CheckBox11));
    EXPECT_TRUE(s.checked(Option::CheckBox12));

    // A settings file that checks both boxes of a pair ends with the later one, as the click
    // reactions leave it.
    RenameSettings loaded;
    keepExclusivePairs(loaded);
    loaded.restoreDefaults();
    loaded.setChecked(Option::CheckBox7, true);
    EXPECT_FALSE(loaded.checked(Option::CheckBox6));
    loaded.setChecked(Option::CheckBox6, true);
    EXPECT_FALSE(loaded.checked(Option::CheckBox7));
    loaded.setChecked(Option::CheckBox11, true);
    EXPECT_FALSE(loaded.checked(Option::CheckBox12));
}

TEST(CommandLine, VerbFlagsAndTheStartDirectory) {
    CommandLine scan = parsed(
        {"scan", "--settings", "a.rns", "--format", "json", "--save-settings=b.rns", "--", "-odd"});
    EXPECT_EQ(scan.verb, Verb::Scan);
    EXPECT_EQ(scan.settingsFile, "a.rns");
    EXPECT_EQ(scan.saveSettingsFile, "b.rns");
    EXPECT_EQ(scan.format, OutputFormat::Json);
    EXPECT_EQ(scan.startDirectory, "-odd");
    EXPECT_FALSE(scan.showConflicts);
    EXPECT_TRUE(parsed({"scan", "--show-conflicts", "d"}).showConflicts);
    EXPECT_TRUE(parsed({"scan", "--show-path", "d"}).showPath);
    EXPECT_EQ(parsed({"go", "dir", "--journal", "j"}).journalFile, "j");
    EXPECT_EQ(parsed({"go", "dir"}).startDirectory, "dir");
    EXPECT_EQ(parsed({"undo", "--journal", "j"}).verb, Verb::Undo);
    EXPECT_FALSE(parsed({"undo"}).journalFile);
    EXPECT_TRUE(parsed({"undo", "--list"}).listRuns);
    // Help is shown wherever it is asked for; "--help" as a value is a value.
    EXPECT_EQ(parsed({"go", "--prefix", "x", "--help"}).verb, Verb::Help);
    EXPECT_EQ(parsed({"go", "--prefix", "--help", "d"}).verb, Verb::Go);
}

TEST(CommandLine, ErrorsSayWhatIsWrong) {
    EXPECT_EQ(parseError({}), "no command given (scan, go or undo; see --help)");
    EXPECT_EQ(parseError({"rename"}), "unknown command 'rename' (scan, go or undo; see --help)");
    EXPECT_EQ(parseError({"scan", "--prefix"}), "option --prefix needs a value");
    EXPECT_EQ(parseError({"go", "--batch=1"}), "option --batch takes no value");
    EXPECT_EQ(parseError({"scan", "--nope"}), "unknown option '--nope' (see --help)");
    EXPECT_EQ(parseError({"scan", "--journal", "j"}), "option --journal is not for scan");
    EXPECT_EQ(parseError({"go", "--format", "tsv"}), "option --format is not for go");
    EXPECT_EQ(parseError({"go", "--show-conflicts"}), "option --show-conflicts is not for go");
    EXPECT_EQ(parseError({"undo", "--prefix", "p", "--journal", "j"}),
              "option --prefix is not for undo");
    EXPECT_EQ(parseError({"undo", "--list", "--journal", "j"}),
              "undo --list lists the runs of the state folder; it takes no --journal");
    EXPECT_EQ(parseError({"undo", "--journal", "j", "dir"}),
              "undo takes no start directory: 'dir'");
    EXPECT_EQ(parseError({"scan", "a", "b"}), "more than one start directory: 'b'");
    EXPECT_EQ(parseError({"go", "--journal", "a", "--journal=b"}), "option --journal given twice");
    EXPECT_EQ(parseError({"go", "--journal="}), "option --journal needs a file name");
    EXPECT_EQ(parseError({"scan", "--case-range", "ext"}),
              "--case-range takes name|all|extension, not 'ext'");
    EXPECT_EQ(parseError({"scan", "--number-order=date", "d"}),
              "--number-order takes name|modified|walk|taken, not 'date'");
    EXPECT_EQ(parseError({"scan", "--number-step=0", "d"}).substr(0, 19), "--number-step takes");
    EXPECT_EQ(parseError({"scan", "--number-start=1x", "d"}).substr(0, 20), "--number-start takes");
    EXPECT_EQ(parseError({"scan", "--unique=1", "d"}), "option --unique takes no value");
}

// Each new rule's flags, applied in order: the last one given wins, a --no- form switches off.
TEST(CommandLine, PatternNumberingAndUniqueFlags) {
    using E = ExtendedOption;
    struct Row {
        Args args;
        E option;
        std::int32_t value;  // a switch's 0 or 1, a number, a choice's index
    };
    for (const Row& r : {
             Row{{"--pattern", "^IMG_(\\d+)"}, E::PatternReplace, 1},
             Row{{"--pattern=x", "--no-pattern"}, E::PatternReplace, 0},
             Row{{"--replace=Holiday $1"}, E::PatternReplace, 0},
             Row{{"--pattern-range=extension"}, E::PatternRange, 2},
             Row{{"--pattern-ignore-case"}, E::PatternIgnoreCase, 1},
             Row{{"--pattern-ignore-case", "--no-pattern-ignore-case"}, E::PatternIgnoreCase, 0},
             Row{{"--pattern-all"}, E::PatternAll, 1},
             Row{{"--fields"}, E::Fields, 1},
             Row{{"--fields", "--no-fields"}, E::Fields, 0},
             Row{{"--number-start=0"}, E::NumberStart, 0},
             Row{{"--number-start", "99"}, E::NumberStart, 99},
             Row{{"--number-step=10"}, E::NumberStep, 10},
             Row{{"--number-order=modified"}, E::NumberOrder, 1},
             Row{{"--number-order=walk"}, E::NumberOrder, 2},
             Row{{"--number-scope=run"}, E::NumberScope, 1},
             Row{{"--unique"}, E::Unique, 1},
             Row{{"--unique", "--no-unique"}, E::Unique, 0},
         }) {
        Args args = r.args;
        args.push_back("d");
        EXPECT_EQ(applied(args).value(r.option), r.value) << r.args.front();
    }
    const RenameSettings texts = applied({"--pattern=^IMG_(\\d+)", "--replace", "Holiday $1", "d"});
    EXPECT_EQ(texts.text(ExtendedOption::Pattern), "^IMG_(\\d+)");
    EXPECT_EQ(texts.text(ExtendedOption::Replacement), "Holiday $1");
}

}  // namespace
}  // namespace zr

namespace zr {
namespace {

// The one table of flags drives the parser and --help: each flag is taken by exactly the verbs
// it names, and --help shows it.
TEST(CommandLine, EveryFlagOfTheTableIsTakenByItsVerbsAndListedInHelp) {
    const std::string help = helpText();
    for (const CliFlag& flag : cliFlags()) {
        const std::string option = "--" + std::string(flag.name);
        EXPECT_NE(help.find(option + (flag.argument.empty() ? "" : "=")), std::string::npos)
            << option;
        const std::span<const std::string_view> choices = flagChoices(flag);
        const std::string value = !choices.empty() ? std::string(choices.back())
                                  : flag.takes == CliFlag::Takes::Number ? "4"
                                                                         : "x";
        for (std::size_t v = 0; v < kVerbNames.size(); ++v) {
            Args args = {std::string(kVerbNames[v]), option};
            if (flag.takes != CliFlag::Takes::Nothing)
                args.push_back(value);
            if (kVerbNames[v] != "undo")
                args.push_back("dir");
            CommandLine commandLine;
            std::string error;
            const bool taken = (flag.verbs & (1u << v)) != 0;
            EXPECT_EQ(parseCommandLine(args, commandLine, error), taken) << option << " " << error;
        }
    }
}

}  // namespace
}  // namespace zr
