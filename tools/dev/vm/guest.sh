#!/bin/sh
# The VM's supervisor on the serial console (started by /init): runs the
# bench from the peer declarations that ./dev vm wrote to plan.sh, then
#   run    shows the card's log until Ctrl-C (SIGINT from the console),
#   test   runs the end-to-end suite (tests/vm/suite.sh),
#   shell  gives an interactive shell until it exits,
# and stops the card (SIGTERM) and its peers. Lines starting with "vm: " are
# read by ./dev vm on the host.
FXS_ROOT=/opt/fxs
BENCH_DIR=/run/bench
export FXS_ROOT BENCH_DIR
# Emulated, everything starts several times slower than on the host bench.
READY_SECONDS=90
MAIN_STOP_SECONDS=30

sq() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }

# The plan's declarations, kept in numbered variables.
# The card's (PREFIX "") and the chassis's (PREFIX C: its bridges and FTP
# server, in the named network namespace "chassis" in the VM).
N_SETUP=0 N_PEERS=0 N_CSETUP=0 N_CPEERS=0
MAIN_ENV=""
add_setup() {
  eval "N_$1SETUP=\$((N_$1SETUP + 1)); _n=\$N_$1SETUP"
  eval "$1SETUP_$_n=\$2"
}
add_peer() {
  eval "N_$1PEERS=\$((N_$1PEERS + 1)); _n=\$N_$1PEERS"
  eval "$1PEER_NAME_$_n=\$2 $1PEER_READY_$_n=\$3 $1PEER_CMD_$_n=\$4"
}
vm_setup() { add_setup "" "$1"; }
vm_peer() { add_peer "" "$@"; }
vm_chassis_setup() { add_setup C "$1"; }
vm_chassis_peer() { add_peer C "$@"; }
vm_main_env() { MAIN_ENV="$MAIN_ENV $(sq "$1")"; }

