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

dev_register "icsc get|set|walk|event|objects|raw ..." \
  "ICSC client: get OBJ COL [ROW], set OBJ COL ROW VAL, walk [OBJ], event T C [R], objects, raw FILE; get|set|walk common ... (docs/objects.md)"
cmd_icsc() {
  case "${1:-}" in
    get|set|walk|event|objects|raw) ;;
    *) die "usage: ./dev icsc get <Object> <column|property> [row]
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
    icsc_in_bench "$bin/icscctl" --port "${FXS_ICSC_PORT:-5000}" raw "$f"
  else
    icsc_in_bench "$bin/icscctl" --port "${FXS_ICSC_PORT:-5000}" "$@"
  fi
}
