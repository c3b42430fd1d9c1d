dev_register help "" "[SUBCOMMAND]" "list the subcommands, or show one subcommand's arguments and details"
cmd_help() {
  if [ $# -eq 0 ]; then
    dev_list
    return 0
  fi
  [ $# -eq 1 ] || dev_bad_usage help "one subcommand at a time"
  [ -n "${DEV_GROUP[$1]+set}" ] || dev_bad_usage help "no subcommand '$1' (./dev help lists them)"
  dev_usage "$1"
}

dev_register build "tests and checks" "[--arch armhf] [--sanitize SET] [TARGET...]" \
  "configure and build (incremental): all or the named targets" \
  "Build trees: build/native, build/armhf (cross, for qemu-arm) and build/native-SET
for a sanitizer set (address,undefined or thread). Debian packages the build
needs are installed first when missing (as root)."
cmd_build() {
  parse_build_opts build "$@"
  dev_check_only && return 0
  configure_and_build "$ARCH" "$SANITIZE" ${REST[@]+"${REST[@]}"}
  say "built in $(build_dir "$ARCH" "$SANITIZE")"
}

dev_register test "tests and checks" "[--arch armhf] [--sanitize SET] [--verbose] [-R REGEX] | --vm" \
  "build and run every test through ctest (as root)" \
  "--arch armhf   cross-build and run the tests under qemu-arm
--sanitize SET address,undefined or thread; build/native-SET, sanitizer
               options that stop at the first report
--verbose      the compiler's output and ctest's line per test; without
               it one progress line each, then only the failed tests with
               their output and the summary (the whole output goes to
               out/dev-logs/build-TREE.log and test-TREE.log)
-R REGEX       only the ctest tests whose names match (other ctest
               options are passed on as well)
--vm           the end-to-end suite on a 32-bit ARM kernel under qemu
               (docs/vm.md); no other option with it"
cmd_test() {
  if [ "${1:-}" = --vm ]; then
    [ $# -eq 1 ] || dev_bad_usage test "--vm takes no other option"
    [ "$(id -u)" = 0 ] || die "the VM is built and run as root"
    dev_check_only && return 0
    vm_test
    return
  fi
  parse_build_opts test "$@"
  local args=() a
  for a in ${REST[@]+"${REST[@]}"}; do
    if [ "$a" = --verbose ]; then export FXS_DEV_VERBOSE=1; else args+=("$a"); fi
  done
  [ "$(id -u)" = 0 ] || die "tests run in namespaces of their own and need root"
  dev_check_only && return 0
  quiet_build "the tests" "$ARCH" "$SANITIZE"
  local dir; dir="$(build_dir "$ARCH" "$SANITIZE")"
  say "running tests in $dir"
  local env=()
  if [ -n "$SANITIZE" ]; then
    env+=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
          TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1)
  fi
  local run=(ctest --output-on-failure -j "$(nproc)" ${args[@]+"${args[@]}"})
  if dev_verbose; then
    (cd "$dir" && env ${env[@]+"${env[@]}"} "${run[@]}")
    return
  fi
  local log tty=0
  log="$(dev_log "test-$(basename "$(realpath "$dir")")")"
  [ -t 2 ] && tty=1
  (cd "$dir" && env ${env[@]+"${env[@]}"} "${run[@]}") 2>&1 | test_progress "$log" "$tty"
}

# test_progress LOG TTY: ctest's output into LOG; on the terminal one
# progress line, then each test that did not pass with its output, and the
# summary. Lines it does not know are shown.
test_progress() {
  local log="$1" tty="$2" line at failing=0
  : >"$log"
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    if [[ "$line" =~ ^\ *([0-9]+)/([0-9]+)\ Test\ +#[0-9]+:\ ([^ ]+) ]]; then
      at="${BASH_REMATCH[1]}/${BASH_REMATCH[2]} ${BASH_REMATCH[3]}"
      if [[ "$line" =~ (\ Passed|\*\*\*Skipped)\ +[0-9.]+\ sec$ ]]; then
        failing=0
        [ "$tty" = 1 ] && printf '\r\033[Kdev: testing: %.60s' "$at" >&2
        continue
      fi
      failing=1
      [ "$tty" = 1 ] && printf '\r\033[K' >&2
      printf '%s\n' "$line"
      continue
    fi
    case "$line" in
      "Test project "*|*"Start "*[0-9]": "*) ;;
      "") [ $failing = 0 ] || printf '\n' ;;
      *) [ "$tty" = 1 ] && printf '\r\033[K' >&2; printf '%s\n' "$line" ;;
    esac
  done
  [ "$tty" = 1 ] && printf '\r\033[K' >&2
  say "the whole output of ctest is in $log"
}

dev_register format "tests and checks" "[--check]" \
  "clang-format the C++ sources in place (--check: report only)"
cmd_format() {
  local check=0
  dev_flag format --check "$@" && check=1
  dev_check_only && return 0
  ensure_packages clang-format
  local files
  files=$(cd "$FXS_ROOT" && git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')
  if [ $check = 1 ]; then
    (cd "$FXS_ROOT" && echo "$files" | xargs -r clang-format --dry-run --Werror)
  else
    (cd "$FXS_ROOT" && echo "$files" | xargs -r clang-format -i)
  fi
}

FXS_TIDY_DIRS=(components platform sim bench fuzz tests)
# run-clang-tidy comes with clang-tidy.
FXS_TIDY_PKGS=(clang-tidy)

dev_register tidy "tests and checks" "[FILE...]" \
  "clang-tidy the C++ sources with .clang-tidy; fails on any finding" \
  "Checks every source file of components/, platform/, sim/, bench/, fuzz/
and tests/ (or only the named .cpp files), with their headers, one
clang-tidy per core. Uses build/native's compile_commands.json: the
tree is configured first, not built."
cmd_tidy() {
  local dir files=() f re=() root_re
  dir="$(build_dir native "")"
  for f in "$@"; do
    [ -f "$f" ] || dev_bad_usage tidy "no file '$f'"
    case "$f" in *.cpp) ;; *) dev_bad_usage tidy "'$f' is not a .cpp file (headers are checked through the sources that include them)" ;; esac
    files+=("$(realpath "$f")")
  done
  dev_check_only && return 0
  ensure_packages "${FXS_BASE_PKGS[@]}" "${FXS_TIDY_PKGS[@]}"
  # Configured again even when it exists, so that files added or moved
  # since are in the list.
  cmake_args native "" "$dir"
  mkdir -p "$dir"
  if ! cmake "${CMAKE_ARGS[@]}" >"$dir/dev-tidy.log" 2>&1; then
    cat "$dir/dev-tidy.log" >&2
    die "configuring $dir failed"
  fi
  # run-clang-tidy takes regular expressions over absolute paths.
  root_re="$(printf '%s' "$FXS_ROOT" | sed 's/[][\.*^$+?(){}|]/\\&/g')"
  if [ ${#files[@]} -eq 0 ]; then
    re=("^$root_re/($(IFS='|'; echo "${FXS_TIDY_DIRS[*]}"))/")
  else
    for f in "${files[@]}"; do
      grep -qF "\"file\": \"$f\"" "$dir/compile_commands.json" ||
        die "$f is not a source of the build"
      re+=("^$(printf '%s' "$f" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$")
    done
  fi
  say "clang-tidy over $([ ${#files[@]} -eq 0 ] && echo "every source" || echo "${#files[@]} file(s)") (build tree $dir)"
  # Only the findings: no command lines, no counts of warnings it suppressed.
  if ! run-clang-tidy -quiet -p "$dir" -j "$(nproc)" "${re[@]}" 2>&1 |
    sed 's/\x1b\[[0-9;]*m//g' |
    { grep -vE '^(clang-tidy(-[0-9]+)? |[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$)' || true; }; then
    die "clang-tidy found problems (above)"
  fi
  say "clang-tidy: clean"
}

dev_register perf "measurements" "" \
  "console, queue and tokenizer latency (bench/spine)"
cmd_perf() {
  [ $# -eq 0 ] || dev_bad_usage perf "no arguments expected"
  [ "$(id -u)" = 0 ] || die "the measurements run in namespaces of their own and need root"
  dev_check_only && return 0
  quiet_build "the benchmark" native "" bench_spine
  "$FXS_ROOT/tests/nsrun" "$(build_dir native "")/bin/bench_spine"
}
