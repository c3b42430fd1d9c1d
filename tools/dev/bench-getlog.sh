# ./dev bench collect-logs: collects the running card's logs the way the
# chassis does, over ICSC: it writes the log-transfer records (the bench's
# FTP server, peers.d/90-getlog.sh), starts GETLOG by writing the directory,
# follows "GETLOG state" and copies the uploaded archive to out/logs/
# (beside the bench's directory); prints its path, how the server received
# it (TLS or in clear) and the files it holds.

# bench_collect_logs [DIRECTORY]: DIRECTORY on the server (default
# getlog-TIME); prints the archive's path in out/logs/.
bench_collect_logs() {
  bench_card_running
  bench_load_peers
  local dir="${1:-getlog-$(date +%Y%m%d-%H%M%S)}" state result deadline
  # shellcheck disable=SC2153
  local -a records=(ftp-server "$BENCH_FTP_ADDRESS" ftp-port 21 ftp-user "$BENCH_FTP_USER"
                    ftp-password "$(cat "$BENCH_FTP_DIR/ftp.pass")" getlog-directory "$dir")
  local i
  for ((i = 0; i < ${#records[@]}; i += 2)); do
    cmd_icsc set common log-transfer "${records[$i]}" "${records[$((i + 1))]}" >/dev/null ||
      die "the card refused ${records[$i]} (see $(bench_hint "bench logs"))"
  done
  say "log collection started on the card; uploading to ftp://$BENCH_FTP_ADDRESS/$dir"
  deadline=$(( $(date +%s) + 120 ))
  while :; do
    state="$(cmd_icsc get common log-transfer getlog-state)" || die "no answer from the card"
    case "$state" in
      2) break ;;
      3) result="$(cmd_icsc walk common log-transfer | sed -n 's/^.*GETLOG result = //p')"
         die "log collection failed on the card: $result (see $(bench_hint "bench logs"))" ;;
    esac
    [ "$(date +%s)" -lt "$deadline" ] || die "log collection did not finish within 120 s (state $state)"
    sleep 0.3
  done
  local archive
  archive="$(find "$BENCH_FTP_DIR/ftp/$dir" -name '*.tar.gz' -type f 2>/dev/null | head -n 1)"
  [ -n "$archive" ] || die "the card reported success but nothing arrived in $BENCH_FTP_DIR/ftp/$dir"
  mkdir -p "$BENCH_OUT/logs"
  local dest; dest="$BENCH_OUT/logs/$(basename "$archive")"
  cp "$archive" "$dest" || die "cannot copy $archive"
  local members how
  members="$(tar -tzf "$dest")" || die "the uploaded archive $dest is not readable"
  how="$(grep -F "/$(basename "$archive")," "$BENCH_FTP_DIR/ftpd.log" | tail -n 1 |
    sed -n 's/^.*received [^,]*, //p')" || true
  echo "$dest"
  echo "received by the FTP server with ${how:-?}"
  printf '%s\n' "$members" | sed 's/^/  /'
}

