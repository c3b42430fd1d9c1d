# ./dev inject: post a hand-made driver or port-status message to the
# running bench card's "/queueToMain".

ctrl_in_bench() {
  if declare -F bench_exec >/dev/null; then
    bench_exec "$@"
  elif [ "${FXS_IN_NS:-}" = 1 ]; then
    "$@"
  else
    die "no bench to talk to: start the bench first (./dev bench start)"
  fi
}

dev_register "inject KIND ARGS (help: list kinds)" \
  "post message 29 or a driver message to the bench card (./dev inject help)"
cmd_inject() {
  local bin; bin="$(build_dir native "")/bin/sim_inject"
  [ -x "$bin" ] || configure_and_build native "" sim_inject
  if [ "${1:-help}" = help ]; then
    "$bin" 2>&1 | sed 1d
    return 0
  fi
  ctrl_in_bench "$bin" "$@"
}
