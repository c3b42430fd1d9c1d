# The card's network: eth0 (backplane) and eth1 (data port) are veth ends in
# the card's namespace; their peers join two bridges in the chassis's
# namespace: bp (the backplane: management gateway 172.30.30.100, chassis
# controller 172.30.20.10) and dc (the provider network 10.20.30.0/24).
# Nothing is routed to the host. Each card's ends in the chassis are named
# after its slot (the board's slot + 1, as the card counts); eth1 keeps one
# MAC across reboots, as the card's port does. The steps run under bash on
# the host and under dash in the VM.
bench_chassis_setup "ip link set lo up &&
  ip link add bp type bridge && ip addr add 172.30.30.100/24 dev bp &&
  ip addr add 172.30.20.10/24 dev bp && ip link set bp up &&
  ip link add dc type bridge && ip addr add 10.20.30.1/24 dev dc && ip link set dc up"
BENCH_CARD_SLOT=$(( ${FXS_BENCH_SLOT:-2} + 1 ))
bench_setup "ip -n chassis link del bp$BENCH_CARD_SLOT 2>/dev/null; ip -n chassis link del dc$BENCH_CARD_SLOT 2>/dev/null;
  ip link add eth0 type veth peer name bp$BENCH_CARD_SLOT netns chassis &&
  ip link add eth1 address 02:a5:3c:01:50:$(printf %02d $((BENCH_CARD_SLOT % 100))) type veth \
    peer name dc$BENCH_CARD_SLOT netns chassis &&
  ip -n chassis link set bp$BENCH_CARD_SLOT master bp up &&
  ip -n chassis link set dc$BENCH_CARD_SLOT master dc up"
# vconfig stand-in and the other card tools are next to the built binaries.
BENCH_MAIN_ENV+=("PATH=$(dirname "$(bench_bin main)"):$PATH")
if [ -n "${FXS_BENCH_ETHADDR:-}" ]; then
  BENCH_MAIN_ENV+=("ethaddr=$FXS_BENCH_ETHADDR")
fi
