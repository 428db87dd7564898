// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/completions.h"

#include <span>
#include <string_view>
#include <vector>

#include "cli/command_line.h"

namespace zr {

namespace {

using Takes = CliFlag::Takes;

constexpr std::string_view kVerbHelp[] = {
    "show what every name would become, rename nothing",
    "rename, or write a rename script and an undo script instead",
    "reverse a go run from its journal",
};
constexpr std::string_view kHelpHelp = "display this help and exit";
constexpr std::string_view kVersionHelp = "output version information and exit";

constexpr unsigned kVerbBits[] = {kForScan, kForGo, kForUndo};

std::string joined(const std::vector<std::string>& words, std::string_view separator) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : std::string(separator)) + word;
    return text;
}

std::string joined(std::span<const std::string_view> words, std::string_view separator) {
    return joined(std::vector<std::string>(words.begin(), words.end()), separator);
}

// The verbs a flag is for, by name.
std::vector<std::string> verbsOf(const CliFlag& flag) {
    std::vector<std::string> verbs;
    for (std::size_t v = 0; v < kVerbNames.size(); ++v) {
        if (flag.verbs & kVerbBits[v])
            verbs.emplace_back(kVerbNames[v]);
    }
    return verbs;
}

// What a completion menu says of a flag: its line in --help, or for the flags that share the
// line of another ("--no-prefix"), that they are its opposite.
std::string description(std::size_t index) {
    const std::span<const CliFlag> flags = cliFlags();
    if (!flags[index].help.empty())
        return std::string(flags[index].help);
    std::size_t head = index;
    while (head > 0 && flags[head].help.empty())
        --head;
    const CliFlag& flag = flags[index];
    if (flag.name.starts_with("no-") && flag.name.substr(3) == flags[head].name)
        return "the opposite of --" + std::string(flags[head].name);
    return std::string(flags[head].help);
}

// `text` between single quotes for bash, zsh and POSIX shells.
std::string singleQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// `text` between single quotes for fish, where a backslash escapes a quote or a backslash.
std::string fishQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

