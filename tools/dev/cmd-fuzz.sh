# ./dev fuzz: the libFuzzer targets of fuzz/, built with clang and ASan+UBSan
# in build/fuzz. Each run starts from the committed corpus fuzz/corpus/<t>/;
# new inputs go to build/fuzz/corpus/<t>/ and --merge folds them, minimized,
# into the committed corpus.

FXS_FUZZ_PKGS=(clang-14 libclang-rt-14-dev)

fuzz_targets() {
  local f
  for f in "$FXS_ROOT"/fuzz/*.cpp; do
    basename "$f" .cpp
  done
}

dev_register fuzz "tests and checks" "[--merge] [TARGET|all] [SECONDS]" \
  "build and run the fuzz targets (default: all, 30 s each)" \
  "Targets are fuzz/*.cpp, built with clang-14, ASan and UBSan in build/fuzz,
one per core, each starting from its committed corpus fuzz/corpus/TARGET/.
--merge  fold the new inputs, minimized, into fuzz/corpus
A finding stops the run; the reproducer is in build/fuzz/artifacts/."
cmd_fuzz() {
  local merge=0
  if [ "${1:-}" = --merge ]; then merge=1; shift; fi
  [ $# -le 2 ] || dev_bad_usage fuzz "too many arguments"
  local which="${1:-all}" secs="${2:-30}"
  [[ "$secs" =~ ^[0-9]+$ ]] && [ "$secs" -gt 0 ] || dev_bad_usage fuzz "seconds must be a positive number"
  local targets=() t
  if [ "$which" = all ]; then
    mapfile -t targets < <(fuzz_targets)
  else
    # Not grep -q: an early exit would SIGPIPE the lister under pipefail.
    fuzz_targets | grep -x "$which" >/dev/null ||
      dev_bad_usage fuzz "no fuzz target '$which' (have: $(fuzz_targets | tr '\n' ' '))"
    targets=("$which")
  fi
  dev_check_only && return 0
  ensure_packages "${FXS_BASE_PKGS[@]}" "${FXS_FUZZ_PKGS[@]}"
  local dir="$FXS_ROOT/build/fuzz"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    say "configuring $dir (clang-14, address,undefined, fuzzer)"
    # clang flags members gcc does not; the gcc build keeps that check.
    CC=clang-14 CXX=clang++-14 cmake -S "$FXS_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DFXS_SANITIZE=address,undefined -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link \
      "-DCMAKE_CXX_FLAGS=-Wno-error=unused-private-field -fsanitize=fuzzer-no-link" >&2
  fi
  local names=()
  for t in "${targets[@]}"; do names+=("fuzz_$t"); done
  # An existing tree learns of targets added since it was configured only
  # when configured again.
  cmake "$dir" >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target "${names[@]}" >&2

  # One fuzzer per core: each is single-threaded.
  local failed=() pid st
  declare -A fuzz_job=()
  fuzz_reap() {
    if wait -n -p pid; then st=0; else st=$?; fi
    local t="${fuzz_job[$pid]}"
    unset "fuzz_job[$pid]"
    if [ "$st" != 0 ]; then
      say "fuzz target $t FAILED; see $dir/$t.log and $dir/artifacts/"
      tail -n 30 "$dir/$t.log" >&2
      failed+=("$t")
      return
    fi
    say "$t: $(grep -E '^stat::number_of_executed_units|^Done' "$dir/$t.log" | tr '\n' ' ')"
    if [ $merge = 1 ]; then
      say "merging new inputs of $t into fuzz/corpus/$t"
      "$FXS_ROOT/tests/nsrun" "$dir/bin/fuzz_$t" -merge=1 -max_len=4096 "$FXS_ROOT/fuzz/corpus/$t" \
        "$dir/corpus/$t" >"$dir/$t.merge.log" 2>&1 || say "merge of $t failed; see $dir/$t.merge.log"
    fi
  }
  for t in "${targets[@]}"; do
    while [ ${#fuzz_job[@]} -ge "$(nproc)" ]; do fuzz_reap; done
    local seeds="$FXS_ROOT/fuzz/corpus/$t" work="$dir/corpus/$t" art="$dir/artifacts"
    mkdir -p "$seeds" "$work" "$art"
    say "fuzzing $t for $secs s"
    # Targets that reach the engine's queues run in namespaces of their own.
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$FXS_ROOT/tests/nsrun" "$dir/bin/fuzz_$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=1024 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="$art/$t-" "$work" "$seeds" >"$dir/$t.log" 2>&1 &
    fuzz_job[$!]="$t"
  done
  while [ ${#fuzz_job[@]} -gt 0 ]; do fuzz_reap; done
  [ ${#failed[@]} -eq 0 ] || die "fuzz targets with findings: ${failed[*]}"
  say "fuzzing done: ${targets[*]}"
}
