#!/usr/bin/env bash
# Runs as a card's namespace holder (inside unshare), once per boot of the
# card: prepares the card's view of the system, then waits until it is
# killed. Everything but /flash starts empty, as on the card after a reboot:
# /tmp, /vocal and /etc/iproute2 are fresh tmpfs, the queues and interfaces
# new namespaces; /flash is the card's directory DIR/flash, kept across
# boots. The chassis's network namespace (the holder CHASSIS_PID) is
# reachable as the named namespace "chassis" (ip -n chassis, netns chassis),
# on a /run/netns private to the card.
#   bench-ns.sh DIR CHASSIS_PID
set -u
dir="$1" chassis="$2"
rt=""
for f in /etc/iproute2/rt_tables /usr/share/iproute2/rt_tables; do
  if [ -r "$f" ]; then rt="$(cat "$f")"; break; fi
done
fail() { echo "bench-ns: $*"; exit 1; }
# shellcheck source=../private-paths.sh
. "$(dirname "${BASH_SOURCE[0]}")/../private-paths.sh"
fxs_private_paths "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)" || fail "cannot mount the card's paths"
printf '%s\n' "$rt" > /etc/iproute2/rt_tables
mkdir -p "$dir/flash" && mount --bind "$dir/flash" /flash || fail "cannot bind $dir/flash on /flash"
mkdir -p /flash/log
mkdir -p /run/netns && mount -t tmpfs -o mode=755 fxs-netns /run/netns && : >/run/netns/chassis &&
  mount --bind "/proc/$chassis/ns/net" /run/netns/chassis || fail "cannot reach the chassis's namespace"
mount -t mqueue none /dev/mqueue 2>/dev/null
# The card's inbound queue needs 30 messages; the host default is 10.
echo 64 > /proc/sys/fs/mqueue/msg_max || fail "cannot raise msg_max"
echo 8192 > /proc/sys/fs/mqueue/msgsize_max
ip link set lo up || exit 1
echo $$ > "$dir/ns.pid.tmp" && mv "$dir/ns.pid.tmp" "$dir/ns.pid"
exec sleep infinity
