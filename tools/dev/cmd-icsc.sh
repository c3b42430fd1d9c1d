# ./dev icsc: the chassis controller's client (icscctl) against the running
# bench's card, through the bench's UDP front end (peers.d/30-udpfe.sh), or
# with --vm (or FXS_VM=1) against the card in the VM through the host port
# that qemu forwards to the guest's front end.

icsc_in_bench() {
  if declare -F bench_exec >/dev/null; then
    bench_exec "$@"
  elif [ "${FXS_IN_NS:-}" = 1 ]; then
    "$@"
  else
    die "no bench to talk to: start the bench first (./dev bench start)"
  fi
}

# icsc_client ARGS...: icscctl against the bench's card or the VM's.
icsc_client() {
  local bin="$1"
  shift
  if [ "${FXS_VM:-}" = 1 ]; then
    vm_ports
    # Emulated, the card answers more slowly than on the bench.
    "$bin/icscctl" --port "$VM_ICSC_PORT" --timeout 10000 "$@"
  else
    icsc_in_bench "$bin/icscctl" --port "${FXS_ICSC_PORT:-5000}" "$@"
  fi
}

dev_register "icsc [--vm] get|set|walk|event|objects|raw ..." \
  "ICSC client: get OBJ COL [ROW], set OBJ COL ROW VAL, walk [OBJ], event T C [R], objects, raw FILE; get|set|walk common ... (docs/objects.md)"
cmd_icsc() {
  if [ "${1:-}" = --vm ]; then
    local FXS_VM=1
    shift
  fi
  case "${1:-}" in
    get|set|walk|event|objects|raw) ;;
    *) die "usage: ./dev icsc [--vm] get <Object> <column|property> [row]
                 | set <Object> <column|property> <row> <value>
                 | walk [<Object>] | event <table> <column> [row] | objects | raw <file>
                 | get common <object> [instance] [record]
                 | set common <object> [instance] <record> <value> | walk common [<object>]" ;;
  esac
  local bin; bin="$(build_dir native "")/bin"
  [ -x "$bin/icscctl" ] || configure_and_build native "" icscctl udpfe
  if [ "$1" = objects ]; then
    "$bin/icscctl" objects
  elif [ "$1" = raw ]; then
    [ -r "${2:-}" ] || die "cannot read '${2:-}'"
    local f; f="$(readlink -f "$2")"
    icsc_client "$bin" raw "$f"
  else
    icsc_client "$bin" "$@"
  fi
}
