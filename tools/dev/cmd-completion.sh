# ./dev completion: a bash completion script for ./dev, made from the tables
# ./dev and icscctl work from: the subcommands with the words of their
# usage lines (dev_register), and the object, column and common record names
# of the card's descriptions (icscctl names).

dev_register completion "tests and checks" "" \
  "bash completion for ./dev and ./dev icsc, to load with source" \
  "Completes the subcommands and their options and, for ./dev icsc, the
commands, the object names, the column names and numbers of the chosen
object, the common object names and their records, and the --format values.
Load it into the running shell (or put the line into ~/.bashrc):
  source <(./dev completion)
It is made from this tree's tables: load it again after they change."

# completion_words NAME: the options and literal words of a subcommand's
# usage line ("[--arch armhf] [-R REGEX] | --vm" -> --arch armhf -R --vm).
completion_words() {
  local w out=" " args="${DEV_ARGS[$1]}"
  for w in ${args//[][|]/ }; do
    [[ "$w" =~ ^(-[a-zA-Z]|--[a-z][a-z0-9-]*|[a-z][a-z0-9-]*)$ ]] && [[ "$out" != *" $w "* ]] &&
      out+="$w "
  done
  out="${out# }"
  echo "${out% }"
}

cmd_completion() {
  [ $# -eq 0 ] || dev_bad_usage completion "no arguments expected"
  local client; client="$(bench_bin icscctl)"
  [ -x "$client" ] || quiet_build "the ICSC client" native "" icscctl
  local names; names="$("$client" names)" || die "icscctl names failed"
  local name kind object rest
  echo "# bash completion for ./dev, made by ./dev completion from its subcommand table and"
  echo "# the card's object descriptions; load it again after they change."
  printf '_fxs_dev_subcommands=%q\n' "${DEV_NAMES[*]}"
  echo "declare -gA _fxs_dev_words=()"
  for name in "${DEV_NAMES[@]}"; do
    printf '_fxs_dev_words[%s]=%q\n' "$name" "$(completion_words "$name")"
  done
  echo "declare -gA _fxs_icsc_columns=() _fxs_icsc_records=()"
  local objects=() commons=()
  while read -r kind object rest; do
    if [ "$kind" = OBJECT ]; then
      objects+=("$object")
      printf '_fxs_icsc_columns[%s]=%q\n' "$object" "$rest"
    else
      commons+=("$object")
      printf '_fxs_icsc_records[%s]=%q\n' "$object" "$rest"
    fi
  done <<<"$names"
  printf '_fxs_icsc_objects=%q\n_fxs_icsc_commons=%q\n' "${objects[*]}" "${commons[*]}"
  cat <<'EOF'
_fxs_dev_reply() { mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2"); }
_fxs_dev() {
  local cur="${COMP_WORDS[COMP_CWORD]}" sub="${COMP_WORDS[1]:-}"
  COMPREPLY=()
  if [ "$COMP_CWORD" -le 1 ] || { [ "$sub" = help ] && [ "$COMP_CWORD" -eq 2 ]; }; then
    _fxs_dev_reply "$_fxs_dev_subcommands" "$cur"
  elif [ "$sub" = icsc ]; then
    _fxs_dev_icsc "$cur"
  else
    _fxs_dev_reply "${_fxs_dev_words[$sub]:-} --help" "$cur"
  fi
}
# The words after "icsc" without its options decide what comes next.
_fxs_dev_icsc() {
  local cur="$1" prev="${COMP_WORDS[COMP_CWORD-1]}" i w words=()
  case "$prev" in
    --format) _fxs_dev_reply "text table json csv" "$cur"; return ;;
    --cells) return ;;
  esac
  if [[ "$cur" == -* ]]; then
    _fxs_dev_reply "--format --cells --vm --help" "$cur"
    return
  fi
  for ((i = 2; i < COMP_CWORD; i++)); do
    w="${COMP_WORDS[i]}"
    case "$w" in
      --format|--cells) i=$((i + 1)) ;;
      -*) ;;
      *) words+=("$w") ;;
    esac
  done
  local cmd="${words[0]:-}" n=${#words[@]}
  if [ "$n" -eq 0 ]; then
    _fxs_dev_reply "get set walk columns event objects raw" "$cur"
  elif [ "$cmd" = raw ]; then
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  elif [ "$cmd" != get ] && [ "$cmd" != set ] && [ "$cmd" != walk ] && [ "$cmd" != columns ]; then
    return
  elif [ "$n" -eq 1 ]; then
    _fxs_dev_reply "$_fxs_icsc_objects$([ "$cmd" = columns ] || echo ' common')" "$cur"
  elif [ "${words[1]}" = common ]; then
    if [ "$n" -eq 2 ]; then
      _fxs_dev_reply "$_fxs_icsc_commons" "$cur"
    elif [ "$cmd" != walk ]; then
      _fxs_dev_reply "${_fxs_icsc_records[${words[2]}]:-}" "$cur"
    fi
  elif [ "$n" -eq 2 ] && { [ "$cmd" = get ] || [ "$cmd" = set ]; }; then
    _fxs_dev_reply "${_fxs_icsc_columns[${words[1]}]:-}" "$cur"
  fi
}
complete -F _fxs_dev ./dev dev
EOF
}
