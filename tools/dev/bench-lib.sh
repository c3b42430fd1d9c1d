# The bench: the card process and its peers in IPC, mount and network
# namespaces of their own, held open by one holder process. Nothing on the
# host changes: the card's fixed paths are tmpfs mounts inside the mount
# namespace, its queues live in the IPC namespace, its interfaces in the
# network namespace.
#
# Other subcommands use:
#   bench_running            true while the bench's namespaces exist
#   bench_exec CMD...        run CMD inside the bench's namespaces
#   bench_bin NAME           path of a built binary
#   bench_build              build what the bench runs (quietly)
# Peers are declared in tools/dev/peers.d/NN-name.sh (sourced in name order
# at start) with
#   bench_peer [--ready 'SHELL TEST'] NAME CMD...
# and started in that order before main; --ready waits (inside the
# namespaces, up to 10 s) until the test succeeds. Setup steps that must run
# inside the namespaces before any peer (veth pairs, addresses) use
#   bench_setup 'SHELL COMMANDS'
# and main's extra environment goes into BENCH_MAIN_ENV+=(NAME=VALUE);
# BENCH_MAIN_PROGRAM is what starts main (the slot chooser).

BENCH_DIR="${FXS_BENCH_DIR:-$FXS_ROOT/out/bench}"
# Beside it: collected logs and the console's history.
BENCH_OUT="$(dirname "$BENCH_DIR")"
# What the bench runs, and the tools the subcommands that reach it use
# (ftpupload: main's log uploader, which main runs from its own directory).
BENCH_TARGETS=(main ftpupload loadfetch bootslot fxsbundle board sim_pca9552 sim_i2cdrv udpfe velmora
               velmctl nbcat icscctl dldctl sim_inject fdebug)
BENCH_PEER_NAMES=()
BENCH_PEER_CMDS=()
BENCH_PEER_READY=()
BENCH_SETUP=()
BENCH_MAIN_ENV=()
BENCH_MAIN_PROGRAM=""

bench_ns_pid() { cat "$BENCH_DIR/ns.pid" 2>/dev/null; }

bench_running() {
  local pid; pid="$(bench_ns_pid)"
  [ -n "$pid" ] && [ -d "/proc/$pid" ] && [ -f "$BENCH_DIR/ready" ]
}

bench_exec() {
  bench_running || die "the bench is not running (./dev bench start)"
  nsenter -t "$(bench_ns_pid)" -i -m -n -- "$@"
}

bench_bin() { echo "$(build_dir native "")/bin/$1"; }

bench_build() { quiet_build "the bench" native "" "${BENCH_TARGETS[@]}"; }

# bench_tool NAME: the path of a bench tool, built first when missing.
bench_tool() {
  [ -x "$(bench_bin "$1")" ] || bench_build
  bench_bin "$1"
}

bench_peer() {
  local ready=""
  if [ "${1:-}" = --ready ]; then ready="$2"; shift 2; fi
  local name="$1"; shift
  BENCH_PEER_NAMES+=("$name")
  BENCH_PEER_CMDS+=("$(printf '%q ' "$@")")
  BENCH_PEER_READY+=("$ready")
}

bench_setup() { BENCH_SETUP+=("$1"); }

bench_load_peers() {
  local f
  BENCH_PEER_NAMES=() BENCH_PEER_CMDS=() BENCH_PEER_READY=() BENCH_SETUP=() BENCH_MAIN_ENV=()
  BENCH_MAIN_PROGRAM=""
  for f in "$FXS_ROOT"/tools/dev/peers.d/*.sh; do
    [ -e "$f" ] || continue
    # shellcheck disable=SC1090
    source "$f"
  done
}

# bench_wait SECONDS CMD...: retries CMD every 0.1 s until it succeeds.
bench_wait() {
  local deadline=$(( $(date +%s) + $1 )); shift
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Dies with a hint unless the bench runs and main with it.
bench_card_running() {
  bench_running || die "the card is not running: start it with ./dev bench start"
  bench_alive main ||
    die "the card (main) is not running on the bench; see ./dev bench logs, restart with ./dev bench stop && ./dev bench start"
}

bench_alive() { local p; p="$(cat "$BENCH_DIR/$1.pid" 2>/dev/null)" && [ -n "$p" ] && kill -0 "$p" 2>/dev/null; }

# bench_spawn NAME CMD...: starts CMD in the namespaces, detached from this
# shell; its pid goes to NAME.pid, its exit status to NAME.status, its output
# to NAME.log.
bench_spawn() {
  local name="$1"; shift
  rm -f "$BENCH_DIR/$name.pid" "$BENCH_DIR/$name.status"
  setsid nsenter -t "$(bench_ns_pid)" -i -m -n -- \
    bash "$FXS_ROOT/tools/dev/bench-run.sh" "$BENCH_DIR" "$name" "$@" \
    >"$BENCH_DIR/$name.log" 2>&1 </dev/null &
  bench_wait 5 test -s "$BENCH_DIR/$name.pid" || die "$name did not start (see $BENCH_DIR/$name.log)"
}

# bench_terminate NAME SECONDS: SIGTERM, then SIGKILL after SECONDS; prints
# and returns the exit status.
bench_terminate() {
  local name="$1" secs="$2" pid
  pid="$(cat "$BENCH_DIR/$name.pid" 2>/dev/null)" || return 0
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    if ! bench_wait "$secs" test -s "$BENCH_DIR/$name.status"; then
      say "$name (pid $pid) ignored SIGTERM for ${secs} s: killing it"
      kill -KILL "$pid" 2>/dev/null || true
      bench_wait 5 test -s "$BENCH_DIR/$name.status" || true
    fi
  fi
  cat "$BENCH_DIR/$name.status" 2>/dev/null || echo "?"
}
