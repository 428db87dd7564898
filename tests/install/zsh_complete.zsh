# zsh -f zsh_complete.zsh FPATH_DIR LINE: the matches an interactive zsh offers when Tab is
# pressed at the end of LINE, one per line. The zsh runs in a pseudo-terminal with compsys, and
# compadd is wrapped to print what it is handed.
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "PS1='>'; fpath=($1 \$fpath); autoload -U compinit; compinit -u -D"
zpty -w z 'compadd() {
  if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return $?; fi
  local -a m; builtin compadd -A m "$@"
  (( $#m )) && print -rl -- "<<${^m[@]}>>" > /dev/tty
  builtin compadd "$@"
}'
zpty -w z "bindkey '^I' complete-word; zstyle ':completion:*' menu no"
zpty -w -n z "$2"$'\t'
sleep 1
zpty -w -n z $'\x03'
sleep 0.3
out=""
while zpty -r -t z line; do out+=$line; done
zpty -d z
# The echo of the wrapper's own text holds "${^m"; the matches are the rest.
print -r -- "$out" | grep -a -o '<<[^<>]*>>' | grep -v '\$' | sed 's/^<<//; s/>>$//; s/\\//g'
