# ./dev vm: the armhf card with its peers on Debian's 32-bit ARM kernel under
# qemu-system-arm (docs/vm.md). The guest's serial console is qemu's
# standard I/O: its input is the FIFO out/vm/run/serial.in (a Ctrl-C byte
# written there is Ctrl-C on the guest's console), its output goes to
# out/vm/run/console.log. qemu's user network forwards two ports of the
# host's loopback to the guest (ICSC over UDP, the debug console over TCP);
# the guest lets nothing else out (tools/dev/vm/init). qemu's restrict=on
# would do that on the host side but also drops the answers to forwarded
# UDP datagrams.

# shellcheck source=tools/dev/vm-image.sh
source "$FXS_ROOT/tools/dev/vm-image.sh"

VM_RUN="$VM_DIR/run"
# Bounds of the emulated run: boot to a running card, the stop after Ctrl-C,
# the boot and suite of ./dev test --vm.
VM_BOOT_SECONDS=${FXS_VM_BOOT_SECONDS:-300}
VM_STOP_SECONDS=${FXS_VM_STOP_SECONDS:-120}
VM_TEST_SECONDS=${FXS_VM_TEST_SECONDS:-1200}

vm_usage() {
  cat <<'EOF'
usage: ./dev vm [start|stop|status|logs [-f]|shell]
  (none)   build the image, boot it, run the card and its peers and follow the
           serial console (the card's log); Ctrl-C stops the card (SIGTERM),
           its peers and the VM
  start    the same in the background; returns once the card runs
  stop     Ctrl-C on the guest's console; prints main's exit status
  status   whether the VM runs, and its forwarded ports
  logs     the serial console so far (-f: follow it)
  shell    boot with an interactive shell on the console (the bench runs
           beside it); exit stops the card and the VM, Ctrl-A x kills qemu
From the host: ./dev icsc --vm ..., ./dev console --vm ... (or FXS_VM=1).
./dev test --vm runs the end-to-end suite in the VM.
EOF
}

dev_register vm bench "[start|stop|status|logs [-f]|shell]" \
  "the armhf card and its peers on a 32-bit ARM kernel under qemu" "$(vm_usage | sed 1d)"
cmd_vm() {
  case "${1:-run}" in
    run|start|stop|status|logs|shell) ;;
    *) dev_bad_usage vm "unknown vm subcommand '$1'" ;;
  esac
  [ "$(id -u)" = 0 ] || die "the VM is built and run as root"
  dev_check_only && return 0
  local sub="${1:-run}"
  [ $# -gt 0 ] && shift
  case "$sub" in
    run) vm_foreground ;;
    start)
      vm_launch run
      vm_wait_running
      ;;
    stop) vm_stop ;;
    status) vm_status ;;
    logs)
      [ -f "$VM_RUN/console.log" ] || die "no VM has run here yet (./dev vm)"
      if [ "${1:-}" = -f ]; then vm_follow; else tr -d '\r' <"$VM_RUN/console.log"; fi
      ;;
    shell) vm_shell ;;
  esac
}

vm_pid() { cat "$VM_RUN/qemu.pid" 2>/dev/null; }
vm_running() { local p; p="$(vm_pid)" && [ -n "$p" ] && kill -0 "$p" 2>/dev/null; }

# The host ports: FXS_VM_ICSC_PORT / FXS_VM_CONSOLE_PORT, else free ones from
# a base that differs between work trees.
vm_free_port() {
  local p="$1"
  while ss -Hlntu "sport = :$p" 2>/dev/null | grep -q .; do p=$((p + 1)); done
  echo "$p"
}
vm_pick_ports() {
  local base=$((20000 + $(echo "$FXS_ROOT" | cksum | cut -d' ' -f1) % 400 * 20))
  VM_ICSC_PORT="${FXS_VM_ICSC_PORT:-$(vm_free_port "$base")}"
  VM_CONSOLE_PORT="${FXS_VM_CONSOLE_PORT:-$(vm_free_port $((VM_ICSC_PORT + 1)))}"
}

# vm_ports: the forwarded ports of the running VM (for --vm clients).
vm_ports() {
  vm_running || die "no VM is running: start one with ./dev vm start (or ./dev vm)"
  # shellcheck disable=SC1091
  . "$VM_RUN/ports"
}

# vm_prepare MODE: the image, the host ports and qemu's command line.
vm_prepare() {
  vm_image
  mkdir -p "$VM_RUN"
  rm -f "$VM_RUN"/{qemu.pid,ports,console.log,serial.in}
  vm_pick_ports
  printf 'VM_ICSC_PORT=%s\nVM_CONSOLE_PORT=%s\n' "$VM_ICSC_PORT" "$VM_CONSOLE_PORT" >"$VM_RUN/ports"
  vm_qemu_args "$1"
}

