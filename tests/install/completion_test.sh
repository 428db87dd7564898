#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The shell completions of zentarel-renamer-cli as bash, zsh and fish use them: the verbs, the
# flags each verb takes, the choices of a flag, files for a file and directories for the start
# directory, nothing for free text. And the flags they offer are exactly those of --help.
# Usage: completion_test.sh COMPLETIONS_DIR CLI
set -u
completions=$1
cli=$2
failures=0

# A small tree to complete names in, in the test's own folder.
rm -rf sandbox && mkdir -p "sandbox/photo album" sandbox/photos && touch sandbox/trip.rns
cd sandbox || exit 1

# expect SHELL LINE EXPECTED ACTUAL: the matches, sorted, one per line.
expect() {
    local actual
    actual=$(printf '%s\n' "$4" | sed '/^$/d' | LC_ALL=C sort -u | tr '\n' ' ')
    if [[ "$actual" == "$3" ]]; then
        echo "ok    $1: '$2'"
    else
        echo "FAIL  $1: '$2'"
        echo "      expected: $3"
        echo "      got:      $actual"
        failures=$((failures + 1))
    fi
}

# Each case: the line up to the cursor (completed at its end), and the matches every shell
# offers for it.
cases=(
    "scan --ca|--case --case-range "
    "scan --case f|first-upper "
    "go --format|"
    "scan --format j|json "
    "go --script-format |bat sh "
    "undo --|--help --jobs --journal --list "
    "go --journal t|trip.rns "
    "go --prefix p|"
    "scan --no-recursive ph|photo album photos "
)

# bash: the completion function with the words as bash hands them over.
source "$completions/zentarel-renamer-cli"
bash_complete() {
    local line=$1
    read -r -a COMP_WORDS <<<"zentarel-renamer-cli $line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _zentarel_renamer_cli
    printf '%s\n' "${COMPREPLY[@]}" | sed 's:/$::'
}
for c in "${cases[@]}"; do
    line=${c%%|*}
    # bash splits "photo album" only for display; the test's word split would break it.
    expect bash "$line" "${c#*|}" "$(bash_complete "$line")"
done
expect bash "" "--help --version go scan undo " "$(bash_complete " ")"
# "=" breaks words in bash: "--case=a" arrives as "--case" "=" "a".
COMP_WORDS=(zentarel-renamer-cli scan --case = a) COMP_CWORD=4
_zentarel_renamer_cli
expect bash "scan --case=a" "all-first-upper " "$(printf '%s\n' "${COMPREPLY[@]}")"
expect bash "scan -- --" "" "$(bash_complete "scan -- --")"

# zsh: a real interactive zsh in a pseudo-terminal, completing with Tab.
zsh_driver=$(dirname "$0")/zsh_complete.zsh
for c in "${cases[@]}"; do
    line=${c%%|*}
    expect zsh "$line" "${c#*|}" \
        "$(timeout -k 5 30 zsh -f "$zsh_driver" "$completions" "zentarel-renamer-cli $line")"
done

# fish: its own query of the completions for a line.
fish_complete() {
    timeout -k 5 30 fish --no-config -c "source '$completions/zentarel-renamer-cli.fish'
complete -C '$1'" | cut -f1 | sed 's:/$::'
}
for c in "${cases[@]}"; do
    line=${c%%|*}
    expect fish "$line" "${c#*|}" "$(fish_complete "zentarel-renamer-cli $line")"
done
expect fish "" "go scan undo " "$(fish_complete "zentarel-renamer-cli ")"
expect fish "scan --case=a" "--case=all-first-upper " "$(fish_complete "zentarel-renamer-cli scan --case=a")"

# The flags the completions offer for every verb together are exactly those of --help.
offered=$(for verb in scan go undo; do bash_complete "$verb --"; done)
documented=$("$cli" --help | grep -E '^ +-' | grep -o -- '--[a-z][a-z-]*' | grep -v -- '--version' |
    LC_ALL=C sort -u | tr '\n' ' ')
expect bash "the flags of --help" "$documented" "$offered"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
