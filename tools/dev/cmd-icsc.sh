# ./dev icsc: the chassis controller's client (icscctl) against the running
# bench's card, through the bench's UDP front end (peers.d/30-udpfe.sh), or
# with --vm (or FXS_VM=1) against the card in the VM through the host port
# that qemu forwards to the guest's front end.

# Exit status of every ./dev icsc command: 0 served, 1 refused by the card,
# 2 no answer (bench or VM down, no reply), 3 bad usage.
icsc_bad_usage() {
  echo "dev: error: $1" >&2
  echo "usage: ./dev icsc ${DEV_ARGS[icsc]} (./dev help icsc)" >&2
  exit 3
}

# icsc_client ARGS...: icscctl against the bench's card or the VM's. With
# neither running, icscctl still checks the command (a usage error comes
# first) and then answers "no answer" with the hint.
icsc_client() {
  local bin="$1"
  shift
  if [ "${FXS_VM:-}" = 1 ]; then
    if ! vm_running; then
      FXS_CARD_LOG_HINT="./dev vm logs" \
        "$bin/icscctl" --no-card "no VM is running: start one with ./dev vm start (or ./dev vm)" "$@"
      return
    fi
    vm_ports
    # Emulated, the card answers more slowly than on the bench.
    FXS_CARD_LOG_HINT="./dev vm logs" "$bin/icscctl" --port "$VM_ICSC_PORT" --timeout 10000 "$@"
  elif bench_running; then
    bench_exec "$bin/icscctl" --port "${FXS_ICSC_PORT:-5000}" "$@"
  else
    "$bin/icscctl" --no-card "the bench is not running: start it with ./dev bench start" "$@"
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
                               and OIDs, then the common card objects and
                               the event tables
raw FILE                       send FILE's bytes as one datagram, print the
                               answer
--format text|table|json|csv   for get, walk, columns and objects: text (the
                               default, as above); table: aligned columns
                               under a header, one line per row (a scalar:
                               one line per property); json: one array of
                               records, numbers as numbers; csv: RFC 4180,
                               a header line first (docs/icsc-protocol.md)
--vm                           the card in the VM (docs/vm.md)
--slot N                       the card in slot N of ./dev chassis
OBJECT is a name from 'objects' (any case); COLUMN a number, a property
name or its OBJ_ symbol. An unknown name is answered with the closest ones.
The front end is UDP port FXS_ICSC_PORT (5000) inside the bench.
Exit status: 0 served, 1 refused by the card (its status and why on
stderr), 2 no answer (bench or VM not running, or no reply), 3 bad usage.
Tab completion of objects and columns: ./dev help completion.
docs/icsc-protocol.md describes the protocol."
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
    "") icsc_bad_usage "no icsc command (get, set, walk, columns, event, objects, raw)" ;;
    *) icsc_bad_usage "unknown icsc command '$1' (get, set, walk, columns, event, objects, raw)" ;;
  esac
  [ "${FXS_VM:-}" = 1 ] && dev_check_only && return 0
  local bin; bin="$(dirname "$(bench_tool icscctl)")"
  case "$1" in
    objects|columns) "$bin/icscctl" "$@" ;;
    raw)
      [ -r "${2:-}" ] || icsc_bad_usage "cannot read '${2:-}'"
      # Read on this side: the bench's /tmp is its own.
      icsc_client "$bin" raw /dev/stdin <"$2" ;;
    *) icsc_client "$bin" "$@" ;;
  esac
}
