# SPDX-License-Identifier: GPL-3.0-or-later
# zsh -f zsh_complete.zsh FPATH_DIR LINE: the matches an interactive zsh offers when Tab is
# pressed at the end of LINE, one per line. The zsh runs in a pseudo-terminal with compsys, and
# compadd is wrapped to print what it is handed.
zmodload zsh/zpty
zpty z zsh -f -i
# The prompt reads "READY>"; the commands' echoes never hold that word (nor ENDMARK) whole.
zpty -w z "PS1='RE''ADY>'; fpath=($1 \$fpath); autoload -U compinit; compinit -u -D"
zpty -w z 'compadd() {
  if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return $?; fi
  local -a m; builtin compadd -A m "$@"
  (( $#m )) && print -rl -- "<<${^m[@]}>>" > /dev/tty
  builtin compadd "$@"
}'
zpty -w z "bindkey '^I' complete-word; zstyle ':completion:*' menu no; print SET''UP-DONE"
# Typed only once the line editor waits for it: the terminal would drop or mangle typeahead.
zpty -r z setup '*SETUP-DONE*READY>*'
# Tab, Ctrl-U to clear the line, then a command whose output says that all before it is done.
zpty -w -n z "$2"$'\t'$'\x15'
zpty -w z "print END''MARK"
zpty -r z out '*ENDMARK*'
zpty -d z
print -r -- "$out" | grep -a -o '<<[^<>]*>>' | sed 's/^<<//; s/>>$//; s/\\//g'
