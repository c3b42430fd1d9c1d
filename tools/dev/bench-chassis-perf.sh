# ./dev bench-perf --chassis [N]: the chassis's figures with N cards
# (default 16), in a chassis of its own (state in out/chassis-perf), written
# to bench/results/chassis.md (docs/perf.md).

chassis_perf() {
  local n="$1"
  local CHASSIS_DIR="$FXS_ROOT/out/chassis-perf" out t0 started asked="$n"
  local load_before; load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
  bench_build
  while :; do
    say "starting a chassis of $n card(s)"
    t0=$EPOCHREALTIME
    if out="$(chassis_start "$n" 2>&1)"; then
      started="$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')"
      break
    fi
    say "$n card(s) did not start: $(tail -n 1 <<<"$out")"
    chassis_down "$CHASSIS_DIR" >/dev/null 2>&1 || true
    [ "$n" -gt 1 ] || die "not even one card started"
    n=$((n - 1))
  done
  say "$n card(s) up in $started s; measuring"
  # CPU ticks (utime + stime) and resident KiB of the processes of one card,
  # or of the chassis's own processes.
  local hz; hz="$(getconf CLK_TCK)"
  perf_procs() {
    local holder="$1"
    bench_ns_procs "$holder"
  }
  perf_ticks() {
    local p total=0 stat
    for p in "$@"; do
      read -r stat 2>/dev/null <"/proc/$p/stat" || continue
      stat="${stat##*) }"
      set -- $stat
      total=$((total + ${12} + ${13}))
    done
    echo "$total"
  }
  perf_rss() {
    local p total=0 kb
    for p in "$@"; do
      kb="$(awk '/^VmRSS/ {print $2}' "/proc/$p/status" 2>/dev/null)"
      total=$((total + ${kb:-0}))
    done
    echo "$total"
  }
  local slot card all=() mains=() rss=() main_rss=()
  while read -r slot card; do
    local holder; holder="$(cat "$card/ns.pid")"
    local procs; procs=($(perf_procs "$holder"))
    all+=("${procs[@]}")
    mains+=("$(cat "$card/main.pid")")
    rss+=("$(perf_rss "${procs[@]}")")
    main_rss+=("$(perf_rss "$(cat "$card/main.pid")")")
  done <"$CHASSIS_DIR/cards"
  all+=($(bench_ns_procs "$(chassis_pid "$CHASSIS_DIR")"))
  local window=30 c0 c1 m0 m1
  c0="$(perf_ticks "${all[@]}")" m0="$(perf_ticks "${mains[@]}")"
  sleep "$window"
  c1="$(perf_ticks "${all[@]}")" m1="$(perf_ticks "${mains[@]}")"
  local polls=()
  local i
  for i in $(seq 10); do
    polls+=("$(sed -n '1s/.*last poll \([0-9.]*\) ms.*/\1/p' "$CHASSIS_DIR/slots.txt")")
    sleep 1
  done
  say "collecting the logs of $n card(s)"
  t0=$EPOCHREALTIME
  local logs="failed"
  if chassis_collect_logs >/dev/null 2>&1; then
    logs="$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')"
  fi
  chassis_down "$CHASSIS_DIR" >/dev/null 2>&1 || true
  local report="$FXS_ROOT/bench/results/chassis.md"
  {
    echo "# Chassis figures"
    echo
    echo "Taken $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($(awk -F': ' '/model name/{print $2; exit}' /proc/cpuinfo)) with ./dev bench-perf --chassis $asked."
    echo "Load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)."
    [ "$n" = "$asked" ] || echo "Only $n of $asked cards started on this machine: the figures are for $n."
    echo
    echo "| figure | value |"
    echo "|---|---:|"
    echo "| cards | $n |"
    echo "| start to every card ACTIVE (build check included) | $started s |"
    awk -v c="$((c1 - c0))" -v m="$((m1 - m0))" -v hz="$hz" -v w="$window" -v n="$n" 'BEGIN {
      printf "| CPU of the whole chassis at a 1 s poll, share of one core (goal: at most 25 %%) | %.1f %% |\n", 100 * c / hz / w
      printf "| CPU of main, per card | %.2f %% |\n", 100 * m / hz / w / n }'
    printf '%s\n' "${rss[@]}" | awk -v n="$n" '{ s += $1; if ($1 > m) m = $1 }
      END { printf "| resident memory per card (main and its peers), mean / max | %d / %d KiB |\n", s / n, m }'
    printf '%s\n' "${main_rss[@]}" | awk -v n="$n" '{ s += $1 } END { printf "| resident memory of main, mean | %d KiB |\n", s / n }'
    printf '%s\n' "${polls[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "| one poll of every card, median / max of %d | %s / %s ms |\n", NR, v[int((NR + 1) / 2)], v[NR] }'
    echo "| collect-logs of every card | $logs s |"
  } >"$report"
  cat "$report"
  say "written to bench/results/chassis.md"
}
