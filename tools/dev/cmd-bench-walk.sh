# ./dev bench-walk: time one full walk of every registered object through
# icscctl (and the engine calls it causes) and the round trip of single GETs,
# with the card and its stand-ins in namespaces of their own.

dev_register bench-walk measurements "[--gets N] [--cells N]" \
  "time full icscctl walks, count engine calls, GET round trip" \
  "Starts velmora, main and udpfe in namespaces of its own (not the bench),
walks every registered object with icscctl (--cells N per request; default:
as many as fit in one datagram), counts the engine gets of the walk from
velmora's request log, then times --gets N single GETs (default 1000).
docs/objects.md explains the figures."
cmd_bench_walk() {
  [ "$(id -u)" = 0 ] || die "bench-walk runs in namespaces of its own and needs root"
  local bin; bin="$(build_dir native "")/bin"
  dev_check_only && return 0
  quiet_build "the walk benchmark" native "" bench_walk main velmora udpfe icscctl
  "$FXS_ROOT/tests/nsrun" "$bin/bench_walk" "$@"
}
