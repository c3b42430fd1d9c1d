# pca9552 LED driver stand-in; it also draws the front panel into its log.
# FXS_BENCH_PCA9552 adds options: --silent, --fail-selftest, --absent.
# shellcheck disable=SC2086
if [[ " ${FXS_BENCH_PCA9552:-} " == *" --absent "* ]]; then
  bench_peer pca9552 "$(bench_bin sim_pca9552)" --panel log ${FXS_BENCH_PCA9552:-}
else
  bench_peer --ready 'test -S /tmp/pca9552DriverServer' pca9552 "$(bench_bin sim_pca9552)" \
    --panel log ${FXS_BENCH_PCA9552:-}
fi
