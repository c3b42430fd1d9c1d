dev_register "help" "list the subcommands"
cmd_help() {
  echo "usage: ./dev <subcommand> [args]"
  echo
  printf '%s\n' "${DEV_HELP[@]}"
}

dev_register "build [--arch armhf] [--sanitize S]" "configure and build (incremental)"
cmd_build() {
  parse_build_opts "$@"
  configure_and_build "$ARCH" "$SANITIZE" "${REST[@]}"
  say "built in $(build_dir "$ARCH" "$SANITIZE")"
}

dev_register "test [--arch armhf] [--sanitize S] [-R re]" "build and run every test (ctest)"
dev_register "test --vm" "the end-to-end suite on a 32-bit ARM kernel under qemu (docs/vm.md)"
cmd_test() {
  if [ "${1:-}" = --vm ]; then
    [ $# -eq 1 ] || die "./dev test --vm takes no other option"
    [ "$(id -u)" = 0 ] || die "the VM is built and run as root"
    vm_test
    return
  fi
  parse_build_opts "$@"
  configure_and_build "$ARCH" "$SANITIZE"
  local dir; dir="$(build_dir "$ARCH" "$SANITIZE")"
  [ "$(id -u)" = 0 ] || die "tests run in namespaces of their own and need root"
  say "running tests in $dir"
  local env=()
  if [ -n "$SANITIZE" ]; then
    env+=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
          TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1)
  fi
  (cd "$dir" && env "${env[@]}" ctest --output-on-failure -j "$(nproc)" ${REST[@]+"${REST[@]}"})
}

dev_register "format [--check]" "clang-format the sources (or check them)"
cmd_format() {
  local files
  files=$(cd "$FXS_ROOT" && git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')
  if [ "${1:-}" = --check ]; then
    (cd "$FXS_ROOT" && echo "$files" | xargs -r clang-format --dry-run --Werror)
  else
    (cd "$FXS_ROOT" && echo "$files" | xargs -r clang-format -i)
  fi
}

dev_register "perf" "measure console, queue and tokenizer latency (bench/spine, own namespaces)"
cmd_perf() {
  [ "$(id -u)" = 0 ] || die "the measurements run in namespaces of their own and need root"
  configure_and_build native "" bench_spine
  "$FXS_ROOT/tests/nsrun" "$(build_dir native "")/bin/bench_spine"
}
