dev_register net bench "" \
  "what the bench's kernel holds: addresses, routes, firewall" \
  "Inside the bench's network namespace: ip addr, ip link, ip rule, the main
and rt_mgmt (9) routing tables, iptables -S, and the /tmp/card_up_and_running
marker (docs/network.md)."
cmd_net() {
  [ $# -eq 0 ] || dev_bad_usage net "no arguments expected"
  [ "$(id -u)" = 0 ] || die "the bench's namespaces need root"
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
