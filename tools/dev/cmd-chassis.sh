# ./dev chassis: up to 16 bench cards in one chassis, each in slot 1..N with
# namespaces of its own (tools/dev/bench-lib.sh), the chassis controller
# (sim/chassisd) polling them all over the backplane, and the chassis's FTP
# server. State and logs in out/chassis (FXS_CHASSIS_DIR): the chassis's own
# files, and slotN/ for each card as out/bench is for the bench's card.

CHASSIS_DIR="${FXS_CHASSIS_DIR:-$FXS_ROOT/out/chassis}"
CHASSIS_MAX=16

dev_register chassis bench "start [N] | stop | status | watch [--once] | pull SLOT | insert SLOT | collect-logs" \
  "up to 16 bench cards in one chassis, with its controller" \
  "start [N]      N cards (1-16, default 4) in slots 1..N, each a whole bench
               card (main and its peers' stand-ins) in namespaces of its own,
               its board reporting its slot; the chassis controller polls them
               every second. Prints one line once every card has settled;
               fails naming the slot when a card does not come up
stop           stop every card (each main's exit status is printed), the
               controller and the FTP server
status         one line per slot; exit 1 when a card or a peer is down
watch [--once] the controller's live table of the slots and its newest lines
               until Ctrl-C (--once: the table once)
pull SLOT      remove a card as if unplugged: its processes and namespaces go
insert SLOT    put it back: it boots as after power-on (its /flash was kept)
collect-logs   every card's logs at once over ICSC to the chassis's FTP
               server; one archive per slot into out/logs/
(none)         this help

Every card tool reaches one slot with --slot N: ./dev icsc --slot 3 ...,
./dev console --slot 3 ..., ./dev inject --slot 3 .... The controller's page
is out/chassis/index.html (refreshed every poll), its lines are in
out/chassis/controller.log; a card's logs in out/chassis/slotN/. The bench's
settings (FXS_BENCH_I2C and the others, ./dev help bench) apply to every
card; FXS_CHASSIS_DIR=DIR keeps the chassis's state elsewhere.
docs/chassis.md describes it."
cmd_chassis() {
  local sub="${1:-}"
  [ $# -gt 0 ] && shift
  case "$sub" in
    start) [ $# -le 1 ] || dev_bad_usage chassis "chassis start takes one number" ;;
    stop|status|collect-logs) [ $# -eq 0 ] || dev_bad_usage chassis "chassis $sub takes no arguments" ;;
    watch) [ $# -eq 0 ] || [ "$*" = --once ] || dev_bad_usage chassis "chassis watch takes --once only" ;;
    pull|insert) [ $# -eq 1 ] || dev_bad_usage chassis "chassis $sub takes one slot" ;;
    "") dev_usage chassis; return 0 ;;
    *) dev_bad_usage chassis "unknown chassis subcommand '$sub'" ;;
  esac
  [ "$(id -u)" = 0 ] || die "the chassis runs in namespaces of its own and needs root"
  case "$sub" in
    start) chassis_start "${1:-4}" ;;
    stop) chassis_stop ;;
    status) chassis_status ;;
    watch) chassis_watch "$@" ;;
    pull) chassis_pull "$(chassis_slot_arg "$1")" ;;
    insert) chassis_insert "$(chassis_slot_arg "$1")" ;;
    collect-logs) chassis_collect_logs ;;
  esac
}

# chassis_slot_arg TEXT: the slot number of a running chassis, or bad usage.
chassis_slot_arg() {
  [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -ge 1 ] && [ "$1" -le $CHASSIS_MAX ] ||
    dev_bad_usage chassis "a slot is a number 1-$CHASSIS_MAX, not '$1'"
  chassis_running "$CHASSIS_DIR" || die "the chassis is not running (./dev chassis start)"
  [ -n "$(chassis_card_dir "$CHASSIS_DIR" "$1")" ] ||
    die "slot $1 is not in the chassis (slots $(chassis_cards "$CHASSIS_DIR" | awk '{print $1}' | tr '\n' ' '))"
  echo "$1"
}

# chassis_use_slot N: the card tools (bench_exec and the others) reach the
# chassis's slot N; dies when it is not there.
chassis_use_slot() {
  [[ "$1" =~ ^[0-9]+$ ]] || die "--slot wants a slot number, not '$1'"
  chassis_running "$CHASSIS_DIR" || die "the chassis is not running (./dev chassis start)"
  local dir; dir="$(chassis_card_dir "$CHASSIS_DIR" "$1")"
  [ -n "$dir" ] || die "slot $1 is not in the chassis (slots $(chassis_cards "$CHASSIS_DIR" | awk '{print $1}' | tr '\n' ' '))"
  BENCH_DIR="$dir"
  BENCH_SLOT_HINT="$1"
}