// A description inside the brackets of an _arguments entry.
std::string zshExplanation(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '[' || c == ']' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

std::string bashCompletion() {
    const std::span<const CliFlag> flags = cliFlags();
    std::vector<std::string> choiceCases;
    std::vector<std::string> fileFlags;
    std::vector<std::string> textFlags;
    for (const CliFlag& flag : flags) {
        const std::string option = "--" + std::string(flag.name);
        const std::span<const std::string_view> choices = flagChoices(flag);
        if (!choices.empty()) {
            choiceCases.push_back("        " + option + ") mapfile -t COMPREPLY < <(compgen -W " +
                                  singleQuoted(joined(choices, " ")) + " -- \"$2\") ;;\n");
        } else if (flag.takes == Takes::File) {
            fileFlags.push_back(option);
        } else if (flag.takes == Takes::Text || flag.takes == Takes::Number) {
            textFlags.push_back(option);
        }
    }
    std::string verbCases;
    for (std::size_t v = 0; v < kVerbNames.size(); ++v) {
        std::vector<std::string> options;
        for (const CliFlag& flag : flags) {
            if (flag.verbs & kVerbBits[v])
                options.push_back("--" + std::string(flag.name));
        }
        options.emplace_back("--help");
        verbCases += "            " + std::string(kVerbNames[v]) +
                     ") words=" + singleQuoted(joined(options, " ")) + " ;;\n";
    }
    std::vector<std::string> directoryVerbs;
    for (std::size_t v = 0; v < kVerbNames.size(); ++v) {
        if (kVerbBits[v] != kForUndo)
            directoryVerbs.emplace_back(kVerbNames[v]);
    }

    std::string out =
        "# bash completion for zentarel-renamer-cli\n"
        "# Written from the program's own table of options when it was built.\n"
        "\n"
        "# Completes the value of option $1 from the word $2; fails for an option that takes "
        "none.\n"
        "_zentarel_renamer_cli_value() {\n"
        "    case $1 in\n";
    for (const std::string& c : choiceCases)
        out += c;
    out +=
        "        " + joined(fileFlags, "|") +
        ")\n"
        "            compopt -o filenames 2>/dev/null\n"
        "            mapfile -t COMPREPLY < <(compgen -f -- \"$2\") ;;\n"
        "        " +
        joined(textFlags, "|") +
        ") COMPREPLY=() ;;\n"
        "        *) return 1 ;;\n"
        "    esac\n"
        "}\n"
        "\n"
        "_zentarel_renamer_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev= flag= inline= verb words i ended=\n"
        "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
        "    COMPREPLY=()\n"
        "    if ((COMP_CWORD == 1)); then\n"
        "        mapfile -t COMPREPLY < <(compgen -W " +
        singleQuoted(joined(kVerbNames, " ") + " --help --version") +
        " -- \"$cur\")\n"
        "        return 0\n"
        "    fi\n"
        "    verb=${COMP_WORDS[1]}\n"
        "    for ((i = 2; i < COMP_CWORD; i++)); do\n"
        "        [[ ${COMP_WORDS[i]} == -- ]] && ended=1\n"
        "    done\n"
        "    # A value after '=' arrives as the words \"--flag\" \"=\" \"value\" where '=' breaks\n"
        "    # words, as one word elsewhere.\n"
        "    if [[ -z $ended ]]; then\n"
        "        if [[ $cur == = ]]; then\n"
        "            flag=$prev cur=\n"
        "        elif [[ $prev == = ]] && ((COMP_CWORD > 2)); then\n"
        "            flag=${COMP_WORDS[COMP_CWORD - 2]}\n"
        "        elif [[ $cur == --*=* ]]; then\n"
        "            flag=${cur%%=*} cur=${cur#*=} inline=1\n"
        "        elif [[ $prev == --* ]]; then\n"
        "            flag=$prev\n"
        "        fi\n"
        "        if [[ -n $flag ]] && _zentarel_renamer_cli_value \"$flag\" \"$cur\"; then\n"
        "            [[ -n $inline ]] && COMPREPLY=(\"${COMPREPLY[@]/#/$flag=}\")\n"
        "            return 0\n"
        "        fi\n"
        "        if [[ $cur == -* ]]; then\n"
        "            case $verb in\n" +
        verbCases +
        "            *) return 0 ;;\n"
        "            esac\n"
        "            mapfile -t COMPREPLY < <(compgen -W \"$words\" -- \"$cur\")\n"
        "            return 0\n"
        "        fi\n"
        "    fi\n"
        "    case $verb in\n"
        "        " +
        joined(directoryVerbs, "|") +
        ")\n"
        "            compopt -o filenames 2>/dev/null\n"
        "            mapfile -t COMPREPLY < <(compgen -d -- \"$cur\") ;;\n"
        "    esac\n"
        "    return 0\n"
        "}\n"
        "\n"
        "complete -F _zentarel_renamer_cli zentarel-renamer-cli\n";
    return out;
}

std::string zshCompletion() {
    const std::span<const CliFlag> flags = cliFlags();
    std::string out =
        "#compdef zentarel-renamer-cli\n"
        "# zsh completion for zentarel-renamer-cli\n"
        "# Written from the program's own table of options when it was built.\n"
        "\n"
        "_zentarel-renamer-cli() {\n"
        "  local -a verbs options\n"
        "  if (( CURRENT == 2 )); then\n"
        "    verbs=(\n";
    for (std::size_t v = 0; v < kVerbNames.size(); ++v)
        out += "      " +
               singleQuoted(std::string(kVerbNames[v]) + ":" + std::string(kVerbHelp[v])) + "\n";
    out +=
        "    )\n"
        "    options=(" +
        singleQuoted("--help:" + std::string(kHelpHelp)) + " " +
        singleQuoted("--version:" + std::string(kVersionHelp)) +
        ")\n"
        "    _describe -t commands command verbs\n"
        "    _describe -t options option options\n"
        "    return\n"
        "  fi\n"
        "  local verb=$words[2]\n"
        "  # The options follow the verb: _arguments sees the verb as the command.\n"
        "  shift words\n"
        "  (( CURRENT-- ))\n"
        "  case $verb in\n";
    for (std::size_t v = 0; v < kVerbNames.size(); ++v) {
        out += "    " + std::string(kVerbNames[v]) + ")\n      _arguments -S \\\n";
        for (std::size_t i = 0; i < flags.size(); ++i) {
            const CliFlag& flag = flags[i];
            if ((flag.verbs & kVerbBits[v]) == 0)
                continue;
            std::string entry = "--" + std::string(flag.name);
            const std::string explanation = "[" + zshExplanation(description(i)) + "]";
            const std::string what = flag.argument.empty() ? "" : std::string(flag.argument);
            const std::span<const std::string_view> choices = flagChoices(flag);
            if (!choices.empty())
                entry += "=" + explanation + ":" + what + ":(" + joined(choices, " ") + ")";
            else if (flag.takes == Takes::File)
                entry += "=" + explanation + ":" + what + ":_files";
            else if (flag.takes == Takes::Text || flag.takes == Takes::Number)
                entry += "=" + explanation + ":" + what + ": ";
            else
                entry += explanation;
            out += "        " + singleQuoted(entry) + " \\\n";
        }
        out += "        " + singleQuoted("(- *)--help[" + std::string(kHelpHelp) + "]");
        if (kVerbBits[v] != kForUndo)
            out += " \\\n        " + singleQuoted("1:start directory:_files -/");
        out += "\n      ;;\n";
    }
    out +=
        "  esac\n"
        "}\n"
        "\n"
        "_zentarel-renamer-cli \"$@\"\n";
    return out;
}

std::string fishCompletion() {
    const std::string command = "complete -c zentarel-renamer-cli";
    std::string out =
        "# fish completion for zentarel-renamer-cli\n"
        "# Written from the program's own table of options when it was built.\n"
        "\n" +
        command + " -f\n";
    for (std::size_t v = 0; v < kVerbNames.size(); ++v)
        out += command + " -n __fish_use_subcommand -a " + std::string(kVerbNames[v]) + " -d " +
               fishQuoted(kVerbHelp[v]) + "\n";
    out += command + " -n __fish_use_subcommand -l help -d " + fishQuoted(kHelpHelp) + "\n";
    out += command + " -n __fish_use_subcommand -l version -d " + fishQuoted(kVersionHelp) + "\n";
    out += command + " -n " + fishQuoted("__fish_seen_subcommand_from " + joined(kVerbNames, " ")) +
           " -l help -d " + fishQuoted(kHelpHelp) + "\n";

    const std::span<const CliFlag> flags = cliFlags();
    for (std::size_t i = 0; i < flags.size(); ++i) {
        const CliFlag& flag = flags[i];
        std::string line = command + " -n " +
                           fishQuoted("__fish_seen_subcommand_from " + joined(verbsOf(flag), " ")) +
                           " -l " + std::string(flag.name);
        const std::span<const std::string_view> choices = flagChoices(flag);
        if (!choices.empty())
            line += " -x -a " + fishQuoted(joined(choices, " "));
        else if (flag.takes == Takes::File)
            line += " -r -F";
        else if (flag.takes == Takes::Text || flag.takes == Takes::Number)
            line += " -x";
        out += line + " -d " + fishQuoted(description(i)) + "\n";
    }
    std::vector<std::string> directoryVerbs;
    for (std::size_t v = 0; v < kVerbNames.size(); ++v) {
        if (kVerbBits[v] != kForUndo)
            directoryVerbs.emplace_back(kVerbNames[v]);
    }
    out += command + " -n " +
           fishQuoted("__fish_seen_subcommand_from " + joined(directoryVerbs, " ")) +
           " -a '(__fish_complete_directories)'\n";
    return out;
}

}  // namespace zr
