# Log collection on the bench: main finds the bench's nbcat on its PATH and
# packs its own log (the bench's stand-in for the card's syslog file).
BENCH_MAIN_ENV+=("PATH=$(dirname "$(bench_bin main)"):$PATH" "FXS_GETLOG_FILES=$BENCH_DIR/main.log")
