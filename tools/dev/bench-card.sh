#!/usr/bin/env bash
# One card of the bench's chassis, from power-on to removal: boots the card
# (fresh IPC, mount and network namespaces, the setup steps, the peers in
# their order, then the card's init, which starts main), and reboots it the
# same way whenever main ends without being stopped: after the chassis's
# "Reboot", a crash or ./dev bench restart. On the card a restart of main is
# a reboot: the kernel's network state, /tmp and the queues start empty,
# only /flash persists (bench-ns.sh).
#   bench-card.sh DIR CHASSIS_PID
# DIR holds the card's plan (plan.sh: its declarations, written at start),
# its logs and pids. DIR/boot says where the card is: "booting N", "up N",
# "rebooting after boot N", "held after boot N", "failed: WHY" or
# "stopped". DIR/main.stop (written by whoever stops or pulls the card)
# ends the loop once main has ended; the card's processes and namespaces go
# with it.
set -u
FXS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# shellcheck source=tools/dev/common.sh
source "$FXS_ROOT/tools/dev/common.sh"
# shellcheck source=tools/dev/bench-lib.sh
source "$FXS_ROOT/tools/dev/bench-lib.sh"
BENCH_DIR="$1" chassis="$2"
# shellcheck disable=SC1091
source "$BENCH_DIR/plan.sh"

note() { echo "$(date -u +%Y-%m-%dT%H:%M:%S.%3NZ) card: $*"; }
set_boot() { echo "$*" >"$BENCH_DIR/boot.tmp" && mv "$BENCH_DIR/boot.tmp" "$BENCH_DIR/boot"; }
stopping() { [ -e "$BENCH_DIR/main.stop" ]; }
main_up_or_gone() { bench_main_ready || ! bench_alive main; }

# card_boot: the card's namespaces, setup, peers and main; false with WHY
# set when a step fails (or the card is being stopped).
card_boot() {
  local step i name ready pid
  rm -f "$BENCH_DIR/ns.pid" "$BENCH_DIR/ready"
  setsid unshare --ipc --mount --net --fork --propagation private \
    bash "$FXS_ROOT/tools/dev/bench-ns.sh" "$BENCH_DIR" "$chassis" >>"$BENCH_DIR/ns.log" 2>&1 </dev/null &
  if ! bench_wait 10 test -s "$BENCH_DIR/ns.pid"; then
    WHY="the card's namespaces were not set up: $(tail -n 1 "$BENCH_DIR/ns.log")"
    return 1
  fi
  touch "$BENCH_DIR/ready"
  for step in ${BENCH_SETUP[@]+"${BENCH_SETUP[@]}"}; do
    stopping && { WHY="stopped while booting"; return 1; }
    if ! bench_exec bash -c "$step" >>"$BENCH_DIR/ns.log" 2>&1; then
      WHY="setup step failed: $step ($(tail -n 1 "$BENCH_DIR/ns.log"))"
      return 1
    fi
  done
  for i in "${!BENCH_PEER_NAMES[@]}"; do
    stopping && { WHY="stopped while booting"; return 1; }
    name="${BENCH_PEER_NAMES[$i]}" ready="${BENCH_PEER_READY[$i]}"
    eval "bench_spawn \"\$name\" \"\${CARD_AS[@]}\" ${BENCH_PEER_CMDS[$i]}" || { WHY="peer $name did not start"; return 1; }
    if ! bench_wait 10 bench_peer_up "$name" "$ready"; then
      WHY="peer $name not ready within 10 s ($ready)"
    fi
    if ! bench_alive "$name" && bench_wait 2 test -s "$BENCH_DIR/$name.status"; then
      WHY="peer $name ended with status $(cat "$BENCH_DIR/$name.status") while starting"
    fi
    [ -z "${WHY:-}" ] || return 1
  done
  stopping && { WHY="stopped while booting"; return 1; }
  # The peers' ends are told by their status files, not by this shell.
  disown -a
  bench_spawn main "${CARD_AS[@]}" sh "$FXS_ROOT/tools/dev/bench-init.sh" "$BENCH_MAIN" FXS_TRACE_STDERR=1 \
    ${BENCH_MAIN_ENV[@]+"${BENCH_MAIN_ENV[@]}"} || { WHY="main did not start"; return 1; }
  MAIN_RUNNER=$!
  # A peer that gave up while main started is as bad as one that never
  # came; a main that ends at once is rebooted like any other.
  bench_wait 15 main_up_or_gone || true
  for name in ${BENCH_PEER_NAMES[@]+"${BENCH_PEER_NAMES[@]}"}; do
    if ! bench_alive "$name" && bench_wait 2 test -s "$BENCH_DIR/$name.status"; then
      WHY="peer $name ended with status $(cat "$BENCH_DIR/$name.status") while starting"
      return 1
    fi
  done
  return 0
}

