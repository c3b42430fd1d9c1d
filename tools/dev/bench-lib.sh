# The bench: cards and their peers in namespaces of their own, in a chassis.
# Nothing on the host changes: a card's fixed paths are tmpfs mounts inside
# its mount namespace, its queues live in its IPC namespace, its interfaces
# in its network namespace. The chassis is one more network namespace with
# the backplane and data bridges that the cards' eth0 and eth1 join, and
# the chassis's own processes (its FTP server; the controller of
# ./dev chassis). ./dev bench is a chassis of one card whose directory is
# the chassis's own; ./dev chassis has one directory per slot.
#
# Each card is kept by tools/dev/bench-card.sh: it boots the card in fresh
# namespaces and boots it again whenever main ends unasked, as the card's
# hardware and init do after a reboot; only the card's /flash persists.
#
# Other subcommands use:
#   bench_running            true while the card's namespaces exist
#   bench_exec CMD...        run CMD inside the card's namespaces
#   bench_bin NAME           path of a built binary
#   bench_build              build what the bench runs (quietly)
# BENCH_DIR is the card they reach (FXS_BENCH_DIR, or a slot of the chassis
# with --slot N).
#
# Peers are declared in tools/dev/peers.d/NN-name.sh (sourced in name order
# at start, with BENCH_DIR the card's directory, BENCH_CHASSIS_DIR the
# chassis's and FXS_BENCH_SLOT the slot its board reports) with
#   bench_peer [--ready 'SHELL TEST'] NAME CMD...
# and started in that order before main at every boot of the card; --ready
# waits (inside the card's namespaces, up to 10 s) until the test succeeds.
# Setup steps that must run inside the card's namespaces before any peer
# (veth pairs, addresses) use
#   bench_setup 'SHELL COMMANDS'
# where the chassis's network namespace is the named namespace "chassis"
# (ip -n chassis ...). main's extra environment goes into
# BENCH_MAIN_ENV+=(NAME=VALUE). The chassis's own processes and setup (once
# per chassis, in its network namespace, files in BENCH_CHASSIS_DIR) use
#   bench_chassis_peer [--ready 'SHELL TEST'] NAME CMD...
#   bench_chassis_setup 'SHELL COMMANDS'

BENCH_DIR="${FXS_BENCH_DIR:-$FXS_ROOT/out/bench}"
# Beside it: collected logs and the console's history.
BENCH_OUT="$(dirname "$BENCH_DIR")"
# What the bench runs, and the tools the subcommands that reach it use
# (ftpupload: main's log uploader, which main runs from its own directory).
BENCH_TARGETS=(main ftpupload board sim_pca9552 sim_i2cdrv udpfe velmora velmctl nbcat icscctl sim_inject
               fdebug chassisd)
BENCH_PEER_NAMES=()
BENCH_PEER_CMDS=()
BENCH_PEER_READY=()
BENCH_SETUP=()
BENCH_MAIN_ENV=()
BENCH_CHASSIS_NAMES=()
BENCH_CHASSIS_CMDS=()
BENCH_CHASSIS_READY=()
BENCH_CHASSIS_SETUP=()

bench_ns_pid() { cat "$BENCH_DIR/ns.pid" 2>/dev/null || true; }

bench_running() {
  local pid; pid="$(bench_ns_pid)"
  [ -n "$pid" ] && [ -d "/proc/$pid" ] && [ -f "$BENCH_DIR/ready" ]
}

bench_exec() {
  bench_running || die "the card is not running ($(bench_where))"
  nsenter -t "$(bench_ns_pid)" -i -m -n -- "$@"
}

bench_bin() { echo "$(build_dir native "")/bin/$1"; }

bench_build() { quiet_build "the bench" native "" "${BENCH_TARGETS[@]}"; }

# bench_tool NAME: the path of a bench tool, built first when missing.
bench_tool() {
  [ -x "$(bench_bin "$1")" ] || bench_build
  bench_bin "$1"
}

