# ./dev bundle: a signed bundle of the card's load (docs/upgrade.md) from a
# build tree: the programs of cmake/load-programs.txt, stripped, with their
# manifest signed by the development key (or FXS_LOAD_SIGNING_KEY).

dev_register bundle bench "[--version TEXT] [--arch armhf|native] -o FILE" \
  "make a signed bundle of the card's load from the build" \
  "--version TEXT  the version the manifest gives (default: the build's, git describe)
--arch ARCH     the build tree to take the programs from: native (default) or
                armhf (the card's); the manifest names its architecture
-o FILE         where the bundle goes (--out FILE works too)
The programs are built first when needed. The manifest is signed with
FXS_LOAD_SIGNING_KEY (a secret key file), by default the repository's
development key tools/dev/keys/dev-load-signing.sec, which only builds with
the development public key trust (tools/dev/keys/README.md)."
cmd_bundle() {
  local version="" arch=native out=""
  while [ $# -gt 0 ]; do
    case "$1" in
      --version|--arch|-o|--out)
        [ $# -ge 2 ] || dev_bad_usage bundle "$1 needs a value"
        case "$1" in
          --version) version="$2" ;;
          --arch) arch="$2" ;;
          *) out="$2" ;;
        esac
        shift 2 ;;
      *) dev_bad_usage bundle "unknown argument '$1'" ;;
    esac
  done
  case "$arch" in native|armhf) ;; *) dev_bad_usage bundle "unknown arch '$arch' (native or armhf)" ;; esac
  [ -n "$out" ] || dev_bad_usage bundle "no output file (-o FILE)"
  dev_check_only && return 0
  local key="${FXS_LOAD_SIGNING_KEY:-$FXS_ROOT/tools/dev/keys/dev-load-signing.sec}"
  [ -r "$key" ] || die "cannot read the signing key $key"
  local programs; read -r -a programs <"$FXS_ROOT/cmake/load-programs.txt"
  if [ "$arch" = armhf ]; then
    configure_and_build armhf "" "${programs[@]}" || die "the armhf build failed"
    quiet_build "the bundle tool" native "" fxsbundle
  else
    quiet_build "the load" native "" "${programs[@]}" fxsbundle
  fi
  local dir stage name p strip=strip
  dir="$(build_dir "$arch" "")"
  [ "$arch" = armhf ] && strip=arm-linux-gnueabihf-strip
  name="$(sed -n 's/^FXS_LOAD_ARCH:INTERNAL=//p' "$dir/CMakeCache.txt")"
  [ -n "$name" ] || die "$dir names no load architecture (configure it again)"
  if [ -z "$version" ]; then
    version="$(sed -n 's/^#define FXS_BUILD_VERSION "\(.*\)"$/\1/p' "$dir/generated/BuildVersion.h")"
  fi
  stage="$(mktemp -d)"
  for p in "${programs[@]}"; do
    "$strip" -o "$stage/$p" "$dir/bin/$p" || { rm -rf "$stage"; die "cannot strip $dir/bin/$p"; }
  done
  mkdir -p "$(dirname "$out")"
  local rc=0
  "$(bench_bin fxsbundle)" make --key "$key" --version "$version" --arch "$name" --out "$out" \
    "${programs[@]/#/$stage/}" || rc=$?
  rm -rf "$stage"
  [ $rc = 0 ] || die "the bundle was not made"
}
