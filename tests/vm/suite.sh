# End-to-end suite of ./dev test --vm, sourced by the VM's supervisor
# (tools/dev/vm/guest.sh) on an armmp kernel: the armhf card and its peers
# from the bench's declarations, driven through the UDP front end as the
# chassis controller does, and what it did read back from the kernel with
# ip and iptables. Prints one "ok N - ..." or "not ok N - ..." line per check
# and a closing count; every wait has a deadline.

ICSC_TIMEOUT_MS=15000
ACTIVE_SECONDS=180
HOST_CHECK_SECONDS=300
PASS=0
FAIL=0
CHECK=""
PROBLEMS=""

# begin NAME ... end: one check made of the expectations between them.
begin() {
  CHECK="$1"
  PROBLEMS=""
}
problem() { PROBLEMS="$PROBLEMS$1
"; }
end() {
  if [ -z "$PROBLEMS" ]; then
    PASS=$((PASS + 1))
    echo "ok $((PASS + FAIL)) - $CHECK"
  else
    FAIL=$((FAIL + 1))
    echo "not ok $((PASS + FAIL)) - $CHECK"
    printf '%s' "$PROBLEMS" | sed 's/^/#   /'
  fi
}

# has TEXT NEEDLE [WHAT], lacks TEXT NEEDLE [WHAT], count TEXT NEEDLE N [WHAT]
has() {
  case "$1" in
    *"$2"*) ;;
    *) problem "${3:-output} lacks '$2' in:
$1" ;;
  esac
}
lacks() {
  case "$1" in
    *"$2"*) problem "${3:-output} still holds '$2' in:
$1" ;;
  esac
}
count() {
  _n="$(printf '%s\n' "$1" | grep -cF -- "$2")"
  [ "$_n" = "$3" ] || problem "${4:-output} has '$2' on $_n lines, want $3 in:
$1"
}
same() { [ "$1" = "$2" ] || problem "${3:-value} is '$1', want '$2'"; }

# put OBJECT COLUMN ROW VALUE WANT: a write whose icscctl status must be WANT
# (0 served, 1 refused).
put() {
  _out="$(icscctl --timeout "$ICSC_TIMEOUT_MS" set "$1" "$2" "$3" "$4" 2>&1)"
  _rc=$?
  [ "$_rc" = "$5" ] || problem "set $1 $2 row $3 '$4' gave status $_rc, want $5: $_out"
}
get() { icscctl --timeout "$ICSC_TIMEOUT_MS" get "$@" 2>&1; }

# The card state as the chassis reads it.
card_state() { icscctl --timeout "$ICSC_TIMEOUT_MS" get common card-state state-name 2>/dev/null; }

firewall() { iptables -S 2>&1; }
rules() { ip rule show 2>&1; }

# The four openings of a subnet on the data port, as iptables -S lists them.
subnet_rules() {
  echo "-A INPUT -s $1 -i eth1+ -p udp -m udp --dport 50000:50100 -j ACCEPT"
  echo "-A OUTPUT -d $1 -o eth1+ -p udp -m udp --sport 50000:50100 -j ACCEPT"
  echo "-A INPUT -s $1 -i eth1+ -p udp -m udp --dport 5060 -j ACCEPT"
  echo "-A OUTPUT -d $1 -o eth1+ -p udp -m udp --sport 5060 -j ACCEPT"
}
expect_subnet_open() {
  _fw="$(firewall)"
  subnet_rules "$1" | while IFS= read -r _r; do
    printf '%s\n' "$_fw" | grep -qxF -- "$_r" || echo "firewall lacks: $_r"
  done >/tmp/suite.missing
  [ -s /tmp/suite.missing ] && problem "$(cat /tmp/suite.missing)
in:
$_fw"
}
expect_subnet_closed() { lacks "$(firewall)" "$1" "iptables -S"; }

# link_row ROW IP NETMASK GATEWAY PARENT VLAN: the columns that a row's
# in-service write applies.
link_row() {
  _t=IfmNetworkLinkConfigTable
  put $_t ifmNetworkLinkConfigIP "$1" "$2" 0
  put $_t ifmNetworkLinkConfigNetmask "$1" "$3" 0
  put $_t ifmNetworkLinkConfigGateway "$1" "$4" 0
  put $_t ifmNetworkLinkConfigParent "$1" "$5" 0
  put $_t ifmNetworkLinkConfigVlanId "$1" "$6" 0
}
in_service() { put IfmNetworkLinkConfigTable ifmNetworkLinkConfigInService "$1" "$2" "${3:-0}"; }
link_status() { get IfmNetworkLinkStatusTable "$1" "$2"; }

