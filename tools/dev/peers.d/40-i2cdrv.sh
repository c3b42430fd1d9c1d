# I2C driver stand-in: self-test answers and, every period, each sensor's
# temperature and status, the ADC power and the power monitor. FXS_BENCH_I2C
# adds options: --silent, --fail-selftest, --fail-adc-selftest,
# --fail-sensor N, --fail-pwrmon, --idle-pwrmon, --period-ms MS
# (docs/bench.md).
# shellcheck disable=SC2086
bench_peer i2cdrv "$(bench_bin sim_i2cdrv)" ${FXS_BENCH_I2C:-}
