# ./dev panel: the bench card's front panel, drawn live in the terminal from
# what the pca9552 stand-in was told to drive and read over ICSC (its
# "panel:" log lines), with the newest lines of main's log under it. `./dev bench` (foreground, on a
# terminal) shows the same view.

# panel_draw PHASE: one frame.
panel_draw() {
  local phase="$1" log="$BENCH_DIR/pca9552.log" line state alarms
  line="$(grep '^panel: ' "$log" 2>/dev/null | tail -n 1)"
  state="$(sed -n 's/^panel: state=\([^ ]*\).*/\1/p' <<<"$line")"
  # Card state and alarms come over ICSC (the stand-in reads them as the
  # chassis does).
  alarms="$(sed -n 's/.* alarms=\([^ ]*\).*/\1/p' <<<"$line" | sed 's/^-$/none/; s/,/, /g; s/_/ /g')"
  printf '\033[H\033[2J---------------- 8fxs front panel ----------------\n'
  printf ' card state: %s\n hardware alarms: %s\n\n' "${state:-?}" "${alarms:-?}"
  local kv name value on names="" glyphs="" words=""
  for kv in ${line#panel: state=* }; do
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
  printf '%s\n%s\n%s\n' "$names" "$glyphs" "$words"
  printf -- '--------------------------------------------------\n'
  tail -n 12 "$BENCH_DIR/main.log" 2>/dev/null | cut -c1-160
}

# panel_follow PID: redraws until PID ends.
panel_follow() {
  local pid="$1" phase=0
  while kill -0 "$pid" 2>/dev/null; do
    panel_draw "$phase"
    phase=$((phase + 1))
    sleep 0.25
  done
}

dev_register "panel" "draw the bench card's front panel live (state, fail, dummy, ports 1-8)"
cmd_panel() {
  [ -f "$BENCH_DIR/pca9552.log" ] || die "no front panel: start the bench first (./dev bench start)"
  [ -f "$BENCH_DIR/main.pid" ] || die "the card is not running"
  trap 'printf "\n"; exit 0' INT
  panel_follow "$(cat "$BENCH_DIR/main.pid")"
}
