# I2C driver stand-in: self-test answers and periodic temperature, ADC and
# power-monitor reports. FXS_BENCH_I2C adds options: --silent,
# --fail-selftest, --fail-sensor N, --idle-pwrmon, --period-ms MS.
# shellcheck disable=SC2086
bench_peer i2cdrv "$(bench_bin sim_i2cdrv)" ${FXS_BENCH_I2C:-}
