# Shared helpers of ./dev. Each tools/dev/cmd-<name>.sh defines cmd_<name>
# and registers its usage with dev_register.

DEV_HELP=()
dev_register() { DEV_HELP+=("$(printf '  %-34s %s' "$1" "$2")"); }

say() { echo "dev: $*" >&2; }
die() { echo "dev: error: $*" >&2; exit 1; }

# Debian packages every build needs; more per subcommand.
FXS_BASE_PKGS=(cmake g++ make googletest libboost-dev libmnl-dev libcurl4-openssl-dev iproute2
               util-linux iptables procps psmisc netcat-openbsd python3-pyftpdlib)
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
  ensure_packages libmnl-dev:armhf libcurl4-openssl-dev:armhf
}

# build_dir ARCH SANITIZE -> prints the build directory
build_dir() {
  local d="$FXS_ROOT/build/$1"
  [ -n "$2" ] && d="$d-${2//,/-}"
  echo "$d"
}

# configure_and_build ARCH SANITIZE [targets...]
configure_and_build() {
  local arch="$1" san="$2"; shift 2
  local dir; dir="$(build_dir "$arch" "$san")"
  ensure_packages "${FXS_BASE_PKGS[@]}"
  local args=(-S "$FXS_ROOT" -B "$dir" -DFXS_SANITIZE="$san")
  if [ "$arch" = armhf ]; then
    ensure_armhf
    args+=(-DCMAKE_TOOLCHAIN_FILE="$FXS_ROOT/cmake/toolchain-armhf.cmake")
  fi
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    say "configuring $dir"
    cmake "${args[@]}" >&2
  fi
  say "building in $dir"
  cmake --build "$dir" -j "$(nproc)" ${1:+--target "$@"} >&2
}

# parse_build_opts "$@": sets ARCH, SANITIZE, REST
parse_build_opts() {
  ARCH=native; SANITIZE=""; REST=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --arch) ARCH="$2"; shift 2 ;;
      --arch=*) ARCH="${1#--arch=}"; shift ;;
      --sanitize) SANITIZE="$2"; shift 2 ;;
      --sanitize=*) SANITIZE="${1#--sanitize=}"; shift ;;
      *) REST+=("$1"); shift ;;
    esac
  done
  case "$ARCH" in native|armhf) ;; *) die "unknown arch '$ARCH' (native or armhf)" ;; esac
  case "$SANITIZE" in ""|thread|address|undefined|address,undefined|undefined,address) ;;
    *) die "unknown sanitizer set '$SANITIZE'" ;; esac
}
