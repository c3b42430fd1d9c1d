# Board driver stand-in: reports the slot (FXS_BENCH_SLOT, default 2).
bench_peer --ready 'test -S /tmp/boardDriverServer' board "$(bench_bin board)" --slot "${FXS_BENCH_SLOT:-2}"
