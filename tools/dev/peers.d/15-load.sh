# The card's loads (docs/upgrade.md): two slots below /flash/load. The first
# start installs this build's programs (cmake/load-programs.txt) as the
# factory load in slot a; main then starts through the slot chooser, as the
# card's init runs it, and after a reboot request the bench (or the VM)
# starts it through the chooser again.
bench_setup "test -e /flash/load/state || { cd '$(dirname "$(bench_bin main)")' &&
  '$(bench_bin fxsbundle)' install --root /flash/load \$(cat \"\$FXS_ROOT/cmake/load-programs.txt\"); }"
BENCH_MAIN_PROGRAM="$(bench_bin bootslot)"
# Downloads on the bench give up on a stalled server sooner than on the card.
BENCH_MAIN_ENV+=("FXS_LOAD_STALL_SECONDS=${FXS_LOAD_STALL_SECONDS:-10}")
