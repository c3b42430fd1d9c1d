#!/bin/sh
# Gives the bench a /dev/vocallog (velmora's log device, read with nbcat).
# /dev is shared with the host, so this lays a private tmpfs over /dev in the
# bench's own mount namespace and binds the few host devices back into it.
# Refuses to run outside a private namespace: it must never touch the host.
set -eu
if [ "${FXS_IN_NS:-}" != 1 ]; then
  echo "bench-vocallog: refusing to run outside the bench's namespaces" >&2
  exit 1
fi
[ -e /dev/vocallog ] && exit 0
save=/tmp/.hostdev
mkdir -p "$save"
mount --rbind /dev "$save"
mount --make-rprivate "$save"
mount -t tmpfs -o mode=755 none /dev
for n in null zero full random urandom tty ptmx; do
  if [ -e "$save/$n" ]; then
    touch "/dev/$n"
    mount --bind "$save/$n" "/dev/$n"
  fi
done
for d in pts shm mqueue; do
  if [ -d "$save/$d" ]; then
    mkdir -p "/dev/$d"
    mount --rbind "$save/$d" "/dev/$d"
  fi
done
ln -s /proc/self/fd /dev/fd
ln -s /proc/self/fd/0 /dev/stdin
ln -s /proc/self/fd/1 /dev/stdout
ln -s /proc/self/fd/2 /dev/stderr
: > /dev/vocallog