# The controller: one more process of the chassis, polling every card's
# backplane address.
chassis_controller_peer() {
  local args=() slot card
  while read -r slot card; do
    args+=(--card "$slot=172.30.30.$slot")
  done <"$CHASSIS_DIR/cards"
  bench_chassis_peer controller "$(bench_bin chassisd)" --interval-ms "${FXS_CHASSIS_POLL_MS:-1000}" \
    --page "$CHASSIS_DIR/index.html" --table "$CHASSIS_DIR/slots.txt" "${args[@]}"
}

chassis_start() {
  local n="$1" slot specs=()
  [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -ge 1 ] && [ "$n" -le $CHASSIS_MAX ] ||
    dev_bad_usage chassis "a chassis holds 1 to $CHASSIS_MAX cards, not '$n'"
  chassis_running "$CHASSIS_DIR" && die "the chassis is already running (./dev chassis stop first)"
  bench_dir_check FXS_CHASSIS_DIR "$CHASSIS_DIR"
  if [ -f "$CHASSIS_DIR/chassis.pid" ]; then
    say "removing the state of an earlier chassis"
    chassis_down "$CHASSIS_DIR" >/dev/null 2>&1 || true
  fi
  ensure_packages util-linux iproute2 netcat-openbsd
  bench_build
  rm -rf "$CHASSIS_DIR"/slot*/{*.log,*.pid,*.status,boot,pulled}
  for ((slot = 1; slot <= n; slot++)); do
    specs+=("$slot:$CHASSIS_DIR/slot$slot")
  done
  say "starting $n card(s) in slots 1-$n and the chassis controller"
  BENCH_CHASSIS_HOOK=chassis_controller_peer chassis_up "$CHASSIS_DIR" "${specs[@]}"
  local failed=() states=() deadline=$((EPOCHSECONDS + 30 + 10 * n))
  for ((slot = 1; slot <= n; slot++)); do
    if card_settle "$CHASSIS_DIR/slot$slot" $((deadline > EPOCHSECONDS ? deadline - EPOCHSECONDS : 1)); then
      states+=("$CARD_STATE")
    else
      failed+=("slot $slot: $CARD_WHY")
    fi
  done
  if [ ${#failed[@]} -gt 0 ]; then
    printf 'dev: %s\n' "${failed[@]}" >&2
    chassis_down "$CHASSIS_DIR" >/dev/null 2>&1
    die "the chassis did not come up: ${#failed[@]} card(s) failed (their logs: $CHASSIS_DIR/slotN/)"
  fi
  local summary
  summary="$(printf '%s\n' "${states[@]}" | sort | uniq -c | awk '{printf "%s%d %s", (NR > 1 ? ", " : ""), $1, $2}')"
  echo "chassis: $n card(s) in slots 1-$n ($summary; backplane 172.30.30.1-$n)." \
    "A card: ./dev console --slot N, ./dev icsc --slot N get|set|walk, ./dev inject --slot N." \
    "View: ./dev chassis watch, $CHASSIS_DIR/index.html. Stop: ./dev chassis stop."
}

chassis_stop() {
  if ! chassis_running "$CHASSIS_DIR" && [ ! -f "$CHASSIS_DIR/chassis.pid" ]; then
    echo "chassis: the chassis is not running"
    return 0
  fi
  local rc=0
  chassis_off "$CHASSIS_DIR" "slot " || rc=1
  say "chassis stopped"
  return $rc
}

# chassis_slot_line SLOT CARD-DIR: one line for the slot; false when its
# card or one of its processes is down (a pulled slot is empty, not down).
chassis_slot_line() {
  local slot="$1" BENCH_DIR="$2" boot name down=()
  if [ -e "$BENCH_DIR/pulled" ]; then
    echo "slot $slot: empty (pulled; ./dev chassis insert $slot)"
    return 0
  fi
  boot="$(bench_boot)"
  for name in main $(card_peer_names "$BENCH_DIR"); do
    bench_alive "$name" || down+=("$name")
  done
  case "$boot" in
    up*)
      if [ ${#down[@]} -eq 0 ]; then
        echo "slot $slot: $(bench_card_state), boot ${boot#up }, main and $(($(card_peer_names "$BENCH_DIR" | wc -w))) peers running"
        return 0
      fi
      echo "slot $slot: up, boot ${boot#up }, down: ${down[*]} (see $BENCH_DIR/)" ;;
    *) echo "slot $slot: $boot" ;;
  esac
  return 1
}

chassis_status() {
  if ! chassis_running "$CHASSIS_DIR"; then
    echo "chassis: not running"
    return 1
  fi
  local rc=0 slot card name
  # shellcheck disable=SC1091
  source "$CHASSIS_DIR/chassis-plan.sh"
  local procs=()
  for name in "${BENCH_CHASSIS_NAMES[@]}"; do
    if BENCH_DIR="$CHASSIS_DIR" bench_alive "$name"; then
      procs+=("$name running")
    else
      procs+=("$name DOWN")
      rc=1
    fi
  done
  echo "chassis: running ($(IFS=,; echo "${procs[*]}" | sed 's/,/, /g'))"
  while read -r slot card; do
    chassis_slot_line "$slot" "$card" || rc=1
  done < <(chassis_cards "$CHASSIS_DIR")
  return $rc
}

chassis_watch() {
  chassis_running "$CHASSIS_DIR" || die "the chassis is not running (./dev chassis start)"
  local table="$CHASSIS_DIR/slots.txt" log="$CHASSIS_DIR/controller.log"
  bench_wait 5 test -s "$table" || die "the controller has written no table yet (see $log)"
  if [ "${1:-}" = --once ]; then
    cat "$table"
    return 0
  fi
  trap 'printf "\n"; exit 0' INT
  printf '\033[2J'
  while chassis_running "$CHASSIS_DIR"; do
    local rows cols
    rows="$(term_rows)" cols="$(term_cols)"
    {
      cut -c1-"$((cols - 1))" "$table"
      echo
      tail -n "$((rows > 30 ? rows - 26 : 4))" "$log" | cut -c1-"$((cols - 1))"
    } | sed 's/$/\x1b[K/' | { printf '\033[H'; cat; }
    printf '\033[J\033[7m%s\033[0m' " chassis | a card: ./dev console --slot N | Ctrl-C leaves this view"
    sleep 0.5
  done
  printf '\n'
  say "the chassis has stopped"
}

chassis_pull() {
  local slot="$1" card; card="$(chassis_card_dir "$CHASSIS_DIR" "$slot")"
  [ ! -e "$card/pulled" ] || die "slot $slot is already empty"
  card_power_off "$card" pull >/dev/null
  touch "$card/pulled"
  echo "chassis: slot $slot pulled"
}

chassis_insert() {
  local slot="$1" card; card="$(chassis_card_dir "$CHASSIS_DIR" "$slot")"
  card_keeper_alive "$card" && die "slot $slot holds a card (./dev chassis pull $slot first)"
  rm -f "$card/pulled"
  card_power_on "$CHASSIS_DIR" "$card"
  card_settle "$card" 60 || die "the card in slot $slot did not come up: $CARD_WHY"
  echo "chassis: slot $slot inserted, card $CARD_STATE"
}

chassis_collect_logs() {
  chassis_running "$CHASSIS_DIR" || die "the chassis is not running (./dev chassis start)"
  local stamp slot card pids=() slots=() i rc=0 out
  stamp="$(date +%Y%m%d-%H%M%S)"
  out="$(mktemp -d)"
  while read -r slot card; do
    [ -e "$card/pulled" ] && continue
    (
      BENCH_DIR="$card" BENCH_CHASSIS_DIR="$CHASSIS_DIR" BENCH_SLOT_HINT="$slot"
      BENCH_OUT="$(dirname "$CHASSIS_DIR")"
      bench_collect_logs "getlog-$stamp-slot$slot" 2>&1
    ) >"$out/$slot" &
    pids+=($!) slots+=("$slot")
  done < <(chassis_cards "$CHASSIS_DIR")
  say "log collection started on ${#slots[@]} card(s)"
  for i in "${!pids[@]}"; do
    if wait "${pids[$i]}"; then
      echo "slot ${slots[$i]}: $(grep -m1 '\.tar\.gz$' "$out/${slots[$i]}")," \
        "$(sed -n 's/^received by the FTP server with //p' "$out/${slots[$i]}")"
    else
      echo "slot ${slots[$i]}: failed: $(grep -h 'error:' "$out/${slots[$i]}" | sed 's/^dev: error: //' | tail -n 1)"
      rc=1
    fi
  done
  rm -rf "$out"
  return $rc
}
