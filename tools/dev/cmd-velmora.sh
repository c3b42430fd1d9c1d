# ./dev velmora: read and write the running bench's velmora stand-in.
#
# Bench hooks (called by the bench frame when it starts its peers, before main):
#   velmora_bench_prepare          give the bench namespace its /dev/vocallog
#   velmora_bench_command BINDIR   the command line that starts the stand-in

velmora_bench_prepare() {
  sh "$FXS_ROOT/sim/velmora/bench-vocallog.sh"
}

velmora_bench_command() {
  echo "$1/velmora --socket /tmp/velmora.sock --config /vocal/velm.cfg --log /dev/vocallog"
}

# Runs a command where the bench's card runs: through the bench frame when it
# offers bench_exec, directly when already inside the bench's namespaces.
velmora_in_bench() {
  if declare -F bench_exec >/dev/null; then
    bench_exec "$@"
  elif [ "${FXS_IN_NS:-}" = 1 ]; then
    "$@"
  else
    die "no bench to talk to: start the bench first (./dev bench)"
  fi
}

dev_register velmora "card access" "get|set|dump|commit|reset|reboot|log ARGS" \
  "read and write the bench's velmora (engine stand-in) directly" \
  "get NAME [I1 [I2]]        a parameter (indexes default to -1: not used)
set NAME VALUE [I1 [I2]]  write a parameter
dump [FILTER]             every parameter, or those whose names contain FILTER
commit | reset | reboot   as the card's console commands of the same names
log                       what velmora's request log device holds now
Numbers as 16, 0x10 or 020. The card reads the same parameters through
its ICSC objects (docs/objects.md)."
cmd_velmora() {
  local sub="${1:-}"
  case "$sub" in
    get|set|dump|commit|reset|reboot|log) ;;
    "") dev_bad_usage velmora "no velmora command" ;;
    *) dev_bad_usage velmora "unknown velmora command '$sub'" ;;
  esac
  if [ "$sub" = log ]; then
    [ $# -eq 1 ] || dev_bad_usage velmora "log takes no arguments"
    velmora_in_bench "$(bench_tool nbcat)" /dev/vocallog
  else
    velmora_in_bench "$(bench_tool velmctl)" "$@"
  fi
}
