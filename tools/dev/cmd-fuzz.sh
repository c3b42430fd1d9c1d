# ./dev fuzz: builds the libFuzzer targets of fuzz/ with clang in a build
# directory of their own and runs one for a bounded time.

dev_register "fuzz [TARGET] [SECONDS]" "build fuzz/ with clang and run fuzz_TARGET (default icsc_decode, 60 s)"
cmd_fuzz() {
  local target="${1:-icsc_decode}" secs="${2:-60}"
  ensure_packages "${FXS_BASE_PKGS[@]}" clang-14 libclang-rt-14-dev
  local dir="$FXS_ROOT/build/fuzz"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    say "configuring $dir (clang)"
    CC=clang-14 CXX=clang++-14 cmake -S "$FXS_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DFXS_SANITIZE=address,undefined "-DCMAKE_CXX_FLAGS=-Wno-error=unused-private-field -fsanitize=fuzzer-no-link" >&2
  fi
  cmake --build "$dir" -j "$(nproc)" --target "fuzz_$target" >&2
  local corpus="$dir/corpus-$target"
  mkdir -p "$corpus"
  # clang flags members gcc does not; the gcc build keeps that check.
  # Engine answers go to a queue: run inside namespaces of its own.
  "$FXS_ROOT/tests/nsrun" "$dir/bin/fuzz_$target" -max_total_time="$secs" -max_len=2048 \
    -print_final_stats=1 "$corpus"
}
