# Shared helpers of ./dev. Each tools/dev/cmd-<name>.sh defines cmd_<name>
# and registers it with
#   dev_register NAME GROUP 'ARGS' 'one-line summary' 'details (any lines)'
# GROUP is one of DEV_GROUPS; ./dev help lists them grouped, ./dev help NAME
# and ./dev NAME --help print ARGS and the details.

DEV_GROUPS=("bench" "card access" "tests and checks" "measurements")
DEV_NAMES=()
declare -A DEV_GROUP=() DEV_ARGS=() DEV_SUMMARY=() DEV_DETAILS=()
dev_register() {
  DEV_NAMES+=("$1")
  DEV_GROUP[$1]="$2"
  DEV_ARGS[$1]="$3"
  DEV_SUMMARY[$1]="$4"
  DEV_DETAILS[$1]="${5:-}"
}

# dev_usage NAME: the usage line and details of one subcommand.
dev_usage() {
  local name="$1"
  echo "usage: ./dev $name${DEV_ARGS[$name]:+ ${DEV_ARGS[$name]}}"
  echo "${DEV_SUMMARY[$name]}"
  if [ -n "${DEV_DETAILS[$name]}" ]; then
    echo
    printf '%s\n' "${DEV_DETAILS[$name]}"
  fi
  # Details that a built tool knows best come from it.
  if declare -F "dev_more_${name//-/_}" >/dev/null; then
    echo
    "dev_more_${name//-/_}"
  fi
}

