# shellcheck source=tools/dev/bench-lib.sh
source "$FXS_ROOT/tools/dev/bench-lib.sh"
# shellcheck source=tools/dev/bench-getlog.sh
source "$FXS_ROOT/tools/dev/bench-getlog.sh"

dev_register "bench [--ethaddr MAC] [start|stop|status|logs [-f] [NAME]|collect-logs]" "run the card with its peers (no argument: start, follow the log, stop on Ctrl-C); collect-logs has the card upload its logs over ICSC to the bench's FTP server and copies them to out/logs/"
cmd_bench() {
  [ "$(id -u)" = 0 ] || die "the bench runs in namespaces of its own and needs root"
  if [ "${1:-}" = --ethaddr ]; then
    [ -n "${2:-}" ] || die "--ethaddr needs a MAC address"
    export FXS_BENCH_ETHADDR="$2"
    shift 2
  fi
  local sub="${1:-run}"
  [ $# -gt 0 ] && shift
  case "$sub" in
    run) bench_foreground ;;
    start) bench_start ;;
    stop) bench_stop ;;
    status) bench_status ;;
    logs) bench_logs "$@" ;;
    collect-logs) bench_collect_logs ;;
    *) die "unknown bench subcommand '$sub' (start, stop, status, logs, collect-logs)" ;;
  esac
}

bench_start() {
  if bench_running; then
    die "the bench is already running (./dev bench stop first)"
  fi
  # A holder left over from a crashed run: clean up before starting anew.
  if [ -f "$BENCH_DIR/ns.pid" ]; then
    say "removing the state of an earlier bench"
    bench_stop >/dev/null 2>&1 || true
  fi
  ensure_packages util-linux iproute2 netcat-openbsd
  configure_and_build native ""
  mkdir -p "$BENCH_DIR"
  rm -f "$BENCH_DIR"/*.pid "$BENCH_DIR"/*.status "$BENCH_DIR"/*.log "$BENCH_DIR/ready"
  say "creating the bench's namespaces"
  setsid unshare --ipc --mount --net --fork --propagation private \
    bash "$FXS_ROOT/tools/dev/bench-ns.sh" "$BENCH_DIR" >"$BENCH_DIR/ns.log" 2>&1 </dev/null &
  bench_wait 10 test -s "$BENCH_DIR/ns.pid" || die "namespace setup failed: $(cat "$BENCH_DIR/ns.log")"
  touch "$BENCH_DIR/ready"

  bench_load_peers
  local step i
  for step in ${BENCH_SETUP[@]+"${BENCH_SETUP[@]}"}; do
    say "setup: $step"
    bench_exec bash -c "$step" || { bench_stop; die "bench setup step failed: $step"; }
  done
  for i in "${!BENCH_PEER_NAMES[@]}"; do
    local name="${BENCH_PEER_NAMES[$i]}" ready="${BENCH_PEER_READY[$i]}"
    say "starting peer $name: ${BENCH_PEER_CMDS[$i]}"
    eval "bench_spawn \"\$name\" ${BENCH_PEER_CMDS[$i]}"
    if [ -n "$ready" ] && ! bench_wait 10 bench_exec bash -c "$ready"; then
      bench_stop
      die "peer $name not ready ($ready); see $BENCH_DIR/$name.log"
    fi
  done
  say "starting main"
  rm -f "$BENCH_DIR/main.stop"
  BENCH_RESPAWN=1 bench_spawn main env FXS_TRACE_STDERR=1 ${BENCH_MAIN_ENV[@]+"${BENCH_MAIN_ENV[@]}"} "$(bench_bin main)"
  if ! bench_wait 15 bench_main_ready; then
    tail -n 20 "$BENCH_DIR/main.log" >&2
    bench_stop
    die "main did not come up"
  fi
  say "card running; ./dev console 'main internals', ./dev bench logs -f, ./dev bench stop"
}

bench_main_ready() {
  bench_alive main && grep -q "Card is ready" "$BENCH_DIR/main.log" &&
    bench_exec nc -z 127.0.0.1 10000
}

bench_stop() {
  local rc=0 status i pid
  if [ -f "$BENCH_DIR/main.pid" ]; then
    touch "$BENCH_DIR/main.stop"  # no restart as after a reboot
    say "stopping main (SIGTERM)"
    status="$(bench_terminate main 15)"
    say "main exited with status $status"
    [ "$status" = 0 ] || rc=1
  fi
  bench_load_peers
  for ((i = ${#BENCH_PEER_NAMES[@]} - 1; i >= 0; i--)); do
    local name="${BENCH_PEER_NAMES[$i]}"
    [ -f "$BENCH_DIR/$name.pid" ] || continue
    status="$(bench_terminate "$name" 5)"
    say "peer $name exited with status $status"
  done
  pid="$(bench_ns_pid)"
  if [ -n "$pid" ] && [ -d "/proc/$pid" ]; then
    # Anything else still in the bench's network namespace was started by
    # the bench (a peer's children): end it with the namespace.
    local ns p parent
    ns="$(readlink "/proc/$pid/ns/net")"
    parent="$(awk '{print $4}' "/proc/$pid/stat")"
    for p in /proc/[0-9]*; do
      p="${p#/proc/}"
      [ "$p" = "$pid" ] || [ "$p" = "$parent" ] && continue
      [ "$(readlink "/proc/$p/ns/net" 2>/dev/null)" = "$ns" ] || continue
      say "ending leftover process $p ($(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null))"
      kill -KILL "$p" 2>/dev/null || true
    done
    kill -TERM "$pid" 2>/dev/null || true
    bench_wait 5 bash -c "! test -d /proc/$pid" || kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$BENCH_DIR/ns.pid" "$BENCH_DIR/ready" "$BENCH_DIR"/*.pid
  say "bench stopped"
  return $rc
}

bench_status() {
  if ! bench_running; then
    echo "bench: not running"
    return 1
  fi
  echo "bench: running (namespace holder pid $(bench_ns_pid))"
  local f name
  for f in "$BENCH_DIR"/*.pid; do
    name="$(basename "$f" .pid)"
    [ "$name" = ns ] && continue
    if bench_alive "$name"; then
      echo "  $name: running (pid $(cat "$f"))"
    else
      echo "  $name: ended with status $(cat "$BENCH_DIR/$name.status" 2>/dev/null || echo '?')"
    fi
  done
}

bench_logs() {
  local follow=0
  if [ "${1:-}" = -f ]; then follow=1; shift; fi
  local log="$BENCH_DIR/${1:-main}.log"
  [ -f "$log" ] || die "no log $log (names: $(cd "$BENCH_DIR" 2>/dev/null && ls -- *.log | sed 's/\.log$//' | tr '\n' ' '))"
  if [ $follow = 1 ]; then tail -n +1 -f "$log"; else cat "$log"; fi
}

bench_foreground() {
  bench_start
  trap 'echo; bench_stop; exit $?' INT TERM
  say "following main's log; Ctrl-C stops the bench"
  if [ -t 1 ] && [ -z "${FXS_BENCH_NO_PANEL:-}" ] && [ -f "$BENCH_DIR/pca9552.log" ]; then
    # The front panel with main's newest log lines (FXS_BENCH_NO_PANEL=1: plain log).
    panel_follow "$(cat "$BENCH_DIR/main.pid")" &
  else
    tail -n +1 --pid="$(cat "$BENCH_DIR/main.pid")" -f "$BENCH_DIR/main.log" &
  fi
  wait $! || true
  trap - INT TERM
  say "main ended by itself"
  bench_stop
}
