# velmora stand-in with its log device; hooks from cmd-velmora.sh.
bench_setup 'FXS_IN_NS=1 sh "$FXS_ROOT/sim/velmora/bench-vocallog.sh"'
# shellcheck disable=SC2046
bench_peer --ready 'test -S /tmp/velmora.sock' velmora $(velmora_bench_command "$(dirname "$(bench_bin main)")")
