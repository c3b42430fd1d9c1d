# ./dev bench capture: the ICSC traffic between the chassis side and the
# card (UDP to and from the front end, inside the bench's network
# namespace) into a pcap file with dumpcap; --decode prints a capture
# through tshark with the ICSC dissector the build makes
# (tools/wireshark/icsc.lua with the card's name table in front).

# tshark brings dumpcap (wireshark-common) and capinfos.
BENCH_CAPTURE_PKGS=(tshark)

bench_capture_usage() {
  dev_bad_usage bench "capture [SECONDS] [-o FILE] [-- COMMAND...] | capture --decode FILE: $1"
}

# bench_capture ARGS: capture [SECONDS] [-o FILE] [-- COMMAND...], or
# --decode FILE.
bench_capture() {
  local seconds="" file="$BENCH_OUT/capture.pcap" decode=""
  while [ $# -gt 0 ]; do
    case "$1" in
      --)
        shift
        [ $# -gt 0 ] || bench_capture_usage "no command after --"
        break ;;
      -o)
        [ $# -ge 2 ] || bench_capture_usage "-o needs a file"
        file="$2"; shift 2 ;;
      --decode)
        [ $# -eq 2 ] || bench_capture_usage "--decode takes one file and nothing else"
        decode="$2"; shift 2 ;;
      *)
        [[ "$1" =~ ^[1-9][0-9]{0,5}$ ]] && [ -z "$seconds" ] ||
          bench_capture_usage "unexpected '$1' (SECONDS is a whole number of seconds)"
        seconds="$1"; shift ;;
    esac
  done
  if [ -n "$decode" ]; then
    [ $# -eq 0 ] || bench_capture_usage "--decode runs no command"
    bench_capture_decode "$decode"
  else
    bench_capture_run "$seconds" "$file" "$@"
  fi
}

# bench_capture_run SECONDS FILE [COMMAND...]: with a command, the capture
# ends with it (or after SECONDS) and its exit status is returned.
bench_capture_run() {
  local seconds="$1" file="$2" port="${FXS_ICSC_PORT:-5000}"
  shift 2
  bench_running || die "the bench is not running: start it with ./dev bench start"
  ensure_packages "${BENCH_CAPTURE_PKGS[@]}"
  mkdir -p "$(dirname "$file")"
  local err; err="$(mktemp)"
  # Written from the host's side: a path under the bench's own /tmp would
  # vanish with the bench.
  bench_exec dumpcap -q -i lo -f "udp port $port" -P -w - ${seconds:+-a "duration:$seconds"} \
    >"$file" 2>"$err" &
  local pid=$!
  if ! bench_wait 10 grep -q "Capturing on" "$err"; then
    kill -TERM "$pid" 2>/dev/null || true
    cat "$err" >&2
    rm -f "$err"
    die "dumpcap did not start capturing"
  fi
  local how="until Ctrl-C" status=0
  [ $# -eq 0 ] || how="while $* runs"
  [ -z "$seconds" ] || how="for at most $seconds s"
  say "capturing UDP port $port inside the bench into $file $how"
  # A background job ignores the terminal's Ctrl-C: it is passed on.
  # dumpcap gets the kernel's packets in blocks and drops a block it has
  # not read yet when it stops: the last datagrams need a moment to land.
  trap 'sleep 1; kill -TERM "$pid" 2>/dev/null || true' INT TERM
  if [ $# -gt 0 ]; then
    "$@" || status=$?
    sleep 1
    kill -TERM "$pid" 2>/dev/null || true
  fi
  local rc=0
  wait "$pid" || rc=$?
  # The trap's wait ends early; the second one sees dumpcap's end.
  wait "$pid" 2>/dev/null || true
  trap - INT TERM
  if [ $rc -ne 0 ] && [ $rc -ne 130 ] && [ $rc -ne 143 ]; then
    cat "$err" >&2
    rm -f "$err"
    die "dumpcap failed (status $rc)"
  fi
  rm -f "$err"
  say "captured $(capinfos -c -M "$file" 2>/dev/null | sed -n 's/^Number of packets: *//p') datagrams;" \
    "./dev bench capture --decode $file shows them"
  return "$status"
}

bench_capture_decode() {
  local file="$1" port="${FXS_ICSC_PORT:-5000}"
  [ -r "$file" ] || die "cannot read '$file'"
  ensure_packages "${BENCH_CAPTURE_PKGS[@]}"
  local dissector; dissector="$(build_dir native "")/wireshark/icsc.lua"
  quiet_build "the ICSC dissector" native "" icsc_dissector
  local map=()
  [ "$port" = 5000 ] || map=(-d "udp.port==$port,icsc")
  # tshark warns that it runs as root; nothing else goes to stderr.
  { tshark -n -X "lua_script:$dissector" ${map[@]+"${map[@]}"} -r "$file" -O icsc 2>&1 1>&3 |
    { grep -v 'Running as user "root"' || true; } >&2; } 3>&1
}