suite_boot() {
  begin "the card reaches ACTIVE"
  _end=$(($(cut -d. -f1 /proc/uptime) + ACTIVE_SECONDS))
  _state=""
  while [ "$(cut -d. -f1 /proc/uptime)" -lt "$_end" ]; do
    _state="$(card_state)"
    [ "$_state" = ACTIVE ] && break
    sleep 1
  done
  same "$_state" ACTIVE "card state after ${ACTIVE_SECONDS} s"
  end
}

suite_get_set() {
  _o=SipProtocolTimersScalar _c=sipTimerNoAnswerDuration
  begin "SET then GET of a scalar goes through to velmora"
  put $_o $_c 0 77 0
  same "$(get $_o $_c)" 77 "GET after SET"
  same "$(velmctl get sip_timer_no_answer_duration)" "sip_timer_no_answer_duration == 77" velmora
  end

  begin "GET reads what velmora holds"
  velmctl set sip_timer_no_answer_duration 91 >/dev/null
  same "$(get $_o $_c)" 91 "GET after velmora's change"
  end

  begin "a string property round trips"
  put SystemScalar netDebugServer 0 dbg.example.test 0
  same "$(get SystemScalar netDebugServer)" dbg.example.test "GET of netDebugServer"
  end

  begin "a row beyond a scalar is refused"
  put $_o $_c 1 5 1
  same "$(get $_o $_c)" 91 "value after the refused write"
  end
}

suite_bring_up() {
  begin "backplane eth0: slot address, MAC, up"
  _l="$(ip -o -4 addr show dev eth0; ip -o link show dev eth0)"
  has "$_l" "172.30.30.3/24" "eth0"
  has "$_l" "link/ether 02:a5:3c:00:50:03" "eth0"
  has "$_l" "state UP" "eth0"
  end

  begin "data channel eth1 is up"
  has "$(ip -o link show dev eth1)" "state UP" "eth1"
  end

  begin "management policy rules and table rt_mgmt"
  _r="$(rules)"
  count "$_r" "rt_mgmt" 6 "ip rule"
  for _want in "from all oif eth0 lookup rt_mgmt" "from all iif eth0 lookup rt_mgmt" \
    "from all to 172.30.30.0/24 iif lo lookup rt_mgmt" "from 172.30.30.0/24 iif lo lookup rt_mgmt" \
    "from all to 172.30.20.0/24 iif lo lookup rt_mgmt" "from 172.30.20.0/24 iif lo lookup rt_mgmt"; do
    has "$_r" "$_want" "ip rule"
  done
  _t="$(ip route show table rt_mgmt)"
  has "$_t" "172.30.30.0/24 dev eth0" "table rt_mgmt"
  has "$_t" "default via 172.30.30.100 dev eth0" "table rt_mgmt"
  lacks "$(ip route show table main)" "172.30.30.0/24" "table main"
  has "$(ip route get 172.30.20.10)" "via 172.30.30.100 dev eth0" "route to the chassis"
  end

  begin "the management gateway answers through eth0"
  ping -c 1 -W 5 172.30.30.100 >/dev/null 2>&1 || problem "no answer from 172.30.30.100"
  end

  begin "card-up marker"
  [ -f /tmp/card_up_and_running ] || problem "no /tmp/card_up_and_running"
  end
}