# wait_for SECONDS CMD...: retries CMD every 0.2 s until it succeeds.
wait_for() {
  _end=$(($(cut -d. -f1 /proc/uptime) + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$(cut -d. -f1 /proc/uptime)" -lt "$_end" ] || return 1
    sleep 0.2
  done
}

alive() { _p="$(cat "$BENCH_DIR/$1.pid" 2>/dev/null)" && [ -n "$_p" ] && kill -0 "$_p" 2>/dev/null; }

# A TCP port in LISTEN state (the card's debug console).
listening() {
  _hex="$(printf ':%04X ' "$1")"
  grep -q "^ *[0-9]*: [0-9A-F]*$_hex[0-9A-F:]* 0A " /proc/net/tcp
}

# spawn NAME CMD...: in a session of its own (no console signals), output to
# NAME.log, pid and exit status recorded by bench-run.sh.
spawn() {
  _name="$1"
  shift
  rm -f "$BENCH_DIR/$_name.pid" "$BENCH_DIR/$_name.status"
  setsid /bin/sh "$FXS_ROOT/tools/dev/bench-run.sh" "$BENCH_DIR" "$_name" "$@" \
    >"$BENCH_DIR/$_name.log" 2>&1 </dev/null &
  wait_for 10 test -s "$BENCH_DIR/$_name.pid"
}

# up NAME TEST: true once TEST passes, or once NAME has ended (DEAD=1), or
# once Ctrl-C came.
up() {
  DEAD=""
  [ -z "$STOP" ] || return 0
  eval "$2" && return 0
  alive "$1" && return 1
  DEAD=1
}

main_ready() { grep -q "Card is ready" "$BENCH_DIR/main.log" && listening 10000; }

# stopped: Ctrl-C came while the bench was starting.
stopped() {
  [ -n "$STOP" ] || return 1
  echo "vm: stopped while starting"
}

bench_up() {
  mkdir -p "$BENCH_DIR"
  . "$FXS_ROOT/vm/plan.sh"
  ip netns add chassis || { echo "vm: cannot add the chassis's namespace"; return 1; }
  _i=1
  while [ $_i -le $N_CSETUP ]; do
    eval "_s=\$CSETUP_$_i"
    echo "vm: chassis setup step $_i"
    ip netns exec chassis sh -c "$_s" || { echo "vm: chassis setup step failed: $_s"; return 1; }
    _i=$((_i + 1))
  done
  _i=1
  while [ $_i -le $N_CPEERS ]; do
    eval "_name=\$CPEER_NAME_$_i _ready=\$CPEER_READY_$_i _cmd=\$CPEER_CMD_$_i"
    echo "vm: starting $_name in the chassis"
    eval "spawn \"\$_name\" ip netns exec chassis $_cmd" || { echo "vm: $_name did not start"; return 1; }
    if [ -n "$_ready" ] && { ! wait_for "$READY_SECONDS" up "$_name" "ip netns exec chassis sh -c $(sq "$_ready")" || [ -n "$DEAD" ]; }; then
      echo "vm: $_name not ready ($_ready):"
      tail -n 20 "$BENCH_DIR/$_name.log"
      return 1
    fi
    _i=$((_i + 1))
  done
  _i=1
  while [ $_i -le $N_SETUP ]; do
    stopped && return 1
    eval "_s=\$SETUP_$_i"
    echo "vm: setup step $_i"
    sh -c "$_s" || { echo "vm: bench setup step failed: $_s"; return 1; }
    _i=$((_i + 1))
  done
  _i=1
  while [ $_i -le $N_PEERS ]; do
    stopped && return 1
    eval "_name=\$PEER_NAME_$_i _ready=\$PEER_READY_$_i _cmd=\$PEER_CMD_$_i"
    echo "vm: starting peer $_name"
    eval "spawn \"\$_name\" $_cmd" || { echo "vm: peer $_name did not start"; return 1; }
    if [ -n "$_ready" ] && { ! wait_for "$READY_SECONDS" up "$_name" "$_ready" || [ -n "$DEAD" ]; }; then
      echo "vm: peer $_name not ready ($_ready):"
      tail -n 20 "$BENCH_DIR/$_name.log"
      return 1
    fi
    _i=$((_i + 1))
  done
  stopped && return 1
  echo "vm: starting main"
  rm -f "$BENCH_DIR/main.stop"
  # Started again after a clean exit (a reboot request), as the card's init does.
  export BENCH_RESPAWN=1
  eval "spawn main env FXS_TRACE_STDERR=1 $MAIN_ENV $FXS_ROOT/bin/main"
  unset BENCH_RESPAWN
  if ! wait_for "$READY_SECONDS" up main main_ready || [ -n "$DEAD" ]; then
    echo "vm: main did not come up:"
    tail -n 30 "$BENCH_DIR/main.log"
    return 1
  fi
  stopped && return 1
  # The network tables need the bring-up (eth1 up) done.
  wait_for "$READY_SECONDS" test -f /tmp/card_up_and_running ||
    echo "vm: no /tmp/card_up_and_running after $READY_SECONDS s"
  echo "vm: card running"
}

# terminate NAME SECONDS: SIGTERM, SIGKILL after SECONDS; prints the status.
terminate() {
  _pid="$(cat "$BENCH_DIR/$1.pid" 2>/dev/null)" || { echo "?"; return; }
  if kill -0 "$_pid" 2>/dev/null; then
    kill -TERM "$_pid"
    if ! wait_for "$2" test -s "$BENCH_DIR/$1.status"; then
      kill -KILL "$_pid" 2>/dev/null
      wait_for 5 test -s "$BENCH_DIR/$1.status"
    fi
  fi
  cat "$BENCH_DIR/$1.status" 2>/dev/null || echo "?"
}

# stop_peers PREFIX LABEL: the card's (PREFIX "") or the chassis's (C)
# processes in reverse order, each exit status said.
stop_peers() {
  eval "_i=\$N_$1PEERS"
  while [ "$_i" -ge 1 ]; do
    eval "_n=\$$1PEER_NAME_$_i"
    _i=$((_i - 1))
    [ -f "$BENCH_DIR/$_n.pid" ] || continue
    echo "vm: $2$_n exited with status $(terminate "$_n" 10)"
  done
}

# Stops main, then the peers in reverse order; returns main's status. A
# further Ctrl-C would cut the stop short: it is ignored from here on.
bench_down() {
  trap '' INT
  MAIN_STATUS=none
  if [ -f "$BENCH_DIR/main.pid" ]; then
    touch "$BENCH_DIR/main.stop"
    MAIN_STATUS="$(terminate main "$MAIN_STOP_SECONDS")"
    echo "vm: main exited with status $MAIN_STATUS"
  fi
  stop_peers "" "peer "
  stop_peers C ""
  [ "$MAIN_STATUS" = 0 ]
}

mode="${1:-run}"
STOP=""
trap 'STOP=1' INT
echo "vm: console ready"
cd /
case "$mode" in
  run)
    if bench_up; then
      echo "vm: the card's log follows; Ctrl-C stops the card and the VM"
      # Out of Ctrl-C's reach: it shows the card's last lines after SIGTERM.
      setsid tail -n +1 -f "$BENCH_DIR/main.log" &
      _tail=$!
      # main.status appears when main has ended for good (not restarted).
      while [ -z "$STOP" ] && [ ! -s "$BENCH_DIR/main.status" ]; do sleep 1; done
      [ -n "$STOP" ] || echo "vm: main ended by itself"
    fi
    bench_down
    sleep 1
    [ -n "${_tail:-}" ] && kill "$_tail"
    ;;
  shell)
    if bench_up; then
      echo "vm: shell in the VM; the bench's logs are in $BENCH_DIR; exit stops the card and the VM"
    fi
    trap : INT
    PS1='vm# ' bash --norc -i
    bench_down
    ;;
  test)
    . "$FXS_ROOT/tests/vm/suite.sh"
    suite_main
    ;;
  *)
    echo "vm: unknown mode $mode"
    ;;
esac
echo "vm: powering off"
