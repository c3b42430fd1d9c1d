#!/usr/bin/env bash
# Runs one bench process inside the namespaces and records its pid and,
# when it ends, its exit status. With BENCH_RESPAWN=1 (main) it starts the
# process again after a clean exit, as the card's init does after a reboot,
# unless $dir/$name.stop says the bench is stopping it; with BENCH_REBOOT
# set (the VM) that command reboots the machine instead.
dir="$1" name="$2"; shift 2
while :; do
  "$@" &
  child=$!
  echo "$child" > "$dir/$name.pid"
  wait "$child"
  status=$?
  if [ "${BENCH_RESPAWN:-}" = 1 ] && [ "$status" = 0 ] && [ ! -e "$dir/$name.stop" ]; then
    if [ -n "${BENCH_REBOOT:-}" ]; then
      echo "$(date -u +%Y-%m-%dT%H:%M:%S.%3NZ) bench: $name ended with status 0 without being stopped; rebooting"
      sh -c "$BENCH_REBOOT"
    fi
    echo "$(date -u +%Y-%m-%dT%H:%M:%S.%3NZ) bench: $name ended with status 0 without being stopped; starting it again"
    sleep 1
    [ -e "$dir/$name.stop" ] || continue
  fi
  break
done
echo "$status" > "$dir/$name.status"
