# shellcheck source=tools/dev/bench-lib.sh
source "$FXS_ROOT/tools/dev/bench-lib.sh"
# shellcheck source=tools/dev/bench-getlog.sh
source "$FXS_ROOT/tools/dev/bench-getlog.sh"

dev_register bench bench "[--ethaddr MAC] [run|start|stop|restart|status|logs [NAME] [-f]|collect-logs]" \
  "run the card and its peers in namespaces of their own" \
  "run           (the default) start, draw the front panel with main's newest log
              lines and a status line (the plain log when not on a terminal or
              with FXS_BENCH_NO_PANEL=1); Ctrl-C stops the bench
start         start in the background; prints one line once the card has
              settled: \"card ACTIVE\", \"card in state FAIL\" or, when the self
              tests take longer, \"card up (state ..., ...)\"; fails naming the
              peer and its exit status when a peer ends while starting
stop          stop main (SIGTERM, its exit status is printed) and the peers;
              says so and succeeds when the bench is not running
restart       reboot the card as the chassis's \"Reboot\" and a crash of main
              do: main gets SIGTERM, the card and its peers start again in
              new namespaces (only /flash is kept); prints the line of start
status        the bench's processes and how they ended; exit 1 when the bench
              is not running or anything it started is down
logs [NAME] [-f]
              a process's log (default main; names: main, the peers, ftpd,
              card: the card's boots); -f follows it until Ctrl-C or the
              bench stops
collect-logs  the chassis' log collection over ICSC: the card uploads its
              logs to the bench's FTP server (peer ftpd); the archive is
              copied to out/logs/
--ethaddr MAC the data interface's MAC for main (as FXS_BENCH_ETHADDR)

The bench builds only what it runs (main, the stand-ins, the tools). State and
logs are in out/bench/; every log line starts with its UTC time. The peers
are declared in tools/dev/peers.d/; docs/bench.md describes them.

Every boot of the card (start, restart, a reboot) starts from empty /tmp,
queues and network state; the card's /flash is out/bench/flash.

Settings (environment, read at start):
  FXS_BENCH_ETHADDR=MAC   MAC of eth1 given to main as \"ethaddr\"
  FXS_BENCH_SLOT=N        slot the board stand-in reports (default 2)
  FXS_BENCH_BOARD=OPTS    board stand-in options: --delay S (no slot for S s)
  FXS_BENCH_I2C=OPTS      I2C driver stand-in options: --silent,
                          --fail-selftest, --fail-adc-selftest,
                          --fail-sensor N (repeatable), --fail-pwrmon,
                          --idle-pwrmon, --period-ms MS (docs/bench.md)
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
    run|start|stop|restart|status|collect-logs)
      [ $# -eq 0 ] || dev_bad_usage bench "bench $sub takes no arguments" ;;
    logs) ;;
    *) dev_bad_usage bench "unknown bench subcommand '$sub'" ;;
  esac
  [ "$(id -u)" = 0 ] || die "the bench runs in namespaces of its own and needs root"
  case "$sub" in
    run) bench_foreground ;;
    start) bench_start; bench_ready_line "$(bench_hint "bench stop")" ;;
    stop) bench_stop ;;
    restart) bench_restart ;;
    status) bench_status ;;
    logs) bench_logs "$@" ;;
    collect-logs) bench_collect_logs ;;
  esac
}

bench_start() {
  if chassis_running "$BENCH_DIR"; then
    die "the bench is already running ($(bench_hint "bench stop") first)"
  fi
  bench_dir_check FXS_BENCH_DIR "$BENCH_DIR"
  # What a crashed run left: clean up before starting anew.
  if [ -f "$BENCH_DIR/chassis.pid" ] || [ -f "$BENCH_DIR/ns.pid" ] || [ -f "$BENCH_DIR/card.pid" ]; then
    say "removing the state of an earlier bench"
    bench_stop >/dev/null 2>&1 || true
  fi
  ensure_packages util-linux iproute2 netcat-openbsd
  bench_build
  say "starting the card's peers and main in namespaces of their own"
  chassis_up "$BENCH_DIR" "$(( ${FXS_BENCH_SLOT:-2} + 1 )):$BENCH_DIR"
  bench_settle_or_die 0
}

# bench_settle_or_die AFTER-BOOT: waits for the card's boot after AFTER-BOOT
# to settle; on failure shows the logs that tell why, stops the bench and
# dies naming what failed.
bench_settle_or_die() {
  card_settle "$BENCH_DIR" 45 "$1" && return 0
  local name
  for name in main $(card_peer_names "$BENCH_DIR"); do
    if [[ "$CARD_WHY" == *"peer $name "* || "$CARD_WHY" == *"$name.log"* ]]; then
      tail -n 5 "$BENCH_DIR/$name.log" >&2
    fi
  done
  bench_stop >/dev/null 2>&1
  die "the card did not come up: $CARD_WHY"
}

