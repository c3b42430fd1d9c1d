# shellcheck source=tools/dev/bench-lib.sh
source "$FXS_ROOT/tools/dev/bench-lib.sh"
# shellcheck source=tools/dev/bench-getlog.sh
source "$FXS_ROOT/tools/dev/bench-getlog.sh"
# shellcheck source=tools/dev/bench-capture.sh
source "$FXS_ROOT/tools/dev/bench-capture.sh"

dev_register bench bench "[--ethaddr MAC] [run|start|stop|status|logs [NAME] [-f]|collect-logs|capture [SECONDS] [-o FILE] [-- COMMAND...]|capture --decode FILE]" \
  "run the card and its peers in namespaces of their own" \
  "run           (the default) start, draw the front panel with main's newest log
              lines and a status line (the plain log when not on a terminal or
              with FXS_BENCH_NO_PANEL=1); Ctrl-C stops the bench
start         start in the background; prints one line when the card is ready
stop          stop main (SIGTERM, its exit status is printed) and the peers;
              says so and succeeds when the bench is not running
status        the bench's processes and how they ended (exit 1: not running)
logs [NAME] [-f]
              a process's log (default main; names: main and the peers);
              -f follows it until Ctrl-C or the bench stops
collect-logs  the chassis' log collection over ICSC: the card uploads its
              logs to the bench's FTP server (peer ftpd); the archive is
              copied to out/logs/
capture [SECONDS] [-o FILE] [-- COMMAND...]
              the ICSC datagrams to and from the card's UDP front end, into
              the pcap FILE (default out/capture.pcap), for SECONDS, until
              Ctrl-C or while COMMAND runs (started once capturing; its exit
              status is capture's); says when it captures
capture --decode FILE
              such a capture through tshark with the ICSC dissector: each
              cell named (object, column, row or common record), malformed
              datagrams flagged (docs/icsc-protocol.md)
--ethaddr MAC the data interface's MAC for main (as FXS_BENCH_ETHADDR)

The bench builds only what it runs (main, the stand-ins, the tools). State and
logs are in out/bench/; every log line starts with its UTC time. The peers
are declared in tools/dev/peers.d/; docs/bench.md describes them.

Settings (environment, read at start):
  FXS_BENCH_ETHADDR=MAC   MAC of eth1 given to main as \"ethaddr\"
  FXS_BENCH_SLOT=N        slot the board stand-in reports (default 2)
  FXS_BENCH_BOARD=OPTS    board stand-in options: --delay S (no slot for S s)
  FXS_BENCH_I2C=OPTS      I2C driver stand-in options: --silent,
                          --fail-selftest, --fail-adc-selftest,
                          --fail-sensor N (repeatable), --fail-pwrmon,
                          --idle-pwrmon, --period-ms MS (./dev help inject)
  FXS_BENCH_PCA9552=OPTS  LED driver stand-in options: --silent,
                          --fail-selftest, --absent
  FXS_BENCH_NO_PANEL=1    the foreground bench shows main's log, no panel
  FXS_ICSC_PORT=N         UDP port of the front end (default 5000); ./dev icsc
                          uses it too
  FXS_TRACE_LEVEL=N       main's trace level (default 6: INFO and above; 9: all)
  FXS_BENCH_DIR=DIR       state and logs (default out/bench)
  FXS_BUILD_DIR=DIR       the native build tree to run (default build/native)"
cmd_bench() {
  if [ "${1:-}" = --ethaddr ]; then
    [ -n "${2:-}" ] || dev_bad_usage bench "--ethaddr needs a MAC address"
    export FXS_BENCH_ETHADDR="$2"
    shift 2
  fi
  local sub="${1:-run}"
  [ $# -gt 0 ] && shift
  case "$sub" in
    run|start|stop|status|collect-logs)
      [ $# -eq 0 ] || dev_bad_usage bench "bench $sub takes no arguments" ;;
    logs|capture) ;;
    *) dev_bad_usage bench "unknown bench subcommand '$sub'" ;;
  esac
  [ "$(id -u)" = 0 ] || die "the bench runs in namespaces of its own and needs root"
  case "$sub" in
    run) bench_foreground ;;
    start) bench_start; bench_ready_line "./dev bench stop" ;;
    stop) bench_stop ;;
    status) bench_status ;;
    logs) bench_logs "$@" ;;
    collect-logs) bench_collect_logs ;;
    capture) bench_capture "$@" ;;
  esac
}

