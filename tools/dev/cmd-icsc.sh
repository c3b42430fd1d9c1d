# ./dev icsc: the chassis controller's client (icscctl) against the running
# bench's card, through the bench's UDP front end (peers.d/30-udpfe.sh).

icsc_in_bench() {
  if declare -F bench_exec >/dev/null; then
    bench_exec "$@"
  elif [ "${FXS_IN_NS:-}" = 1 ]; then
    "$@"
  else
    die "no bench to talk to: start the bench first (./dev bench start)"
  fi
}

dev_register icsc "card access" "get|set|walk|columns|event|objects|raw ARGS" \
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
OBJECT is a name from 'objects'; COLUMN a number, a property name or its
OBJ_ symbol. The front end is UDP port FXS_ICSC_PORT (5000) inside the
bench. Exit status: 0 served, 1 refused (reason on stderr), 2 no answer,
3 bad usage. docs/icsc-protocol.md describes the protocol."
cmd_icsc() {
  case "${1:-}" in
    get|set|walk|columns|event|objects|raw) ;;
    "") dev_bad_usage icsc "no icsc command" ;;
    *) dev_bad_usage icsc "unknown icsc command '$1'" ;;
  esac
  local bin; bin="$(bench_tool icscctl)"
  case "$1" in
    objects|columns) "$bin" "$@" ;;
    raw)
      [ -r "${2:-}" ] || die "cannot read '${2:-}'"
      icsc_in_bench "$bin" --port "${FXS_ICSC_PORT:-5000}" raw "$(readlink -f "$2")" ;;
    *) icsc_in_bench "$bin" --port "${FXS_ICSC_PORT:-5000}" "$@" ;;
  esac
}
