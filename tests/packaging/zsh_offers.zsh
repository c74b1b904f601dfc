# What zsh offers for each command line read from standard input: one output
# line per input line, the offers separated by spaces. Each line is typed into
# an interactive zsh on a pseudo-terminal, up to the cursor, then Tab; compadd
# is wrapped to record what the completion functions offer.
#   zsh -f zsh_offers.zsh FUNCTION_DIR < LINES
zmodload zsh/zpty

function_dir=$1
record=$(mktemp)
trap 'zpty -d shell 2>/dev/null; rm -f $record' EXIT

zpty shell zsh -f -i
zpty -w shell "PS1=''; fpath=(${(q)function_dir} \$fpath); autoload -Uz compinit; compinit -u -D"
# Calls that only ask for matches (-O, -A, -D) are the completion system's own.
zpty -w shell "compadd() {
  if [[ \${(j: :)@} != *-[OAD]\\ * ]]; then
    local -a matches
    builtin compadd -O matches \"\$@\"
    print -rn -- \"\$matches \" >>${(q)record}
  fi
  builtin compadd \"\$@\"
}"
# comppostfuncs is emptied after each completion: the function arms it again.
zpty -w shell "offers_recorded() { print -r -- '<done>' >>${(q)record}; comppostfuncs=(offers_recorded) }"
zpty -w shell "comppostfuncs=(offers_recorded)"

while IFS= read -r line; do
  : >|$record
  zpty -w -n shell "$line"$'\t'
  for attempt in {1..400}; do
    [[ $(<$record) == *'<done>'* ]] && break
    sleep 0.05
  done
  print -r -- ${$(<$record)%<done>}
  zpty -w -n shell $'\C-u'
done
