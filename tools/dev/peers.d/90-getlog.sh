# Log collection on the bench: main finds the bench's nbcat on its PATH and
# packs its own log (the bench's stand-in for the card's syslog file).
BENCH_MAIN_ENV+=("PATH=$(dirname "$(bench_bin main)"):$PATH" "FXS_GETLOG_FILES=$BENCH_DIR/main.log")
# The chassis' FTP server (Debian's pyftpdlib) on the chassis controller's
# address in the chassis's namespace; the cards upload their log archives
# into ftp/ of the chassis's directory.
BENCH_FTP_ADDRESS=172.30.20.10
BENCH_FTP_USER=chassis
BENCH_FTP_DIR="${BENCH_CHASSIS_DIR:-$BENCH_DIR}"
bench_chassis_setup "mkdir -p '$BENCH_FTP_DIR/ftp' && umask 077 &&
  { test -s '$BENCH_FTP_DIR/ftp.pass' || head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n' > '$BENCH_FTP_DIR/ftp.pass'; }"
bench_chassis_peer --ready "ss -Hltn 'sport = :21' | grep -q ." ftpd \
  /usr/bin/python3 "$FXS_ROOT/tools/dev/bench-ftpd.py" \
  --address "$BENCH_FTP_ADDRESS" --port 21 --root "$BENCH_FTP_DIR/ftp" --user "$BENCH_FTP_USER" \
  --password-file "$BENCH_FTP_DIR/ftp.pass"