# bench_hint: what to put before ./dev so that a hint reaches this card.
bench_hint() {
  if [ -n "${BENCH_SLOT_HINT:-}" ]; then
    echo "./dev $1 --slot $BENCH_SLOT_HINT"
  elif [ "$BENCH_DIR" != "$FXS_ROOT/out/bench" ]; then
    echo "FXS_BENCH_DIR=$BENCH_DIR ./dev $1"
  else
    echo "./dev $1"
  fi
}

# bench_where: why the card cannot be reached, and what to do.
bench_where() {
  local boot; boot="$(cat "$BENCH_DIR/boot" 2>/dev/null || true)"
  case "$boot" in
    booting*|rebooting*) echo "it is booting; try again in a few seconds" ;;
    failed:*) echo "its last boot ${boot}; see $(bench_hint "bench logs") card" ;;
    *) if [ -n "${BENCH_SLOT_HINT:-}" ]; then
         echo "start the chassis with ./dev chassis start, or ./dev chassis insert $BENCH_SLOT_HINT"
       else
         echo "start it with $(bench_hint "bench start")"
       fi ;;
  esac
}

# bench_declare KIND [--ready TEST] NAME CMD...: into BENCH_KIND_NAMES,
# _CMDS and _READY.
bench_declare() {
  local -n names="BENCH_$1_NAMES" cmds="BENCH_$1_CMDS" readies="BENCH_$1_READY"
  local ready=""
  shift
  if [ "${1:-}" = --ready ]; then ready="$2"; shift 2; fi
  names+=("$1")
  shift
  cmds+=("$(printf '%q ' "$@")")
  readies+=("$ready")
}

bench_peer() { bench_declare PEER "$@"; }
bench_setup() { BENCH_SETUP+=("$1"); }
bench_chassis_peer() { bench_declare CHASSIS "$@"; }
bench_chassis_setup() { BENCH_CHASSIS_SETUP+=("$1"); }

