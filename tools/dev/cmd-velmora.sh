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

dev_register "velmora get|set|dump|commit|reset|reboot|log ..." \
  "the bench's velmora: get NAME [I1 I2], set NAME VALUE [I1 I2], dump [FILTER], log"
cmd_velmora() {
  local sub="${1:-}"
  case "$sub" in
    get|set|dump|commit|reset|reboot|log) ;;
    *) die "usage: ./dev velmora get NAME [I1 [I2]] | set NAME VALUE [I1 [I2]] | dump [FILTER]
                    | commit | reset | reboot | log" ;;
  esac
  parse_build_opts
  local bin; bin="$(build_dir native "")/bin"
  if [ ! -x "$bin/velmctl" ] || [ ! -x "$bin/nbcat" ]; then
    configure_and_build native "" velmctl velmora nbcat
  fi
  if [ "$sub" = log ]; then
    velmora_in_bench "$bin/nbcat" /dev/vocallog
  else
    velmora_in_bench "$bin/velmctl" "$@"
  fi
}
