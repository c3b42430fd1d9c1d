dev_register console "card access" "[--vm | --slot N] [COMMAND...]" \
  "one debug console command on the card, or the console itself" \
  "With a command (quoted or as words): its output; exit status 0 when the
console ends it with #END ok, 1 otherwise (the result is printed).
Without: a prompt with line editing and history (out/console_history);
'help' lists the groups and commands, 'quit' or Ctrl-D ends.
The console is TCP port 10000 inside the bench's network namespace
(docs/console.md); --vm: the card in the VM (docs/vm.md); --slot N: the card
in slot N of ./dev chassis."
cmd_console() {
  if [ "${1:-}" = --vm ]; then
    local FXS_VM=1
    shift
  elif [ "${1:-}" = --slot ]; then
    [ $# -ge 2 ] || dev_bad_usage console "--slot needs a slot number"
    [ "$(id -u)" = 0 ] || die "the chassis's cards are reached through their namespaces and need root"
    local BENCH_DIR BENCH_SLOT_HINT
    chassis_use_slot "$2"
    shift 2
  fi
  if [ "${FXS_VM:-}" = 1 ]; then
    dev_check_only && return 0
    vm_ports
    if [ $# -eq 0 ]; then
      console_interactive
      return
    fi
    console_oneshot "$*"
    return
  fi
  [ "$(id -u)" = 0 ] || die "the bench's console is reached through its namespaces and needs root"
  bench_card_running
  bench_exec nc -z 127.0.0.1 10000 2>/dev/null ||
    die "the card's debug console (port 10000) does not answer; is main still starting? see $(bench_hint "bench logs")"
  if [ $# -eq 0 ]; then
    console_interactive
    return
  fi
  console_oneshot "$*"
}

# One command: send it, print its output without the protocol lines, and
# fail unless the console ended it with "#END ok".
console_connect() {
  if [ "${FXS_VM:-}" = 1 ]; then
    timeout 30 nc -N 127.0.0.1 "$VM_CONSOLE_PORT"
  else
    bench_exec timeout 30 nc -N 127.0.0.1 10000
  fi
}

console_oneshot() {
  printf '%s\nquit\n' "$1" | console_connect |
    awk 'NR == 1 && /^# / { next }
         /^#END / { st = $2; next }
         { print }
         END { if (st == "") { print "dev: console: no answer from the card" > "/dev/stderr"; exit 1 }
               if (st != "ok") { print "dev: console: " st > "/dev/stderr"; exit 1 } }'
}

# A prompt with line editing and history (bash's readline; rlwrap is not
# needed), one command per line; 'help' lists the groups and their commands.
console_interactive() {
  local hist="$BENCH_OUT/console_history" line
  mkdir -p "$BENCH_OUT"
  touch "$hist"
  set -o history
  HISTFILE="$hist"
  history -r "$hist"
  say "debug console of the bench's card: 'help' lists the groups and commands, 'help <group>' their usage, 'quit' or Ctrl-D ends"
  while IFS= read -r -e -p "8fxs> " line; do
    case "$line" in
      "") continue ;;
      quit|exit) break ;;
    esac
    history -s -- "$line"
    if [ "${FXS_VM:-}" = 1 ]; then
      vm_running || { say "the VM has stopped; see ./dev vm logs"; break; }
    elif ! bench_alive main; then
      say "the card (main) has stopped; see ./dev bench logs"
      break
    fi
    console_oneshot "$line" || true
  done
  history -w "$hist"
}

dev_register fdebug "card access" "WORD..." \
  "post a console command as the debug front end does (message 900)" \
  "The words go to /queueToMain as message 900; the card runs the command,
discards its output and answers on /queueToFdebug. Exit status 0 when that
answer came within 5 s. That path keeps at most 8 words and splits at every
character other than letters, digits and _ (docs/console.md)."
cmd_fdebug() {
  [ $# -gt 0 ] || dev_bad_usage fdebug "no command words"
  [ "$(id -u)" = 0 ] || die "the bench is reached through its namespaces and needs root"
  bench_card_running
  bench_exec "$(bench_tool fdebug)" "$@"
}