bench_load_peers() {
  local f
  BENCH_PEER_NAMES=() BENCH_PEER_CMDS=() BENCH_PEER_READY=() BENCH_SETUP=() BENCH_MAIN_ENV=()
  BENCH_CHASSIS_NAMES=() BENCH_CHASSIS_CMDS=() BENCH_CHASSIS_READY=() BENCH_CHASSIS_SETUP=()
  for f in "$FXS_ROOT"/tools/dev/peers.d/*.sh; do
    [ -e "$f" ] || continue
    # shellcheck disable=SC1090
    source "$f"
  done
}

# bench_wait SECONDS CMD...: retries CMD every 0.1 s until it succeeds.
bench_wait() {
  local deadline=$((EPOCHSECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ "$EPOCHSECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Dies with a hint unless the card runs and main on it.
bench_card_running() {
  bench_running || die "the card is not running: $(bench_where)"
  bench_alive main ||
    die "the card (main) is not running; see $(bench_hint "bench logs"), restart it with $(bench_hint "bench restart")"
}

bench_gone() { [ ! -d "/proc/$1" ]; }

# bench_alive NAME: NAME's process runs (a zombie, killed but not yet
# reaped, does not).
bench_alive() {
  local p stat
  p="$(cat "$BENCH_DIR/$1.pid" 2>/dev/null)" && [ -n "$p" ] || return 1
  read -r stat 2>/dev/null <"/proc/$p/stat" || return 1
  stat="${stat##*) }"
  [ "${stat:0:1}" != Z ]
}

# bench_spawn NAME CMD...: starts CMD in the card's namespaces, detached from
# this shell; its pid goes to NAME.pid, its exit status to NAME.status, its
# output to NAME.log (appended to: one log across the card's boots). False
# when it did not start.
bench_spawn() {
  bench_spawn_in "$BENCH_DIR" "$(bench_ns_pid)" "-i -m -n" "$@"
}

# chassis_spawn DIR NAME CMD...: the same in the network namespace of the
# chassis in DIR, files in DIR.
chassis_spawn() {
  local dir="$1"; shift
  bench_spawn_in "$dir" "$(chassis_pid "$dir")" "-n" "$@"
}

bench_spawn_in() {
  local dir="$1" pid="$2" ns="$3" name="$4"; shift 4
  rm -f "$dir/$name.pid" "$dir/$name.status"
  # shellcheck disable=SC2086
  setsid nsenter -t "$pid" $ns -- \
    bash "$FXS_ROOT/tools/dev/bench-run.sh" "$dir" "$name" "$@" \
    >>"$dir/$name.log" 2>&1 </dev/null &
  bench_wait 5 test -s "$dir/$name.pid"
}

# bench_peer_up NAME TEST: true once TEST passes in the card's namespaces
# (at once without a test) or once NAME has ended.
bench_peer_up() {
  bench_alive "$1" || return 0
  [ -z "$2" ] || bench_exec bash -c "$2"
}

# bench_terminate NAME SECONDS: SIGTERM, then SIGKILL after SECONDS; prints
# and returns the exit status.
bench_terminate() {
  local name="$1" secs="$2" pid
  pid="$(cat "$BENCH_DIR/$name.pid" 2>/dev/null)" || return 0
  if bench_alive "$name"; then
    kill -TERM "$pid" 2>/dev/null || true
    if ! bench_wait "$secs" test -s "$BENCH_DIR/$name.status"; then
      say "$name (pid $pid) ignored SIGTERM for ${secs} s: killing it"
      kill -KILL "$pid" 2>/dev/null || true
      bench_wait 5 test -s "$BENCH_DIR/$name.status" || true
    fi
  fi
  cat "$BENCH_DIR/$name.status" 2>/dev/null || echo "?"
}

# bench_ns_procs PID: every process in the network namespace of the holder
# PID but the holder and its parent (unshare).
bench_ns_procs() {
  local pid="$1" stat parent p
  # Builtins only: this runs over every process of the machine.
  read -r stat 2>/dev/null <"/proc/$pid/stat" || return 0
  stat="${stat##*) }"
  read -r _ parent _ <<<"$stat"
  for p in /proc/[0-9]*; do
    p="${p#/proc/}"
    [ "$p" = "$pid" ] || [ "$p" = "$parent" ] && continue
    [[ "/proc/$p/ns/net" -ef "/proc/$pid/ns/net" ]] && echo "$p"
  done
  return 0
}

# bench_kill_ns_rest PID: kills what else runs in the holder's namespaces
# (the bench started it: a peer's children), one line for each.
bench_kill_ns_rest() {
  local p
  for p in $(bench_ns_procs "$1"); do
    echo "ending leftover process $p ($(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null))"
    kill -KILL "$p" 2>/dev/null || true
  done
}

# The card's state over ICSC, as the chassis reads it ("?" when the card
# does not answer).
bench_card_state() {
  local s
  s="$(bench_exec "$(bench_tool icscctl)" --port "${FXS_ICSC_PORT:-5000}" --timeout 1000 \
    get common card-state state-name 2>/dev/null)" || true
  echo "${s:-?}"
}

# The card's boot as bench-card.sh keeps it: "booting N", "up N", ...
bench_boot() { cat "$BENCH_DIR/boot" 2>/dev/null || echo "not started"; }

# bench_dir_check SETTING DIR: dies when DIR lies below a path the bench
# lays its own tmpfs over: its state there would vanish from its own sight
# (a tree of ours below them is bound back in).
bench_dir_check() {
  case "$2/" in
    "$FXS_ROOT"/*) ;;
    /tmp/*|/vocal/*|/flash/*|/etc/iproute2/*)
      die "$1 $2 lies below a path the bench replaces (/tmp, /vocal, /flash, /etc/iproute2)" ;;
  esac
}

# ---- the chassis ----------------------------------------------------------

chassis_pid() { cat "$1/chassis.pid" 2>/dev/null || true; }

chassis_running() {
  local pid; pid="$(chassis_pid "$1")"
  [ -n "$pid" ] && [ -d "/proc/$pid" ]
}

# chassis_exec DIR CMD...: CMD in the chassis's network namespace.
chassis_exec() {
  local dir="$1"; shift
  chassis_running "$dir" || die "the chassis is not running"
  nsenter -t "$(chassis_pid "$dir")" -n -- "$@"
}

# chassis_cards DIR: "SLOT CARD-DIR" for each card.
chassis_cards() { cat "$1/cards" 2>/dev/null; }

# chassis_card_dir DIR SLOT
chassis_card_dir() { awk -v s="$2" '$1 == s { print $2 }' "$1/cards" 2>/dev/null; }

# chassis_up DIR SLOT:CARD-DIR...: the chassis's namespace, setup and
# processes, then every card booting (bench-card.sh), without waiting for
# them. Each card's declarations come from peers.d with its own directory
# and slot; the chassis's from the first card's, and from the function
# BENCH_CHASSIS_HOOK names when set (DIR/cards lists the cards by then).
chassis_up() {
  local dir="$1" spec slot card i step first=1
  shift
  mkdir -p "$dir"
  rm -f "$dir/chassis.pid" "$dir/cards" "$dir"/*.pid "$dir"/*.status "$dir"/*.log
  for spec in "$@"; do
    echo "${spec%%:*} ${spec#*:}"
  done >"$dir/cards"
  for spec in "$@"; do
    slot="${spec%%:*}" card="${spec#*:}"
    mkdir -p "$card"
    # A fresh start: logs and state of the last run go, /flash stays.
    rm -f "$card"/*.pid "$card"/*.status "$card"/*.log "$card"/ready "$card"/boot "$card"/main.stop "$card"/main.hold
    (
      BENCH_DIR="$card" BENCH_CHASSIS_DIR="$dir" FXS_BENCH_SLOT=$((slot - 1))
      bench_load_peers
      # shellcheck disable=SC2034
      BENCH_MAIN="$(bench_bin main)"
      declare -p BENCH_SETUP BENCH_PEER_NAMES BENCH_PEER_CMDS BENCH_PEER_READY BENCH_MAIN_ENV \
        BENCH_MAIN >"$card/plan.sh"
      if [ $first = 1 ]; then
        [ -z "${BENCH_CHASSIS_HOOK:-}" ] || "$BENCH_CHASSIS_HOOK"
        declare -p BENCH_CHASSIS_SETUP BENCH_CHASSIS_NAMES BENCH_CHASSIS_CMDS BENCH_CHASSIS_READY \
          >"$dir/chassis-plan.sh"
      fi
    )
    first=0
  done
  # shellcheck disable=SC1091
  source "$dir/chassis-plan.sh"
  setsid unshare --net --fork bash -c \
    'ip link set lo up && echo $$ >"$1/chassis.pid.tmp" && mv "$1/chassis.pid.tmp" "$1/chassis.pid" && exec sleep infinity' \
    chassis "$dir" >"$dir/chassis.log" 2>&1 </dev/null &
  bench_wait 10 test -s "$dir/chassis.pid" || die "the chassis's namespace was not set up: $(cat "$dir/chassis.log")"
  for step in ${BENCH_CHASSIS_SETUP[@]+"${BENCH_CHASSIS_SETUP[@]}"}; do
    if ! chassis_exec "$dir" bash -c "$step" >>"$dir/chassis.log" 2>&1; then
      tail -n 5 "$dir/chassis.log" >&2
      chassis_down "$dir" >/dev/null 2>&1
      die "chassis setup step failed: $step"
    fi
  done
  for i in "${!BENCH_CHASSIS_NAMES[@]}"; do
    local name="${BENCH_CHASSIS_NAMES[$i]}" ready="${BENCH_CHASSIS_READY[$i]}"
    eval "chassis_spawn \"\$dir\" \"\$name\" ${BENCH_CHASSIS_CMDS[$i]}" || {
      chassis_down "$dir" >/dev/null 2>&1
      die "$name did not start (see $dir/$name.log)"
    }
    if [ -n "$ready" ] && ! bench_wait 10 chassis_exec "$dir" bash -c "$ready"; then
      tail -n 5 "$dir/$name.log" >&2
      chassis_down "$dir" >/dev/null 2>&1
      die "$name not ready ($ready); see $dir/$name.log"
    fi
  done
  while read -r slot card; do
    card_power_on "$dir" "$card"
  done <"$dir/cards"
}

# card_power_on DIR CARD-DIR: the card's keeper, booting it.
card_power_on() {
  local dir="$1" card="$2"
  rm -f "$card/main.stop" "$card/main.hold" "$card/boot" "$card/card.pid"
  setsid bash "$FXS_ROOT/tools/dev/bench-card.sh" "$card" "$(chassis_pid "$dir")" \
    >>"$card/card.log" 2>&1 </dev/null &
  bench_wait 5 test -s "$card/card.pid" || die "the card's keeper did not start (see $card/card.log)"
}

card_keeper_alive() { local p; p="$(cat "$1/card.pid" 2>/dev/null)" && [ -n "$p" ] && kill -0 "$p" 2>/dev/null; }

# card_settle CARD-DIR SECONDS [AFTER-BOOT]: waits until the card's main is
# up (in a boot after AFTER-BOOT) and its state final (ACTIVE or FAIL), at
# most SECONDS; true with the state in CARD_STATE (not final when the time
# ran out with main up), or false with the reason in CARD_WHY (a failed
# boot names the peer that ended and its status; the keeper has stopped
# the card then).
card_settle() {
  local BENCH_DIR="$1" deadline=$((EPOCHSECONDS + $2)) after="${3:-0}" boot name
  CARD_STATE="?" CARD_WHY=""
  while :; do
    boot="$(bench_boot)"
    case "$boot" in
      "up "*) [ "${boot#up }" -gt "$after" ] || boot="rebooting" ;;
    esac
    case "$boot" in
      failed:*) CARD_WHY="${boot#failed: }"; return 1 ;;
      stopped) CARD_WHY="it was stopped"; return 1 ;;
      up*)
        if bench_main_ready; then
          for name in $(card_peer_names "$BENCH_DIR"); do
            if ! bench_alive "$name" && test -s "$BENCH_DIR/$name.status"; then
              CARD_WHY="peer $name ended with status $(cat "$BENCH_DIR/$name.status") while starting"
              return 1
            fi
          done
          CARD_STATE="$(bench_card_state)"
          case "$CARD_STATE" in ACTIVE|FAIL) return 0 ;; esac
        fi ;;
    esac
    if ! card_keeper_alive "$BENCH_DIR"; then
      CARD_WHY="its keeper ended (see $BENCH_DIR/card.log)"
      return 1
    fi
    if [ "$EPOCHSECONDS" -ge "$deadline" ]; then
      case "$boot" in
        up*) bench_main_ready && return 0
             CARD_WHY="main did not come up (see $BENCH_DIR/main.log)" ;;
        *) CARD_WHY="the card did not boot (${boot})" ;;
      esac
      return 1
    fi
    sleep 0.2
  done
}

card_peer_names() {
  (
    # shellcheck disable=SC1091
    source "$1/plan.sh" 2>/dev/null && echo "${BENCH_PEER_NAMES[*]}"
  )
}

bench_main_ready() {
  bench_alive main && grep -q "Card is ready" "$BENCH_DIR/main.log" 2>/dev/null &&
    bench_exec nc -z 127.0.0.1 10000
}

# card_power_off CARD-DIR [pull]: stops the card: main with SIGTERM (its
# status printed), then the keeper takes the peers and namespaces down.
# With pull, everything of the card is killed at once, as if unplugged.
card_power_off() {
  local BENCH_DIR="$1" how="${2:-}" status="" pid deadline
  touch "$BENCH_DIR/main.stop"
  if [ "$how" = pull ]; then
    pid="$(bench_ns_pid)"
    [ -n "$pid" ] && bench_ns_procs "$pid" | xargs -r kill -KILL 2>/dev/null || true
  fi
  deadline=$((EPOCHSECONDS + 40))
  while card_keeper_alive "$BENCH_DIR" && [ "$EPOCHSECONDS" -lt "$deadline" ]; do
    if [ -z "$status" ] && [ "$how" != pull ] && bench_alive main; then
      status="$(bench_terminate main 15)"
      echo "main exited with status $status"
    fi
    sleep 0.1
  done
  if card_keeper_alive "$BENCH_DIR"; then
    say "the card's keeper did not end: killing what is left of the card"
    kill -KILL "$(cat "$BENCH_DIR/card.pid")" 2>/dev/null || true
  fi
  # Whatever a killed keeper left behind.
  pid="$(bench_ns_pid)"
  if [ -n "$pid" ] && [ -d "/proc/$pid" ]; then
    bench_ns_procs "$pid" | xargs -r kill -KILL 2>/dev/null || true
    kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$BENCH_DIR/ns.pid" "$BENCH_DIR/ready" "$BENCH_DIR/card.pid"
}

# chassis_off DIR PREFIX: chassis_down, each of its lines said with PREFIX
# instead of the slot's number when PREFIX is empty; false when a main did
# not exit 0.
chassis_off() {
  local out line rc=0
  out="$(chassis_down "$1")" || rc=1
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    if [ -n "$2" ]; then say "$2$line"; else say "${line#*: }"; fi
  done <<<"$out"
  return $rc
}

# chassis_down DIR: every card off (one "slot N: main exited with status S"
# line each), then the chassis's processes and namespace. False when a main
# did not exit 0.
chassis_down() {
  local dir="$1" rc=0 slot card line i status
  while read -r slot card; do
    [ -f "$card/card.pid" ] || [ -f "$card/ns.pid" ] || continue
    while IFS= read -r line; do
      echo "$slot: $line"
      [ "$line" = "main exited with status 0" ] || rc=1
    done < <(card_power_off "$card")
  done < <(chassis_cards "$dir")
  if [ -f "$dir/chassis-plan.sh" ]; then
    # shellcheck disable=SC1091
    source "$dir/chassis-plan.sh"
    for ((i = ${#BENCH_CHASSIS_NAMES[@]} - 1; i >= 0; i--)); do
      local name="${BENCH_CHASSIS_NAMES[$i]}"
      [ -f "$dir/$name.pid" ] || continue
      status="$(BENCH_DIR="$dir" bench_terminate "$name" 5)"
      [ "$status" = 0 ] || say "$name exited with status $status"
    done
  fi
  local pid; pid="$(chassis_pid "$dir")"
  if [ -n "$pid" ] && [ -d "/proc/$pid" ]; then
    bench_kill_ns_rest "$pid" | while IFS= read -r line; do say "$line"; done
    kill -TERM "$pid" 2>/dev/null || true
    bench_wait 5 bench_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/chassis.pid"
  return $rc
}

# card_report CARD-DIR: one line for the card and one for each of its
# processes; false when the card or any of them is down.
card_report() {
  local BENCH_DIR="$1" rc=0 boot name f
  boot="$(bench_boot)"
  case "$boot" in
    up*) echo "  card: up, boot ${boot#up } (namespace holder pid $(bench_ns_pid)), state $(bench_card_state)" ;;
    *) echo "  card: $boot"; rc=1 ;;
  esac
  card_keeper_alive "$BENCH_DIR" || { [ "$boot" = stopped ] || echo "  card's keeper: ended (see $BENCH_DIR/card.log)"; rc=1; }
  for name in main $(card_peer_names "$BENCH_DIR"); do
    f="$BENCH_DIR/$name.pid"
    if bench_alive "$name"; then
      echo "  $name: running (pid $(cat "$f"))"
    elif [ -f "$f" ]; then
      echo "  $name: ended with status $(cat "$BENCH_DIR/$name.status" 2>/dev/null || echo '?')"
      rc=1
    else
      echo "  $name: not started"
      rc=1
    fi
  done
  return $rc
}

# chassis_report DIR: the chassis's processes, then each card (card_report,
# the card's lines after a "slot N" line unless the card's directory is the
# chassis's); false when anything is down.
chassis_report() {
  local dir="$1" rc=0 name slot card
  if [ -f "$dir/chassis-plan.sh" ]; then
    # shellcheck disable=SC1091
    source "$dir/chassis-plan.sh"
    for name in ${BENCH_CHASSIS_NAMES[@]+"${BENCH_CHASSIS_NAMES[@]}"}; do
      if BENCH_DIR="$dir" bench_alive "$name"; then
        echo "  $name: running (pid $(cat "$dir/$name.pid"))"
      else
        echo "  $name: ended with status $(cat "$dir/$name.status" 2>/dev/null || echo '?')"
        rc=1
      fi
    done
  fi
  while read -r slot card; do
    [ "$card" = "$dir" ] || echo "slot $slot:"
    card_report "$card" || rc=1
  done < <(chassis_cards "$dir")
  return $rc
}