# bench_ready_line STOP-HINT: the one line that says how the card came up
# and how to reach it.
bench_ready_line() {
  local what
  case "$CARD_STATE" in
    ACTIVE) what="card ACTIVE" ;;
    FAIL) what="card in state FAIL: see $(bench_hint "bench logs")" ;;
    SELF_TESTS_BUSY|START_SELF_TESTS) what="card up (state $CARD_STATE, self tests running)" ;;
    ACTIVE_ALL_LEDS_ON) what="card up (state $CARD_STATE, lamp test)" ;;
    *) what="card up (state $CARD_STATE)" ;;
  esac
  echo "bench: $what. Console: $(bench_hint console) 'main internals'." \
    "Objects: $(bench_hint icsc) get|set|walk ($(bench_hint icsc) objects lists them). Stop: $1."
}

bench_stop() {
  if ! chassis_running "$BENCH_DIR" && [ ! -f "$BENCH_DIR/card.pid" ] && [ ! -f "$BENCH_DIR/ns.pid" ]; then
    echo "bench: the bench is not running"
    return 0
  fi
  local rc=0
  if [ ! -s "$BENCH_DIR/cards" ]; then
    # A bench of an older layout: one card, no chassis.
    echo "$(( ${FXS_BENCH_SLOT:-2} + 1 )) $BENCH_DIR" >"$BENCH_DIR/cards"
  fi
  chassis_off "$BENCH_DIR" "" || rc=1
  say "bench stopped"
  return $rc
}

bench_restart() {
  chassis_running "$BENCH_DIR" || die "the bench is not running: $(bench_where)"
  local boot; boot="$(bench_boot)"
  case "$boot" in
    up*) ;;
    *) die "the card is not up (${boot}); see $(bench_hint "bench status")" ;;
  esac
  bench_alive main || die "main is not running; see $(bench_hint "bench logs")"
  say "rebooting the card: main gets SIGTERM, then the card starts again in new namespaces"
  say "main exited with status $(bench_terminate main 15)"
  bench_settle_or_die "${boot#up }"
  bench_ready_line "$(bench_hint "bench stop")"
}

bench_status() {
  if ! chassis_running "$BENCH_DIR"; then
    echo "bench: not running"
    return 1
  fi
  echo "bench: running (chassis namespace holder pid $(chassis_pid "$BENCH_DIR"))"
  chassis_report "$BENCH_DIR"
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
  elif chassis_running "$BENCH_DIR"; then
    tail -n +1 --pid="$(chassis_pid "$BENCH_DIR")" -f "$log"
  else
    cat "$log"
    say "the bench is not running: nothing more to follow"
  fi
}

# term_cols, term_rows: the terminal's size, also from a background job.
term_size() { { stty size </dev/tty; } 2>/dev/null || true; }
term_cols() {
  local s; s="$(term_size)"
  [[ "${s#* }" =~ ^[1-9][0-9]*$ ]] && echo "${s#* }" || tput cols 2>/dev/null || echo 80
}
term_rows() {
  local s; s="$(term_size)"
  [[ "${s% *}" =~ ^[1-9][0-9]*$ ]] && echo "${s% *}" || tput lines 2>/dev/null || echo 24
}

bench_foreground() {
  bench_start
  trap 'echo; bench_stop; exit $?' INT TERM
  local line keeper
  line="$(bench_ready_line "Ctrl-C")"
  echo "$line"
  keeper="$(cat "$BENCH_DIR/card.pid")"
  if [ -t 1 ] && [ -z "${FXS_BENCH_NO_PANEL:-}" ] && [ -f "$BENCH_DIR/pca9552.log" ]; then
    # The panel takes the screen: the ready line stays on its top line.
    PANEL_BANNER="$line" panel_follow "$keeper" "Ctrl-C stops the bench" &
  elif [ -t 1 ]; then
    # One screen line per log line, as in the panel.
    tail -n +1 --pid="$keeper" -f "$BENCH_DIR/main.log" | cut -c1-"$(( $(term_cols) - 1 ))" &
  else
    tail -n +1 --pid="$keeper" -f "$BENCH_DIR/main.log" &
  fi
  wait $! || true
  trap - INT TERM
  say "the card has stopped by itself: $(bench_boot)"
  bench_stop
}