# card_teardown: main (if still there) and the peers in reverse order, then
# whatever else runs in the card's namespaces, then the namespaces.
card_teardown() {
  local i name status pid
  rm -f "$BENCH_DIR/ready"
  if bench_alive main; then
    status="$(bench_terminate main 15)"
    note "main exited with status $status"
  fi
  for ((i = ${#BENCH_PEER_NAMES[@]} - 1; i >= 0; i--)); do
    name="${BENCH_PEER_NAMES[$i]}"
    [ -f "$BENCH_DIR/$name.pid" ] || continue
    status="$(bench_terminate "$name" 5)"
    [ "$status" = 0 ] || note "peer $name exited with status $status"
  done
  pid="$(bench_ns_pid)"
  if [ -n "$pid" ] && [ -d "/proc/$pid" ]; then
    bench_kill_ns_rest "$pid" | while IFS= read -r line; do note "$line"; done
    kill -TERM "$pid" 2>/dev/null || true
    bench_wait 5 bench_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$BENCH_DIR/ns.pid"
}

# The bytes of message queues are counted per user, whatever the
# namespace, up to RLIMIT_MSGQUEUE (819200 by default: the queues of about
# six cards), which root may lack the capability to raise. So the card's
# processes run under a user id of their own (derived from its directory),
# with root's capabilities: each card has the whole budget, as on its own
# board.
card_uid=$((200000 + $(echo "$BENCH_DIR" | cksum | cut -d' ' -f1) % 100000))
card_caps=""
bounding=$((16#$(awk '/^CapBnd/ {print $2}' /proc/self/status)))
i=0
while read -r cap; do
  (( (bounding >> i) & 1 )) && card_caps+="${card_caps:+,}+$cap"
  i=$((i + 1))
done < <(setpriv --list-caps)
CARD_AS=(setpriv "--reuid=$card_uid" "--regid=$card_uid" --clear-groups "--inh-caps=$card_caps"
         "--ambient-caps=$card_caps")
echo $$ >"$BENCH_DIR/card.pid"
boots=0 quick=0
while :; do
  boots=$((boots + 1))
  set_boot "booting $boots"
  note "boot $boots"
  WHY="" MAIN_RUNNER=""
  started=$EPOCHSECONDS
  if ! card_boot; then
    note "boot $boots failed: $WHY"
    card_teardown
    if stopping; then set_boot stopped; else set_boot "failed: $WHY"; fi
    exit 1
  fi
  set_boot "up $boots"
  wait "$MAIN_RUNNER"
  status="$(cat "$BENCH_DIR/main.status" 2>/dev/null || echo '?')"
  # main.hold: whoever stopped main runs it by hand meanwhile (bench-perf
  # times main's start); the card stays as it is until the hold goes.
  while [ -e "$BENCH_DIR/main.hold" ] && ! stopping; do
    set_boot "held after boot $boots"
    sleep 0.2
  done
  if stopping; then
    card_teardown
    set_boot stopped
    exit 0
  fi
  set_boot "rebooting after boot $boots"
  note "main ended with status $status without being stopped: rebooting the card (new namespaces, /flash kept)"
  card_teardown
  # A main that dies at once would reboot the card for ever.
  if [ "$status" != 0 ] && [ $((EPOCHSECONDS - started)) -lt 10 ]; then
    quick=$((quick + 1))
  else
    quick=0
  fi
  if [ $quick -ge 3 ]; then
    set_boot "failed: main ended with status $status within 10 s of boot three times in a row"
    note "giving up: main ended with status $status within 10 s of boot three times in a row"
    exit 1
  fi
done
