# Board driver stand-in: reports the slot (FXS_BENCH_SLOT, default 2);
# FXS_BENCH_BOARD adds options (--delay S).
# shellcheck disable=SC2086
bench_peer --ready 'test -S /tmp/boardDriverServer' board "$(bench_bin board)" \
  --slot "${FXS_BENCH_SLOT:-2}" ${FXS_BENCH_BOARD:-}