vm_qemu_args() {
  local mode="$1"
  VM_QEMU=(qemu-system-arm -M virt -cpu cortex-a15 -m 512 -smp 1 -nodefaults -no-reboot
           -display none -monitor none
           -kernel "$VM_KERNEL" -initrd "$VM_INITRD"
           -append "console=ttyAMA0 quiet loglevel=3 panic=-1 fxs.mode=$mode fxs.icsc_port=${FXS_ICSC_PORT:-5000}"
           -netdev "user,id=net0,hostfwd=udp:127.0.0.1:$VM_ICSC_PORT-:${FXS_ICSC_PORT:-5000},hostfwd=tcp:127.0.0.1:$VM_CONSOLE_PORT-:10000"
           -device virtio-net-device,netdev=net0 -device virtio-rng-device)
}

# vm_launch MODE: builds the image and starts qemu in the background.
vm_launch() {
  local mode="$1"
  if vm_running; then
    die "a VM is already running (pid $(vm_pid)); ./dev vm stop first"
  fi
  vm_prepare "$mode"
  mkfifo "$VM_RUN/serial.in"
  : >"$VM_RUN/console.log"
  say "booting the VM ($mode): ICSC on 127.0.0.1:$VM_ICSC_PORT/udp, console on 127.0.0.1:$VM_CONSOLE_PORT/tcp"
  VM_STARTED=$(date +%s)
  # A session of its own: the terminal's Ctrl-C goes to ./dev, which passes
  # it to the guest. The FIFO opened for reading and writing never ends.
  setsid "${VM_QEMU[@]}" -serial stdio <>"$VM_RUN/serial.in" >>"$VM_RUN/console.log" 2>&1 &
  echo $! >"$VM_RUN/qemu.pid"
}

vm_console_has() { tr -d '\r' <"$VM_RUN/console.log" | grep -q -- "$1"; }

vm_wait_running() {
  local deadline=$(($(date +%s) + VM_BOOT_SECONDS))
  until vm_console_has '^vm: card running'; do
    if ! vm_running || vm_console_has '^vm: \(boot failed\|bench setup step failed\|peer .* not\|main did not\)'; then
      tr -d '\r' <"$VM_RUN/console.log" | tail -n 40 >&2
      vm_stop >/dev/null 2>&1 || true
      die "the card did not come up in the VM"
    fi
    if [ "$(date +%s)" -ge "$deadline" ]; then
      vm_kill
      die "the card did not come up in the VM within $VM_BOOT_SECONDS s"
    fi
    sleep 0.5
  done
  say "card running in the VM after $(($(date +%s) - VM_STARTED)) s; ./dev icsc --vm walk SystemScalar, ./dev console --vm 'main internals', ./dev vm stop"
}

vm_kill() {
  local p; p="$(vm_pid)"
  [ -n "$p" ] && kill -KILL "$p" 2>/dev/null
  rm -f "$VM_RUN/qemu.pid"
}

vm_follow() { tail -n +1 -f ${1:+--pid="$1"} "$VM_RUN/console.log" | sed -u 's/\r$//'; }

# Ctrl-C on the guest's console: the card gets SIGTERM, then its peers; the
# guest powers off. Returns 0 when main exited with status 0.
vm_stop() {
  local status
  if ! vm_running; then
    say "no VM is running"
    return 0
  fi
  say "stopping the card and the VM"
  # Before the supervisor has the console, a Ctrl-C would go nowhere.
  bench_wait "$VM_BOOT_SECONDS" bash -c "! kill -0 $(vm_pid) || tr -d '\r' <'$VM_RUN/console.log' | grep -q '^vm: console ready'" || true
  printf '\003' >"$VM_RUN/serial.in"
  if ! bench_wait "$VM_STOP_SECONDS" bash -c "! kill -0 $(vm_pid)"; then
    say "the VM did not power off within $VM_STOP_SECONDS s: killing qemu"
    vm_kill
  fi
  rm -f "$VM_RUN/qemu.pid"
  status="$(tr -d '\r' <"$VM_RUN/console.log" | sed -n 's/.*vm: main exited with status //p' | tail -n 1)"
  if [ -n "$status" ]; then
    say "main exited with status $status"
  else
    say "main had not started (or its end was not reported; see ./dev vm logs)"
  fi
  [ "$status" = 0 ]
}

vm_status() {
  if vm_running; then
    vm_ports
    echo "vm: running (qemu pid $(vm_pid)); ICSC 127.0.0.1:$VM_ICSC_PORT/udp, console 127.0.0.1:$VM_CONSOLE_PORT/tcp"
  else
    echo "vm: not running"
    return 1
  fi
}

