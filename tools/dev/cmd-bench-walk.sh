# ./dev bench-walk: time one full walk of every registered object through
# icscctl (and the engine calls it causes) and the round trip of single GETs,
# with the card and its stand-ins in namespaces of their own.

dev_register "bench-walk [--gets N]" \
  "time a full icscctl walk of all objects, count engine calls, median GET round trip"
cmd_bench_walk() {
  local dir; dir="$(build_dir native "")"
  # An existing build tree learns of bench/ only when configured again.
  if [ -f "$dir/CMakeCache.txt" ]; then cmake "$dir" >/dev/null; fi
  configure_and_build native "" bench_walk main velmora udpfe icscctl
  local bin="$dir/bin"
  "$FXS_ROOT/tests/nsrun" "$bin/bench_walk" "$@"
}
