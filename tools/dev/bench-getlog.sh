# ./dev bench collect-logs: asks the running card for its logs the way the
# chassis does (the platform's getlog request), waits for the archive and
# copies it to the host under out/logs/.

bench_collect_logs() {
  bench_running || die "the bench is not running (./dev bench start)"
  bench_alive main || die "the card (main) is not running on the bench; see ./dev bench logs"
  local dir=/tmp/getlog out state archive deadline
  out="$(cmd_console "getlog start $dir")" || die "the card refused the log collection: $out"
  case "$out" in
    "getlog started"*) ;;
    *) die "the card did not start the log collection: $out" ;;
  esac
  say "log collection started on the card"
  deadline=$(( $(date +%s) + 60 ))
  while :; do
    state="$(cmd_console "getlog state")" || die "no answer from the card while collecting"
    case "$state" in
      "state DONE"*) break ;;
      "state BUSY"*) ;;
      *) die "log collection failed on the card: $state (see ./dev bench logs)" ;;
    esac
    [ "$(date +%s)" -lt "$deadline" ] || die "log collection did not finish within 60 s"
    sleep 0.2
  done
  archive="$(printf '%s\n' "$state" | sed -n 's/^archive //p')"
  [ -n "$archive" ] || die "the card reported no archive"
  mkdir -p "$BENCH_OUT/logs"
  local dest
  dest="$BENCH_OUT/logs/card-logs-$(date +%Y%m%d-%H%M%S).tar.gz"
  bench_exec cat "$archive" >"$dest" || die "cannot copy $archive from the bench"
  tar -tzf "$dest" >/dev/null || die "the copied archive $dest is not readable"
  echo "$dest"
}
