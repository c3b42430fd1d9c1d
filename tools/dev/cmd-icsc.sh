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

dev_register icsc "card access" "[--vm | --slot N] get|set|walk|columns|event|objects|raw ARGS" \
  "the card's ICSC objects, as the chassis controller reads them" \
  "get OBJECT COLUMN [ROW]        one cell (row 0 by default)
set OBJECT COLUMN ROW VALUE    write one cell; bool as 0/1/true/false
walk [--cells N] [OBJECT]      every cell of an object, or of the card
                               without one; several cells per request
                               (default: as many as fit in one datagram;
                               --cells 1 walks one at a time)
columns OBJECT                 the object's columns: number, name, type,
                               access (rw or ro)
get common NAME [INSTANCE] [RECORD]
set common NAME [INSTANCE] RECORD VALUE
walk common [NAME]             the common card objects (docs/objects.md)
event TABLE COLUMN [ROW]       a cell of a common event table (0-3)
objects                        every object: id, name, kind, rows, columns
raw FILE                       send FILE's bytes as one datagram, print the
                               answer
--vm                           the card in the VM (docs/vm.md)
--slot N                       the card in slot N of ./dev chassis
OBJECT is a name from 'objects'; COLUMN a number, a property name or its
OBJ_ symbol. The front end is UDP port FXS_ICSC_PORT (5000) inside the
bench. Exit status: 0 served, 1 refused (reason on stderr), 2 no answer,
3 bad usage. docs/icsc-protocol.md describes the protocol."
cmd_icsc() {
  if [ "${1:-}" = --vm ]; then
    local FXS_VM=1
    shift
  elif [ "${1:-}" = --slot ]; then
    [ $# -ge 2 ] || dev_bad_usage icsc "--slot needs a slot number"
    local BENCH_DIR BENCH_SLOT_HINT
    chassis_use_slot "$2"
    shift 2
  fi
  case "${1:-}" in
    get|set|walk|columns|event|objects|raw) ;;
    "") dev_bad_usage icsc "no icsc command" ;;
    *) dev_bad_usage icsc "unknown icsc command '$1'" ;;
  esac
  [ "${FXS_VM:-}" = 1 ] && dev_check_only && return 0
  local bin; bin="$(dirname "$(bench_tool icscctl)")"
  case "$1" in
    objects|columns) "$bin/icscctl" "$@" ;;
    raw)
      [ -r "${2:-}" ] || die "cannot read '${2:-}'"
      icsc_client "$bin" raw "$(readlink -f "$2")" ;;
    *) icsc_client "$bin" "$@" ;;
  esac
}
