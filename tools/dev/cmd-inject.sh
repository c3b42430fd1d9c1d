# ./dev inject: post a hand-made driver or port-status message to the
# running bench card's "/queueToMain".

dev_register inject "card access" "[--slot N] KIND [SUB] ARGS | help" \
  "post a driver report or port-status message to the card" \
  "The message goes to the card's /queueToMain as its sender would post it.
A report of the I2C driver (messages 0, 19, 26) is handed to the driver's
stand-in as well, so that its periodic reports say the same from then on:
an error raised stays until another inject clears it, for example
  ./dev inject temp status 2 0    raises MAX6602 TempSensor
  ./dev inject temp status 2 1    clears it
./dev console 'main hwstatus' shows the errors. The other hardware errors
and the operational ones are raised by no message of this card.
--slot N  the card in slot N of ./dev chassis
The card in the VM (./dev vm) takes no injects from the host: its queues are
reached only inside the VM (./dev vm shell runs a shell beside it)."

dev_more_inject() {
  echo "Kinds:"
  "$(bench_tool sim_inject)" --help | sed -n '/^kinds:/,$p' | sed '1d; s/^/  /'
}

cmd_inject() {
  [ $# -gt 0 ] || dev_bad_usage inject "no message kind"
  case "$1" in
    --vm) dev_bad_usage inject "inject has no --vm: the VM's card takes no injects from the host; in ./dev vm shell its queues are at hand" ;;
    --slot)
      [ $# -ge 2 ] || dev_bad_usage inject "--slot needs a slot number"
      [ "$(id -u)" = 0 ] || die "the chassis's queues are reached through its namespaces and need root"
      local BENCH_DIR BENCH_SLOT_HINT
      chassis_use_slot "$2"
      shift 2
      [ $# -gt 0 ] || dev_bad_usage inject "no message kind" ;;
  esac
  local bin; bin="$(bench_tool sim_inject)"
  if [ "$1" = help ]; then
    dev_usage inject
    return 0
  fi
  [ "$(id -u)" = 0 ] || die "the bench's queues are reached through its namespaces and need root"
  bench_card_running
  bench_exec "$bin" -- "$@"
}
