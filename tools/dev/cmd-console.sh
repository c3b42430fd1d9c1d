dev_register "console [COMMAND...]" "run one debug console command on the bench's card, or open the console"
cmd_console() {
  [ "$(id -u)" = 0 ] || die "the bench's console is reached through its namespaces and needs root"
  bench_running || die "the card is not running: start it with ./dev bench start"
  if [ $# -eq 0 ]; then
    local wrap=()
    command -v rlwrap >/dev/null && wrap=(rlwrap)
    say "debug console of the bench's card ('help' lists the groups, 'quit' ends)"
    bench_exec ${wrap[@]+"${wrap[@]}"} nc 127.0.0.1 10000
    return
  fi
  # One command: send it, print its output without the protocol lines, and
  # fail unless the console ended it with "#END ok".
  printf '%s\nquit\n' "$*" | bench_exec timeout 30 nc -N 127.0.0.1 10000 |
    awk 'NR == 1 && /^# / { next }
         /^#END / { st = $2; next }
         { print }
         END { if (st == "") { print "dev: console: no answer from the card" > "/dev/stderr"; exit 1 }
               if (st != "ok") { print "dev: console: " st > "/dev/stderr"; exit 1 } }'
}

dev_register "fdebug WORD..." "post a command line to the bench's card as the debug front end does (message 900)"
cmd_fdebug() {
  [ "$(id -u)" = 0 ] || die "the bench is reached through its namespaces and needs root"
  bench_running || die "the card is not running: start it with ./dev bench start"
  [ $# -gt 0 ] || die "usage: ./dev fdebug WORD..."
  bench_exec "$(bench_bin fdebug)" "$@"
}
