# The card's network: eth0 (backplane) and eth1 (data port) are veth ends in
# the bench's namespace; their peers live in a second namespace inside it
# (management gateway 172.30.30.100, chassis controller 172.30.20.10,
# provider network 10.20.30.0/24). Nothing is routed to the host. The steps
# run under bash on the host and under busybox sh in the VM (no mountpoint).
BENCH_PEER_NETNS="fxspeer-$(echo "$FXS_ROOT" | cksum | cut -d' ' -f1)"
bench_setup "mkdir -p /run/netns && { grep -q \" /run/netns \" /proc/mounts || mount -t tmpfs none /run/netns; } &&
  ip netns add $BENCH_PEER_NETNS &&
  ip link add eth0 type veth peer name bp0 netns $BENCH_PEER_NETNS &&
  ip link add eth1 type veth peer name dc0 netns $BENCH_PEER_NETNS &&
  ip -n $BENCH_PEER_NETNS link set lo up &&
  ip -n $BENCH_PEER_NETNS addr add 172.30.30.100/24 dev bp0 &&
  ip -n $BENCH_PEER_NETNS addr add 172.30.20.10/24 dev bp0 &&
  ip -n $BENCH_PEER_NETNS link set bp0 up &&
  ip -n $BENCH_PEER_NETNS addr add 10.20.30.1/24 dev dc0 &&
  ip -n $BENCH_PEER_NETNS link set dc0 up"
# vconfig stand-in and the other card tools are next to the built binaries.
BENCH_MAIN_ENV+=("PATH=$(dirname "$(bench_bin main)"):$PATH")
if [ -n "${FXS_BENCH_ETHADDR:-}" ]; then
  BENCH_MAIN_ENV+=("ethaddr=$FXS_BENCH_ETHADDR")
fi
