# ./dev panel: the bench card's front panel, drawn live in the terminal from
# what the pca9552 stand-in was told to drive and read over ICSC (its
# "panel:" log lines), with the newest lines of main's log and a status line
# under it. `./dev bench` (foreground, on a terminal) shows the same view.

# The newest panel line without its time: "state=S FAIL=off DUMMY=on P1=..."
panel_latest() {
  grep -o 'panel: state=.*' "$BENCH_DIR/pca9552.log" 2>/dev/null | tail -n 1 | sed 's/^panel: //'
}

# panel_draw PHASE HINT: one frame, drawn over the previous one.
panel_draw() {
  local phase="$1" hint="$2" line state alarms
  line="$(panel_latest)"
  state="$(sed -n 's/^state=\([^ ]*\).*/\1/p' <<<"$line")"
  # Card state and alarms come over ICSC (the stand-in reads them as the
  # chassis does).
  alarms="$(sed -n 's/.* alarms=\([^ ]*\).*/\1/p' <<<"$line" | sed 's/^-$/none/; s/,/, /g; s/_/ /g')"
  local kv name value on names="" glyphs="" words=""
  for kv in ${line#state=* }; do
    [ "$kv" = "$line" ] && break
    name="${kv%%=*}"; value="${kv#*=}"; on=0
    [ "$name" = alarms ] && continue
    case "$value" in
      on) on=1 ;;
      slow) [ $(((phase / 4) % 2)) = 0 ] && on=1 ;;
      fast) [ $((phase % 2)) = 0 ] && on=1 ;;
    esac
    names+="$(printf ' %-6s' "$name")"
    if [ $on = 1 ] && [ "$name" = FAIL ]; then
      glyphs+=$' \033[1;31m(*)\033[0m   '
    elif [ $on = 1 ]; then
      glyphs+=$' \033[1;32m(*)\033[0m   '
    else
      glyphs+=' ( )   '
    fi
    words+="$(printf ' %-6s' "$value")"
  done
  local rows cols top=0
  rows="$(term_rows)"
  cols="$(term_cols)"
  [ -z "${PANEL_BANNER:-}" ] || top=1
  # Redrawn in place, line by line: clearing the whole screen flickers.
  {
    # The foreground bench's ready line stays on top.
    [ -z "${PANEL_BANNER:-}" ] || printf '%s\n' "${PANEL_BANNER:0:cols-1}"
    printf -- '---------------- 8fxs front panel ----------------\n'
    printf ' card state: %s\n hardware alarms: %s\n\n' "${state:-?}" "${alarms:-?}"
    printf '%s\n%s\n%s\n' "$names" "$glyphs" "$words"
    printf -- '--------------------------------------------------\n'
    tail -n $((rows > 14 ? rows - 9 - top : 4)) "$BENCH_DIR/main.log" 2>/dev/null | cut -c1-"$((cols - 1))"
  } | sed 's/$/\x1b[K/'
  local status=" ${state:-?} | console: ./dev console | objects: ./dev icsc | $hint"
  printf '\033[J\033[7m%s\033[0m' "${status:0:cols-1}"
}

# panel_follow PID HINT: redraws until PID ends.
panel_follow() {
  local pid="$1" hint="$2" phase=0
  printf '\033[2J'
  while kill -0 "$pid" 2>/dev/null; do
    printf '\033[H'
    panel_draw "$phase" "$hint"
    phase=$((phase + 1))
    sleep 0.25
  done
  printf '\n'
}

dev_register panel bench "[--once]" \
  "the card's front panel, live: LEDs, state, main's log, hints" \
  "The view redraws four times a second until Ctrl-C (the bench keeps running).
--once  print one plain line for scripts and exit: the card state and every LED
        (FAIL, DUMMY, P1..P8) as on, off, slow or fast, for example
        state=ACTIVE FAIL=off DUMMY=on P1=off ... P8=off"
cmd_panel() {
  local once=0
  dev_flag panel --once "$@" && once=1
  bench_running && [ -f "$BENCH_DIR/pca9552.log" ] ||
    die "no front panel: start the bench first ($(bench_hint "bench start"))"
  if [ $once = 1 ]; then
    local line; line="$(panel_latest)"
    [ -n "$line" ] || die "the LED driver stand-in has drawn no panel yet"
    echo "$line"
    return 0
  fi
  card_keeper_alive "$BENCH_DIR" || die "the card is not running"
  trap 'printf "\n"; exit 0' INT
  panel_follow "$(cat "$BENCH_DIR/card.pid")" "Ctrl-C leaves this view"
}