bench_start() {
  if bench_running; then
    die "the bench is already running (./dev bench stop first)"
  fi
  # The bench lays its own tmpfs over these: its state there would vanish
  # from its own sight (a tree of ours below them is bound back in).
  case "$BENCH_DIR/" in
    "$FXS_ROOT"/*) ;;
    /tmp/*|/vocal/*|/flash/*|/etc/iproute2/*)
      die "FXS_BENCH_DIR $BENCH_DIR lies below a path the bench replaces (/tmp, /vocal, /flash, /etc/iproute2)" ;;
  esac
  # A holder left over from a crashed run: clean up before starting anew.
  if [ -f "$BENCH_DIR/ns.pid" ]; then
    say "removing the state of an earlier bench"
    bench_stop >/dev/null 2>&1 || true
  fi
  ensure_packages util-linux iproute2 netcat-openbsd
  bench_build
  mkdir -p "$BENCH_DIR"
  rm -f "$BENCH_DIR"/*.pid "$BENCH_DIR"/*.status "$BENCH_DIR"/*.log "$BENCH_DIR/ready"
  setsid unshare --ipc --mount --net --fork --propagation private \
    bash "$FXS_ROOT/tools/dev/bench-ns.sh" "$BENCH_DIR" >"$BENCH_DIR/ns.log" 2>&1 </dev/null &
  bench_wait 10 test -s "$BENCH_DIR/ns.pid" || die "namespace setup failed: $(cat "$BENCH_DIR/ns.log")"
  touch "$BENCH_DIR/ready"

  bench_load_peers
  local step i
  for step in ${BENCH_SETUP[@]+"${BENCH_SETUP[@]}"}; do
    bench_exec bash -c "$step" >>"$BENCH_DIR/ns.log" 2>&1 || {
      tail -n 5 "$BENCH_DIR/ns.log" >&2
      bench_stop >/dev/null 2>&1
      die "bench setup step failed: $step"
    }
  done
  say "starting ${BENCH_PEER_NAMES[*]} and main in the bench's namespaces"
  for i in "${!BENCH_PEER_NAMES[@]}"; do
    local name="${BENCH_PEER_NAMES[$i]}" ready="${BENCH_PEER_READY[$i]}"
    eval "bench_spawn \"\$name\" ${BENCH_PEER_CMDS[$i]}"
    if [ -n "$ready" ] && ! bench_wait 10 bench_exec bash -c "$ready"; then
      tail -n 5 "$BENCH_DIR/$name.log" >&2
      bench_stop >/dev/null 2>&1
      die "peer $name not ready ($ready); see $BENCH_DIR/$name.log"
    fi
  done
  rm -f "$BENCH_DIR/main.stop"
  BENCH_RESPAWN=1 bench_spawn main env FXS_TRACE_STDERR=1 ${BENCH_MAIN_ENV[@]+"${BENCH_MAIN_ENV[@]}"} "$(bench_bin main)"
  if ! bench_wait 15 bench_main_ready; then
    tail -n 20 "$BENCH_DIR/main.log" >&2
    bench_stop >/dev/null 2>&1
    die "main did not come up"
  fi
  # Self tests and the network bring-up take a few seconds more; a card
  # whose drivers fail ends in FAIL or without its network instead.
  bench_wait 30 bench_card_settled || say "the card has not settled yet (state $(bench_card_state))"
}

bench_card_settled() {
  bench_exec test -e /tmp/card_up_and_running && return 0
  case "$(bench_card_state)" in ACTIVE|FAIL) return 0 ;; esac
  return 1
}

bench_main_ready() {
  bench_alive main && grep -q "Card is ready" "$BENCH_DIR/main.log" &&
    bench_exec nc -z 127.0.0.1 10000
}

# The card's state from its console ("?" when it does not answer).
bench_card_state() {
  local s
  s="$(bench_exec timeout 5 sh -c "printf 'main internals\nquit\n' | nc -N 127.0.0.1 10000" 2>/dev/null |
    sed -n 's/^m_state *= *//p' | tr -d '\r')" || true
  echo "${s:-?}"
}

# bench_ready_line STOP-HINT: the one line that says the card is up and how
# to reach it.
bench_ready_line() {
  echo "bench: card ready (state $(bench_card_state)). Console: ./dev console 'main internals'." \
    "Objects: ./dev icsc get|set|walk (./dev icsc objects lists them). Stop: $1."
}

bench_stop() {
  if ! bench_running && [ ! -f "$BENCH_DIR/ns.pid" ]; then
    echo "bench: the bench is not running"
    return 0
  fi
  local rc=0 status i pid
  if [ -f "$BENCH_DIR/main.pid" ]; then
    touch "$BENCH_DIR/main.stop"  # no restart as after a reboot
    status="$(bench_terminate main 15)"
    say "main exited with status $status"
    [ "$status" = 0 ] || rc=1
  fi
  bench_load_peers
  for ((i = ${#BENCH_PEER_NAMES[@]} - 1; i >= 0; i--)); do
    local name="${BENCH_PEER_NAMES[$i]}"
    [ -f "$BENCH_DIR/$name.pid" ] || continue
    status="$(bench_terminate "$name" 5)"
    [ "$status" = 0 ] || say "peer $name exited with status $status"
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
  local follow=0 name="" a
  for a in "$@"; do
    case "$a" in
      -f|--follow) follow=1 ;;
      -*) dev_bad_usage bench "unknown logs option '$a'" ;;
      *) [ -z "$name" ] || dev_bad_usage bench "one log at a time"; name="$a" ;;
    esac
  done
  local log="$BENCH_DIR/${name:-main}.log"
  if [ ! -f "$log" ]; then
    die "no log '${name:-main}' (have: $(cd "$BENCH_DIR" 2>/dev/null && ls -- *.log 2>/dev/null | sed 's/\.log$//' | tr '\n' ' '))"
  fi
  if [ $follow = 0 ]; then
    cat "$log"
  elif bench_running; then
    tail -n +1 --pid="$(bench_ns_pid)" -f "$log"
  else
    cat "$log"
    say "the bench is not running: nothing more to follow"
  fi
}

bench_foreground() {
  bench_start
  trap 'echo; bench_stop; exit $?' INT TERM
  bench_ready_line "Ctrl-C"
  if [ -t 1 ] && [ -z "${FXS_BENCH_NO_PANEL:-}" ] && [ -f "$BENCH_DIR/pca9552.log" ]; then
    panel_follow "$(cat "$BENCH_DIR/main.pid")" "Ctrl-C stops the bench" &
  else
    tail -n +1 --pid="$(cat "$BENCH_DIR/main.pid")" -f "$BENCH_DIR/main.log" &
  fi
  wait $! || true
  trap - INT TERM
  say "main ended by itself"
  bench_stop
}