vm_foreground() {
  vm_launch run
  local pid follower rc=0
  pid="$(vm_pid)"
  say "following the VM's serial console; Ctrl-C stops the card and the VM"
  # In the background, so that the trap runs at once; deaf to Ctrl-C, so
  # that it shows the guest's stop; it ends with qemu.
  (trap '' INT; vm_follow "$pid") &
  follower=$!
  trap 'VM_INTERRUPTED=1' INT TERM
  VM_INTERRUPTED=""
  while kill -0 "$pid" 2>/dev/null && [ -z "$VM_INTERRUPTED" ]; do
    wait "$follower" 2>/dev/null || true
  done
  trap - INT TERM
  if [ -n "$VM_INTERRUPTED" ]; then
    echo
    vm_stop || rc=1
  else
    rm -f "$VM_RUN/qemu.pid"
    say "the VM powered off by itself"
    vm_console_has 'vm: main exited with status 0$' || rc=1
  fi
  wait "$follower" 2>/dev/null || true
  return $rc
}

vm_shell() {
  [ -t 0 ] || die "./dev vm shell needs a terminal"
  if vm_running; then
    die "a VM is already running (pid $(vm_pid)); ./dev vm stop first"
  fi
  vm_prepare shell
  say "ICSC on 127.0.0.1:$VM_ICSC_PORT/udp, console on 127.0.0.1:$VM_CONSOLE_PORT/tcp; Ctrl-A x kills qemu"
  "${VM_QEMU[@]}" -serial mon:stdio &
  echo $! >"$VM_RUN/qemu.pid"
  wait $! || true
  rm -f "$VM_RUN/qemu.pid"
}

# --- ./dev test --vm -------------------------------------------------------

# vm_host_check NAME PROBLEM: one ok / not ok line (PROBLEM empty: ok).
vm_host_check() {
  VM_HOST_N=$((VM_HOST_N + 1))
  if [ -z "$2" ]; then
    echo "ok $VM_HOST_N - host: $1"
  else
    echo "not ok $VM_HOST_N - host: $1"
    printf '%s\n' "$2" | sed 's/^/#   /'
  fi
}

# The host's checks while the guest's suite waits: the user's commands
# through the forwarded ports. Appends ok/not ok lines to FILE.
vm_host_checks() {
  local out="$1" walk state value
  VM_HOST_N=0
  walk="$(FXS_VM=1 cmd_icsc walk SystemScalar 2>&1)"
  vm_host_check "./dev icsc --vm walk SystemScalar reads the card" \
    "$(grep -q '^row 0 netDebugServer = dbg.example.test$' <<<"$walk" || echo "$walk")" >>"$out"
  value="$( (FXS_VM=1 cmd_icsc set SipProtocolTimersScalar sipTimerNoAnswerDuration 0 123 &&
    FXS_VM=1 cmd_icsc get SipProtocolTimersScalar sipTimerNoAnswerDuration) 2>&1)"
  vm_host_check "./dev icsc --vm set then get" \
    "$([ "$value" = $'123\n123' ] || echo "got: $value")" >>"$out"
  state="$(FXS_VM=1 cmd_icsc get common card-state state-name 2>&1)"
  vm_host_check "./dev icsc --vm reads the card state ACTIVE" \
    "$([ "$state" = ACTIVE ] || echo "$state")" >>"$out"
  value="$(FXS_VM=1 cmd_console 'main hwstatus' 2>&1)"
  vm_host_check "./dev console --vm 'main hwstatus' shows the sensors" \
    "$(grep -q 'Temp Name=local' <<<"$value" || echo "$value")" >>"$out"
}

vm_test() {
  local t0 result="$VM_RUN/suite" host="$VM_RUN/host-checks"
  t0=$(date +%s)
  vm_launch test
  local pid; pid="$(vm_pid)"
  : >"$host"
  trap 'vm_kill; exit 130' INT TERM
  local line
  while IFS= read -r line; do
    line="${line%$'\r'}"
    echo "$line"
    case "$line" in
      "vm: host checks may start")
        vm_host_checks "$host"
        cat "$host"
        printf '\003' >"$VM_RUN/serial.in"
        ;;
    esac
  done < <(timeout "$VM_TEST_SECONDS" tail -n +1 -f --pid="$pid" "$VM_RUN/console.log")
  if vm_running; then
    say "the VM suite ran out of its $VM_TEST_SECONDS s (FXS_VM_TEST_SECONDS)"
    vm_kill
  fi
  trap - INT TERM
  rm -f "$VM_RUN/qemu.pid"
  tr -d '\r' <"$VM_RUN/console.log" | sed -n 's/^vm-suite: \([0-9]*\) passed, \([0-9]*\) failed.*/\1 \2/p' >"$result"
  local gp=0 gf=1 hp hf
  if [ -s "$result" ]; then read -r gp gf <"$result"; else say "the guest's suite did not finish"; fi
  hp="$(grep -c '^ok ' "$host" || true)"
  hf="$(grep -c '^not ok ' "$host" || true)"
  [ "$hp" -gt 0 ] || [ "$hf" -gt 0 ] || { say "the host's checks did not run"; hf=1; }
  say "VM suite took $(($(date +%s) - t0)) s (boot and build included)"
  echo "vm: $((gp + hp)) passed, $((gf + hf)) failed"
  [ $((gf + hf)) = 0 ]
}
