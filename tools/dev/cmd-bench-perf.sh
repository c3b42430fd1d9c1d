# ./dev bench-perf: floors and the card's figures measured in one run on
# this machine, printed side by side and written to bench/results/latest.md.
# Runs its own bench (state in out/bench-perf) so a running ./dev bench is
# left alone.

# shellcheck source=tools/dev/bench-chassis-perf.sh
source "$FXS_ROOT/tools/dev/bench-chassis-perf.sh"

dev_register bench-perf measurements "[--quick] [--no-armhf] | --chassis [N]" \
  "the card's speed, CPU, memory and size beside the floors" \
  "Runs its own bench (state in out/bench-perf), so a running ./dev bench is
left alone. Figures and targets: docs/perf.md.
--quick       small counts: a smoke run, the figures are only indicative
--no-armhf    skip the armhf build (the size of main on the card)
--chassis [N] instead, a chassis of its own (out/chassis-perf) with N cards
              (1-16, default 16; the largest N that starts when N do not):
              start to all ACTIVE, the chassis's CPU at a 1 s poll and
              main's per card, memory per card, one poll of every card,
              collect-logs of every card; into bench/results/chassis.md"
cmd_bench_perf() {
  local quick=0 armhf=1
  if [ "${1:-}" = --chassis ]; then
    [ $# -le 2 ] || dev_bad_usage bench-perf "--chassis takes one number at most"
    local n="${2:-16}"
    [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -ge 1 ] && [ "$n" -le $CHASSIS_MAX ] ||
      dev_bad_usage bench-perf "a chassis holds 1 to $CHASSIS_MAX cards, not '$n'"
    [ "$(id -u)" = 0 ] || die "the chassis runs in namespaces of its own and needs root"
    dev_check_only && return 0
    chassis_perf "$n"
    return
  fi
  while [ $# -gt 0 ]; do
    case "$1" in
      --quick) quick=1 ;;
      --no-armhf) armhf=0 ;;
      *) dev_bad_usage bench-perf "unknown option '$1'" ;;
    esac
    shift
  done
  [ "$(id -u)" = 0 ] || die "bench-perf runs in namespaces of its own and needs root"
  dev_check_only && return 0
  local count=20000 seconds=5 card_count=5000 card_seconds=10 soak=100000 idle=30
  if [ $quick = 1 ]; then
    count=2000 seconds=2 card_count=500 card_seconds=3 soak=10000 idle=5
  fi
  quiet_build "the benchmarks" native "" "${BENCH_TARGETS[@]}" bench_floors bench_card
  local bin; bin="$(build_dir native "")/bin"
  local out="$FXS_ROOT/out/bench-perf"
  mkdir -p "$out"
  local raw="$out/raw.tsv"
  : >"$raw"
  local load_before; load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

  say "floors (${count} round trips or ${seconds} s each)"
  "$FXS_ROOT/tests/nsrun" "$bin/bench_floors" --count "$count" --seconds "$seconds" >>"$raw" ||
    die "floor benchmark failed"

  # The card with its peers, in a bench of its own; the LED stand-in draws
  # no panel, so that nothing but the drivers' reports reaches main when
  # it idles.
  local BENCH_DIR="$out/bench" FXS_BENCH_PCA9552="${FXS_BENCH_PCA9552:-} --panel none"
  # Peers are declared afresh by start and by stop: keep one list.
  local BENCH_PEER_NAMES=() BENCH_PEER_CMDS=() BENCH_PEER_READY=() BENCH_SETUP=() BENCH_MAIN_ENV=()
  say "starting the card's bench"
  bench_start
  local main_pid; main_pid="$(cat "$BENCH_DIR/main.pid")"
  if [ -f "$BENCH_DIR/udpfe.pid" ]; then
    say "card figures (${card_count} requests or ${card_seconds} s each; ${soak} for memory; ${idle} s idle)"
    if ! bench_exec "$bin/bench_card" --port "${FXS_ICSC_PORT:-5000}" --engine-log /dev/vocallog \
      --main-pid "$main_pid" --count "$card_count" --seconds "$card_seconds" --soak "$soak" \
      --idle-seconds "$idle" >>"$raw"; then
      say "card benchmark failed; main's log: $BENCH_DIR/main.log"
    fi
  else
    say "no UDP front end on the bench: card figures skipped"
  fi
  bench_exec cat /proc/"$main_pid"/status 2>/dev/null | awk '/VmHWM/{print "card\thwm\t"$2}' >>"$raw"
  if [ -f "$BENCH_DIR/udpfe.pid" ]; then
    say "main's start: to its first ICSC answer and to ACTIVE (the bench's main stopped)"
    touch "$BENCH_DIR/main.hold"
    bench_terminate main 15 >/dev/null
    bench_load_peers
    bench_exec env FXS_TRACE_STDERR=1 ${BENCH_MAIN_ENV[@]+"${BENCH_MAIN_ENV[@]}"} "$bin/bench_card" \
      --port "${FXS_ICSC_PORT:-5000}" --startup "$bin/main" >>"$raw" 2>>"$BENCH_DIR/main-startup.log" ||
      say "main did not answer after its start; see $BENCH_DIR/main-startup.log"
  fi
  BENCH_PEER_NAMES=() BENCH_PEER_CMDS=() BENCH_PEER_READY=() BENCH_SETUP=() BENCH_MAIN_ENV=()
  bench_stop || say "the bench did not stop cleanly"

  local strip_native=""
  strip_native="$(mktemp)"
  strip -o "$strip_native" "$bin/main" && printf 'size\tnative\t%s\n' "$(stat -c %s "$strip_native")" >>"$raw"
  rm -f "$strip_native"
  if [ $armhf = 1 ]; then
    say "building the armhf main for its size"
    if configure_and_build armhf "" main; then
      local s; s="$(mktemp)"
      arm-linux-gnueabihf-strip -o "$s" "$(build_dir armhf "")/bin/main" &&
        printf 'size\tarmhf\t%s\n' "$(stat -c %s "$s")" >>"$raw"
      rm -f "$s"
    else
      say "armhf build failed: no armhf size"
    fi
  fi

  local report="$FXS_ROOT/bench/results/latest.md"
  mkdir -p "$(dirname "$report")"
  {
    echo "# Bench results"
    echo
    echo "Taken $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($(awk -F': ' '/model name/{print $2; exit}' /proc/cpuinfo))."
    echo "Load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)."
    [ $quick = 1 ] && echo "Quick run (small counts): figures are indicative only."
    echo
    awk -f "$FXS_ROOT/tools/dev/bench-perf-report.awk" "$raw"
    # Why a target is missed is a judgement: kept by hand beside the figures.
    if [ -s "$FXS_ROOT/bench/results/notes.md" ]; then
      echo
      cat "$FXS_ROOT/bench/results/notes.md"
    fi
  } >"$report"
  cat "$report"
  say "written to bench/results/latest.md (raw figures in $raw)"
}
