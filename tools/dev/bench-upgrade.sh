# ./dev bench upgrade: the chassis' software download of the running card,
# over ICSC (dldctl, the chassis side of one card): the bundle goes onto the
# bench's FTP server (peers.d/90-getlog.sh), the card fetches, verifies and
# commits it, comes back on it and is accepted.

bench_upgrade() {
  local file="" vm=0 args=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --vm) vm=1; shift ;;
      --no-accept) args+=(--no-accept); shift ;;
      --commit-timer)
        [[ "${2:-}" =~ ^[0-9]+$ ]] || dev_bad_usage bench "--commit-timer needs seconds"
        args+=(--commit-timer "$2"); shift 2 ;;
      -*) dev_bad_usage bench "unknown upgrade option '$1'" ;;
      *) [ -z "$file" ] || dev_bad_usage bench "one bundle at a time"; file="$1"; shift ;;
    esac
  done
  [ -n "$file" ] || dev_bad_usage bench "upgrade needs a bundle file"
  [ $vm = 1 ] && dev_check_only && return 0
  [ -r "$file" ] || die "cannot read the bundle $file"
  local name; name="$(basename "$file")"
  [[ "$name" =~ ^[A-Za-z0-9._-]+$ ]] || die "the bundle's name $name is not a plain file name"
  if [ $vm = 1 ]; then
    vm_upgrade "$file" "${args[@]}"
    return
  fi
  bench_card_running
  bench_load_peers
  mkdir -p "$BENCH_FTP_DIR/ftp/loads"
  cp "$file" "$BENCH_FTP_DIR/ftp/loads/$name" || die "cannot put $file on the bench's FTP server"
  # From the chassis's namespace to the card's backplane address, as the
  # chassis controller does: a reboot gives the card new namespaces.
  local dldctl; dldctl="$(bench_tool dldctl)"
  chassis_exec "$BENCH_FTP_DIR" "$dldctl" --host "172.30.30.$((${FXS_BENCH_SLOT:-2} + 1))" \
    --port "${FXS_ICSC_PORT:-5000}" --file "loads/$name" \
    --server "$BENCH_FTP_ADDRESS" --user "$BENCH_FTP_USER" --password-file "$BENCH_FTP_DIR/ftp.pass" \
    ${args[@]+"${args[@]}"}
}
