# Log collection on the bench: main finds the bench's nbcat on its PATH; its
# log (the bench's stand-in for the card's syslog file) is bound onto the
# card's /var/log/messages at every boot, so the archive names it by the
# card's path.
BENCH_FTP_DIR="${BENCH_CHASSIS_DIR:-$BENCH_DIR}"
BENCH_MAIN_ENV+=("PATH=$(dirname "$(bench_bin main)"):$PATH" "FXS_FTP_CA_FILE=$BENCH_FTP_DIR/tls/ca.pem")
bench_setup "mkdir -p /var/log && mount -t tmpfs -o mode=755 fxs-log /var/log &&
  : >/var/log/messages && : >>'$BENCH_DIR/main.log' && mount --bind '$BENCH_DIR/main.log' /var/log/messages"
# The chassis' FTP server (Debian's pyftpdlib) on the chassis controller's
# address in the chassis's namespace; the cards upload their log archives
# into ftp/ of the chassis's directory. It offers TLS with a certificate of
# the chassis's own CA, which the cards verify (without openssl and
# pyOpenSSL, as in the VM, it serves in clear).
BENCH_FTP_ADDRESS=172.30.20.10
BENCH_FTP_USER=chassis
bench_chassis_setup "mkdir -p '$BENCH_FTP_DIR/ftp' && umask 077 &&
  { test -s '$BENCH_FTP_DIR/ftp.pass' || head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n' > '$BENCH_FTP_DIR/ftp.pass'; } &&
  { ! command -v openssl >/dev/null || sh '$FXS_ROOT/tools/dev/bench-tls.sh' '$BENCH_FTP_DIR/tls' $BENCH_FTP_ADDRESS; }"
bench_chassis_peer --ready "ss -Hltn 'sport = :21' | grep -q ." ftpd \
  /usr/bin/python3 "$FXS_ROOT/tools/dev/bench-ftpd.py" \
  --address "$BENCH_FTP_ADDRESS" --port 21 --root "$BENCH_FTP_DIR/ftp" --user "$BENCH_FTP_USER" \
  --password-file "$BENCH_FTP_DIR/ftp.pass" --tls-dir "$BENCH_FTP_DIR/tls"