suite_vlans() {
  _rules_before="$(rules)"
  _fw_before="$(firewall)"
  _t=IfmNetworkLinkConfigTable

  begin "link row: only the in-service column applies it"
  link_row 0 10.20.100.5 255.255.255.0 10.20.100.1 eth1 100
  put $_t ifmNetworkLinkConfigName 0 voice 0
  lacks "$(ip -o link show)" "eth1.100" "links"
  end

  begin "link row in service: VLAN eth1.100 with address, up"
  in_service 0 1
  _d="$(ip -d link show dev eth1.100 2>&1)"
  has "$_d" "eth1.100@eth1" "ip -d link"
  has "$_d" "vlan protocol 802.1Q id 100" "ip -d link"
  has "$_d" ",UP" "ip -d link"
  has "$(ip -o -4 addr show dev eth1.100)" "inet 10.20.100.5/24" "eth1.100 address"
  end

  begin "its default route in table main"
  has "$(ip route show table main)" "default via 10.20.100.1 dev eth1.100" "table main"
  end

  begin "its subnet's four firewall rules"
  expect_subnet_open 10.20.100.0/24
  end

  begin "no policy rules of its own"
  same "$(rules)" "$_rules_before" "ip rule"
  end

  begin "link status row reads the kernel"
  same "$(link_status ifmNetworkLinkStatusName 0)" eth1.100 Name
  same "$(link_status ifmNetworkLinkStatusIP 0)" 10.20.100.5 IP
  same "$(link_status ifmNetworkLinkStatusNetmask 0)" 255.255.255.0 Netmask
  same "$(link_status ifmNetworkLinkStatusVlanId 0)" 100 VlanId
  same "$(link_status ifmNetworkLinkStatusParent 0)" eth1 Parent
  same "$(link_status ifmNetworkLinkStatusInService 0)" true InService
  end

  begin "modified row: VLAN 101 replaces 100, rules follow the subnet"
  link_row 0 10.20.101.7 255.255.255.0 10.20.101.1 eth1 101
  in_service 0 1
  lacks "$(ip -o link show)" "eth1.100" "links"
  _d="$(ip -d link show dev eth1.101 2>&1)"
  has "$_d" "vlan protocol 802.1Q id 101" "ip -d link"
  has "$(ip -o -4 addr show dev eth1.101)" "inet 10.20.101.7/24" "eth1.101 address"
  has "$(ip route show table main)" "default via 10.20.101.1 dev eth1.101" "table main"
  expect_subnet_closed 10.20.100.0/24
  expect_subnet_open 10.20.101.0/24
  end

  begin "a second row on the same VLAN keeps it when the first leaves"
  link_row 1 10.20.102.9 255.255.255.0 0.0.0.0 eth1 101
  in_service 1 1
  in_service 0 0
  _d="$(ip -d link show dev eth1.101 2>&1)"
  has "$_d" "vlan protocol 802.1Q id 101" "ip -d link"
  has "$(ip -o -4 addr show dev eth1.101)" "inet 10.20.102.9/24" "eth1.101 address"
  expect_subnet_closed 10.20.101.0/24
  expect_subnet_open 10.20.102.0/24
  end

  begin "deleted rows: VLAN, address, route and rules all gone"
  in_service 1 0
  lacks "$(ip -o link show)" "eth1.10" "links"
  lacks "$(ip -o -4 addr show)" "10.20.10" "addresses"
  lacks "$(ip route show table all)" "eth1.10" "routes"
  same "$(rules)" "$_rules_before" "ip rule"
  same "$(firewall)" "$_fw_before" "iptables -S"
  end

  begin "status of a removed VLAN reads blank and out of service"
  same "$(link_status ifmNetworkLinkStatusIP 0)" "" IP
  same "$(link_status ifmNetworkLinkStatusInService 0)" false InService
  end

  begin "VLAN id 4096 and a parent without eth are refused, nothing made"
  link_row 2 10.20.103.4 255.255.255.0 0.0.0.0 eth1 4096
  in_service 2 1 1
  link_row 3 10.20.104.4 255.255.255.0 0.0.0.0 wan0 104
  in_service 3 1 1
  lacks "$(ip -o link show)" "eth1.4096" "links"
  lacks "$(ip -o link show)" "wan0.104" "links"
  same "$(firewall)" "$_fw_before" "iptables -S"
  in_service 2 0
  in_service 3 0
  end
}

