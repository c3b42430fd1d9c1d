#!/bin/sh
# bench-tls.sh DIR ADDRESS: the bench's own certificate authority and the
# chassis FTP server's certificate for ADDRESS (an IP address), made with
# openssl once: DIR/ca.pem (what the card verifies against), DIR/server.pem
# and DIR/server.key (what the server presents).
set -eu
dir="$1" address="$2"
[ -s "$dir/server.pem" ] && [ -s "$dir/server.key" ] && [ -s "$dir/ca.pem" ] && exit 0
mkdir -p "$dir"
umask 077
tmp="$(mktemp -d "$dir/.new.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
ec="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
# shellcheck disable=SC2086
openssl req -x509 $ec -days 3650 -subj "/CN=bench chassis CA" \
  -keyout "$tmp/ca.key" -out "$tmp/ca.pem" 2>"$tmp/err" || { cat "$tmp/err" >&2; exit 1; }
# shellcheck disable=SC2086
openssl req $ec -subj "/CN=$address" -keyout "$tmp/server.key" -out "$tmp/server.csr" \
  2>"$tmp/err" || { cat "$tmp/err" >&2; exit 1; }
printf 'subjectAltName=IP:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' \
  "$address" >"$tmp/ext"
openssl x509 -req -in "$tmp/server.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" \
  -CAcreateserial -days 3650 -extfile "$tmp/ext" -out "$tmp/server.pem" 2>"$tmp/err" ||
  { cat "$tmp/err" >&2; exit 1; }
chmod 644 "$tmp/ca.pem"
mv "$tmp/ca.key" "$tmp/ca.pem" "$tmp/server.key" "$tmp/server.pem" "$dir/"
