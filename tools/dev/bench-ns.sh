#!/usr/bin/env bash
# Runs as the bench's namespace holder (inside unshare): prepares the
# card's view of the system, then waits until it is killed.
set -u
dir="$1"
rt=""
for f in /etc/iproute2/rt_tables /usr/share/iproute2/rt_tables; do
  if [ -r "$f" ]; then rt="$(cat "$f")"; break; fi
done
# shellcheck source=../private-paths.sh
. "$(dirname "${BASH_SOURCE[0]}")/../private-paths.sh"
fxs_private_paths "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)" || { echo "cannot mount the card's paths"; exit 1; }
printf '%s\n' "$rt" > /etc/iproute2/rt_tables
mkdir -p /flash/log
mount -t mqueue none /dev/mqueue 2>/dev/null
# The card's inbound queue needs 30 messages; the host default is 10.
echo 64 > /proc/sys/fs/mqueue/msg_max || { echo "cannot raise msg_max"; exit 1; }
echo 8192 > /proc/sys/fs/mqueue/msgsize_max
ip link set lo up || exit 1
echo $$ > "$dir/ns.pid.tmp" && mv "$dir/ns.pid.tmp" "$dir/ns.pid"
exec sleep infinity