# dev_list: every subcommand, one line each, under its group.
dev_list() {
  local group name width=0
  for name in "${DEV_NAMES[@]}"; do
    [ ${#name} -gt "$width" ] && width=${#name}
  done
  echo "usage: ./dev SUBCOMMAND [ARGS]"
  echo "       ./dev help SUBCOMMAND (or SUBCOMMAND --help): its arguments and details"
  for group in "${DEV_GROUPS[@]}"; do
    echo
    echo "$group:"
    for name in "${DEV_NAMES[@]}"; do
      if [ "${DEV_GROUP[$name]}" = "$group" ]; then
        printf '  %-*s  %s\n' "$width" "$name" "${DEV_SUMMARY[$name]}"
      fi
    done
  done
}

# Set by the docs check: subcommands that build or run for minutes check
# their arguments and stop there.
dev_check_only() { [ "${FXS_DEV_CHECK_ONLY:-}" = 1 ]; }

say() { echo "dev: $*" >&2; }
die() { echo "dev: error: $*" >&2; exit 1; }

# Debian packages every build needs; more per subcommand (jq: the docs read
# the client's JSON with it).
FXS_BASE_PKGS=(cmake g++ make googletest libboost-dev libmnl-dev libcurl4-openssl-dev libsodium-dev
               libarchive-dev iproute2 util-linux iptables procps psmisc netcat-openbsd
               python3-pyftpdlib python3-openssl openssl nlohmann-json3-dev jq)
FXS_ARMHF_PKGS=(g++-arm-linux-gnueabihf qemu-user)

dev_apt_updated=0
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" != 0 ]; then
    die "missing Debian packages: ${missing[*]} (run as root to install them)"
  fi
  say "installing ${missing[*]}"
  if [ $dev_apt_updated = 0 ]; then
    apt-get update -qq >&2 || say "apt-get update failed; trying with the old lists"
    dev_apt_updated=1
  fi
  # Other builds on the machine may hold the lock for a while.
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    --no-install-recommends "${missing[@]}" >&2
}

ensure_armhf() {
  ensure_packages "${FXS_ARMHF_PKGS[@]}"
  if ! dpkg --print-foreign-architectures | grep -qx armhf; then
    say "adding the armhf architecture for multiarch libraries"
    dpkg --add-architecture armhf
    dev_apt_updated=0
  fi
  ensure_packages libmnl-dev:armhf libcurl4-openssl-dev:armhf libsodium-dev:armhf libarchive-dev:armhf
}

# build_dir ARCH SANITIZE -> prints the build directory; FXS_BUILD_DIR
# replaces the plain native one (the tree the bench and its tools run from).
build_dir() {
  if [ "$1" = native ] && [ -z "$2" ] && [ -n "${FXS_BUILD_DIR:-}" ]; then
    echo "$FXS_BUILD_DIR"
    return
  fi
  local d="$FXS_ROOT/build/$1"
  [ -n "$2" ] && d="$d-${2//,/-}"
  echo "$d"
}

# cmake_args ARCH SANITIZE DIR: sets CMAKE_ARGS for configuring DIR.
cmake_args() {
  CMAKE_ARGS=(-S "$FXS_ROOT" -B "$3" -DFXS_SANITIZE="$2")
  if [ "$1" = armhf ]; then
    ensure_armhf
    CMAKE_ARGS+=(-DCMAKE_TOOLCHAIN_FILE="$FXS_ROOT/cmake/toolchain-armhf.cmake")
  fi
}

# configure_and_build ARCH SANITIZE [targets...]: the compiler's output as
# it comes (./dev build).
configure_and_build() {
  local arch="$1" san="$2"; shift 2
  local dir; dir="$(build_dir "$arch" "$san")"
  ensure_packages "${FXS_BASE_PKGS[@]}"
  cmake_args "$arch" "$san" "$dir"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    say "configuring $dir"
    cmake "${CMAKE_ARGS[@]}" >&2
  fi
  say "building in $dir"
  cmake --build "$dir" -j "$(nproc)" ${1:+--target "$@"} >&2
}

# Set by --verbose (./dev test): builds and tests print everything.
dev_verbose() { [ "${FXS_DEV_VERBOSE:-}" = 1 ]; }

# dev_log NAME: a log file under out/dev-logs/ (created), for output that
# only matters when something fails.
dev_log() {
  mkdir -p "$FXS_ROOT/out/dev-logs"
  echo "$FXS_ROOT/out/dev-logs/$1.log"
}

# quiet_build WHAT ARCH SANITIZE [TARGET...]: builds the TARGETs (all
# without) with one progress line instead of the compiler's output, which
# goes to out/dev-logs/build-TREE.log and is pointed to when the build
# fails; silent when all is up to date. dev_verbose: the output as it comes.
quiet_build() {
  local what="$1" arch="$2" san="$3"; shift 3
  local dir; dir="$(build_dir "$arch" "$san")"
  if dev_verbose; then
    configure_and_build "$arch" "$san" "$@"
    return
  fi
  ensure_packages "${FXS_BASE_PKGS[@]}"
  cmake_args "$arch" "$san" "$dir"
  mkdir -p "$dir"
  local log tty=0
  log="$(dev_log "build-$(basename "$(realpath "$dir")")")"
  [ -t 2 ] && tty=1
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    say "configuring $dir (first build)"
    if ! cmake "${CMAKE_ARGS[@]}" >"$log" 2>&1; then
      cat "$log" >&2
      die "configuring $dir failed"
    fi
  fi
  if ! cmake --build "$dir" -j "$(nproc)" ${1:+--target "$@"} 2>&1 | build_progress "$what" "$log" "$tty"; then
    grep -E -A3 'error|Error' "$log" | head -n 60 >&2 || true
    die "building $what failed; the whole output is in $log"
  fi
}

# build_progress WHAT LOG TTY: the build's output into LOG, one progress
# line on stderr (rewritten in place on a terminal), a summary at the end.
build_progress() {
  local what="$1" log="$2" tty="$3" line pct step n=0 shown=0
  : >"$log"
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    [[ "$line" =~ ^\[\ *([0-9]+)%\]\ (Building|Linking).*\ ([^ ]+)$ ]] || continue
    pct="${BASH_REMATCH[1]}"
    step="${BASH_REMATCH[3]##*/}"
    step="${step%.o}"
    [ "${BASH_REMATCH[2]}" = Linking ] && step="linking $step"
    n=$((n + 1))
    if [ "$tty" = 1 ]; then
      printf '\r\033[Kdev: building %s: %3d%% %.50s' "$what" "$pct" "$step" >&2
    elif [ "$pct" -ge "$shown" ]; then
      say "building $what: $pct%"
      shown=$((pct + 25))
    fi
  done
  [ "$tty" = 1 ] && [ $n -gt 0 ] && printf '\r\033[K' >&2
  [ $n -eq 0 ] || say "built $what ($n steps)"
}

# parse_build_opts NAME "$@": sets ARCH, SANITIZE and REST (the other
# arguments, in order).
parse_build_opts() {
  local name="$1"; shift
  ARCH=native; SANITIZE=""; REST=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --arch|--sanitize)
        [ $# -ge 2 ] || dev_bad_usage "$name" "$1 needs a value"
        if [ "$1" = --arch ]; then ARCH="$2"; else SANITIZE="$2"; fi
        shift 2 ;;
      --arch=*) ARCH="${1#--arch=}"; shift ;;
      --sanitize=*) SANITIZE="${1#--sanitize=}"; shift ;;
      *) REST+=("$1"); shift ;;
    esac
  done
  case "$ARCH" in native|armhf) ;; *) dev_bad_usage "$name" "unknown arch '$ARCH' (native or armhf)" ;; esac
  case "$SANITIZE" in ""|thread|address|undefined|address,undefined|undefined,address) ;;
    *) dev_bad_usage "$name" "unknown sanitizer set '$SANITIZE'" ;; esac
}

# dev_flag NAME FLAG "$@": true when the one argument is FLAG, false
# without arguments; anything else is bad usage.
dev_flag() {
  local name="$1" flag="$2"; shift 2
  [ $# -le 1 ] || dev_bad_usage "$name" "too many arguments"
  case "${1:-}" in
    "") return 1 ;;
    "$flag") return 0 ;;
  esac
  dev_bad_usage "$name" "unknown argument '$1'"
}

# dev_bad_usage NAME MESSAGE: the error and the subcommand's usage line on
# stderr, exit status 2.
dev_bad_usage() {
  echo "dev: error: $2" >&2
  echo "usage: ./dev $1${DEV_ARGS[$1]:+ ${DEV_ARGS[$1]}} (./dev help $1)" >&2
  exit 2
}
