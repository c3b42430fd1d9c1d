dev_register "console [--vm] [COMMAND...]" "run one debug console command on the bench's card (--vm: the VM's), or open the console"
cmd_console() {
  if [ "${1:-}" = --vm ]; then
    local FXS_VM=1
    shift
  fi
  if [ "${FXS_VM:-}" = 1 ]; then
    vm_ports
    if [ $# -eq 0 ]; then
      console_interactive
      return
    fi
    console_oneshot "$*"
    return
  fi
  [ "$(id -u)" = 0 ] || die "the bench's console is reached through its namespaces and needs root"
  bench_running || die "the card is not running: start it with ./dev bench start"
  bench_alive main || die "the card (main) is not running on the bench; see ./dev bench logs, restart with ./dev bench stop && ./dev bench start"
  bench_exec nc -z 127.0.0.1 10000 2>/dev/null ||
    die "the card's debug console (port 10000) does not answer; is main still starting? see ./dev bench logs"
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
  local hist="$FXS_ROOT/out/console_history" line
  mkdir -p "$FXS_ROOT/out"
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