suite_routes() {
  _t=IfmNetworkRouteConfigTable
  begin "route row in use: route in the kernel and in the status table"
  put $_t ifmNetworkRouteConfigIPDestination 3 192.168.50.0 0
  put $_t ifmNetworkRouteConfigNetmask 3 255.255.255.0 0
  put $_t ifmNetworkRouteConfigGateway 3 172.30.30.100 0
  put $_t ifmNetworkRouteConfigInterface 3 eth0 0
  same "$(ip route show 192.168.50.0/24)" "" "route before in-use"
  put $_t ifmNetworkRouteConfigInUse 3 1 0
  has "$(ip route show 192.168.50.0/24)" "via 172.30.30.100 dev eth0" "route"
  same "$(get IfmNetworkRouteStatusTable ifmNetworkRouteStatusInUse 3)" true InUse
  same "$(get IfmNetworkRouteStatusTable ifmNetworkRouteStatusIPDestination 3)" 192.168.50.0 \
    IPDestination
  same "$(get IfmNetworkRouteStatusTable ifmNetworkRouteStatusGateway 3)" 172.30.30.100 Gateway
  end

  begin "route row out of use: route gone, a second removal accepted"
  put $_t ifmNetworkRouteConfigInUse 3 0 0
  same "$(ip route show 192.168.50.0/24)" "" "route after removal"
  put $_t ifmNetworkRouteConfigInUse 3 0 0
  end

  begin "route with an unreachable gateway is refused"
  put $_t ifmNetworkRouteConfigIPDestination 4 192.168.52.0 0
  put $_t ifmNetworkRouteConfigNetmask 4 255.255.255.0 0
  put $_t ifmNetworkRouteConfigGateway 4 192.0.2.77 0
  put $_t ifmNetworkRouteConfigInUse 4 1 1
  same "$(ip route show 192.168.52.0/24)" "" "route"
  end
}

suite_firewall() {
  _t=AccountTable
  _fw_before="$(firewall)"
  begin "provider server opens its six rules"
  put $_t providerEnable 0 1 0
  put $_t registerDomainName 0 10.20.30.40:5060 0
  _fw="$(firewall)"
  count "$_fw" "10.20.30.40" 6 "iptables -S"
  for _r in "-A INPUT -s 10.20.30.40/32 -i eth1+ -p udp -m udp --dport 5060 -j ACCEPT" \
    "-A OUTPUT -d 10.20.30.40/32 -o eth1+ -p udp -m udp --sport 5060 -j ACCEPT" \
    "-A INPUT -s 10.20.30.40/32 -i eth1+ -p icmp -j ACCEPT" \
    "-A OUTPUT -d 10.20.30.40/32 -o eth1+ -p icmp -j ACCEPT" \
    "-A INPUT -s 10.20.30.40/32 -i eth1+ -p udp -m udp --dport 50000:50100 -j ACCEPT" \
    "-A OUTPUT -d 10.20.30.40/32 -o eth1+ -p udp -m udp --sport 50000:50100 -j ACCEPT"; do
    has "$_fw" "$_r" "iptables -S"
  done
  end

  begin "a prefixed server text is refused and opens nothing"
  put $_t providerEnable 1 1 0
  _fw="$(firewall)"
  put $_t registerDomainName 1 10.20.30.40/0:5060 1
  same "$(firewall)" "$_fw" "iptables -S"
  lacks "$(firewall)" "0.0.0.0/0 -i eth1" "iptables -S"
  end

  begin "a port beyond 65535 is refused"
  _fw="$(firewall)"
  put $_t registerDomainName 1 10.20.30.41:70000 1
  same "$(firewall)" "$_fw" "iptables -S"
  end

  begin "disabling the providers closes their rules at the next server write"
  put $_t providerEnable 0 0 0
  put $_t providerEnable 1 0 0
  same "$(firewall)" "$_fw" "iptables -S after disabling alone"
  put $_t authDomainName 0 "" 0
  same "$(firewall)" "$_fw_before" "iptables -S"
  end
}

