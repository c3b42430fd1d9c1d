dev_register "net" "show what the bench's kernel holds: addresses, rules, routes, firewall"
cmd_net() {
  # shellcheck source=tools/dev/bench-lib.sh
  source "$FXS_ROOT/tools/dev/bench-lib.sh"
  bench_running || die "the bench is not running (./dev bench start)"
  local sec
  for sec in "addresses:ip -4 addr show" "links:ip -br link show" "policy rules:ip rule show" \
             "routes (main):ip route show table main" \
             "routes (rt_mgmt):ip route show table 9" "firewall:iptables -S"; do
    echo "== ${sec%%:*}"
    bench_exec sh -c "${sec#*:}" || true
  done
  echo "== marker"
  bench_exec sh -c 'ls -l /tmp/card_up_and_running 2>&1' || true
}