# The network manager and firewall tests of the build, which skip on a host
# kernel without 802.1Q, in namespaces of their own on this kernel.
suite_kernel_tests() {
  _out="$(unshare -i -m -n -f /bin/sh -c 'ip link set lo up; exec it_net --gtest_filter=-CardNetworkBench.*' 2>&1)"
  _rc=$?
  # One check per test of the build.
  printf '%s\n' "$_out" | sed -n 's/^\[ *\(OK\|FAILED\) *\] \([A-Za-z0-9_]*\.[A-Za-z0-9_]*\) (.*/\1 \2/p' \
    >/tmp/suite.gtest
  while read -r _result _name; do
    begin "on this kernel: $_name"
    [ "$_result" = OK ] || problem "$(printf '%s\n' "$_out" | sed -n "/\[ RUN *\] $_name\$/,/\] $_name (/p")"
    end
  done </tmp/suite.gtest
  begin "the build's kernel tests (it_net) all ran here, none skipped"
  [ "$_rc" = 0 ] || problem "it_net exited with status $_rc"
  [ -s /tmp/suite.gtest ] || problem "no test ran: $_out"
  lacks "$_out" "[  SKIPPED ]" "it_net"
  has "$_out" "[       OK ] KernelNet.VlanCreateReadDelete" "it_net"
  end
}

# The log uploader beside main (where main runs it from) starts with its
# libraries here; then a collection as the chassis makes it, packed by the
# image's busybox tar, lands an archive on the chassis' FTP server of the
# peer declarations.
suite_getlog() {
  begin "the log uploader beside main runs"
  _up="$(dirname "$(command -v main)")/ftpupload"
  _out="$("$_up" </dev/null 2>&1)"
  _rc=$?
  same "$_rc" 1 "$_up exit status ($_out)"
  has "$_out" "malformed request (0 bytes)" "$_up"
  end
  begin "GETLOG: the card's logs reach the chassis' FTP server"
  # The server's address and user as tools/dev/peers.d/90-getlog.sh declares them.
  _dir=vm-getlog
  for _kv in "ftp-server 172.30.20.10" "ftp-port 21" "ftp-user chassis" \
    "ftp-password $(cat "$BENCH_DIR/ftp.pass")" "getlog-directory $_dir"; do
    # shellcheck disable=SC2086
    set -- $_kv
    _out="$(icscctl --timeout "$ICSC_TIMEOUT_MS" set common log-transfer "$1" "$2" 2>&1)" ||
      problem "set common log-transfer $1 refused: $_out"
  done
  _end=$(($(cut -d. -f1 /proc/uptime) + 180))
  _state=""
  while [ "$(cut -d. -f1 /proc/uptime)" -lt "$_end" ]; do
    _state="$(get common log-transfer getlog-state)"
    case "$_state" in 2 | 3) break ;; esac
    sleep 1
  done
  same "$_state" 2 "GETLOG state ($(get common log-transfer getlog-result))"
  _archive="$(find "$BENCH_DIR/ftp/$_dir" -name '*.tar.gz' -type f 2>/dev/null | head -n 1)"
  if [ -n "$_archive" ]; then
    _members="$(tar -tzf "$_archive" 2>&1)"
    has "$_members" "flash/log/vocal.cfg" "$_archive"
    has "$_members" "var/log/messages" "$_archive (the card's log by its card path)"
  else
    problem "no archive in $BENCH_DIR/ftp/$_dir"
  fi
  lacks "$(cat "$BENCH_DIR/main.log")" "$(cat "$BENCH_DIR/ftp.pass")" "main.log"
  end
}

# ./dev test --vm runs its own checks through the forwarded ports while the
# card runs, then sends Ctrl-C (SIGINT here); the wait is bounded.
suite_wait_for_host() {
  echo "vm: host checks may start"
  _end=$(($(cut -d. -f1 /proc/uptime) + HOST_CHECK_SECONDS))
  while [ -z "$STOP" ] && [ "$(cut -d. -f1 /proc/uptime)" -lt "$_end" ]; do sleep 1; done
  [ -n "$STOP" ] || echo "vm: no word from the host after ${HOST_CHECK_SECONDS} s"
}

suite_main() {
  _t0="$(cut -d. -f1 /proc/uptime)"
  if ! bench_up; then
    begin "the bench starts"
    problem "see the lines above"
    end
  else
    suite_boot
    suite_get_set
    suite_bring_up
    suite_vlans
    suite_routes
    suite_firewall
    suite_kernel_tests
    suite_getlog
    suite_wait_for_host
  fi
  begin "SIGTERM: main exits with status 0"
  bench_down || problem "main's exit status: $MAIN_STATUS"
  end
  echo "vm-suite: $PASS passed, $FAIL failed in $(($(cut -d. -f1 /proc/uptime) - _t0)) s"
}
