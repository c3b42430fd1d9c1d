# The VM's image: Debian's armmp kernel and an initramfs made of two gzip'd
# cpio archives that the kernel unpacks one after the other:
#   base  the Debian armhf packages of tools/dev/vm/packages and the kernel
#         modules of tools/dev/vm/modules; cached under out/vm/ by the
#         resolved package files (names carry the versions), so a second run
#         downloads and extracts nothing;
#   card  the cross-built card, its stand-ins, the peer declarations and the
#         guest's scripts; made anew at every run (a second or two).
#
#   vm_image           builds what is missing; sets VM_KERNEL and VM_INITRD
#   vm_host_packages   installs what the host needs to build and boot it

VM_DIR="$FXS_ROOT/out/vm"
VM_CONF="$FXS_ROOT/tools/dev/vm"
VM_GUEST_ROOT=/opt/fxs
VM_HOST_PKGS=(qemu-system-arm kmod cpio)
# Programs of the build that the guest needs besides those the peer
# declarations name: the card's tools on its PATH and the suite's clients.
VM_EXTRA_BINS=(main ftpupload vconfig nbcat icscctl velmctl it_net)

vm_host_packages() {
  ensure_packages "${VM_HOST_PKGS[@]}"
  ensure_armhf
}

vm_words() { sed -e 's/#.*//' "$1" | tr -s ' \t' '\n\n' | sed '/^$/d'; }

vm_apt() { apt-get -o APT::Sandbox::User=root -q "$@"; }

# Prints "FILE SIZE SHA256:HASH" for every package of the list; "kernel" is
# the package that linux-image-armmp:armhf depends on now.
vm_resolve() {
  local kernel p pkgs=() tmp
  kernel="$(apt-cache depends linux-image-armmp:armhf 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ :]*-armmp\)\(:armhf\)\{0,1\}$/\1/p' | head -n 1)"
  [ -n "$kernel" ] || return 1
  for p in $(vm_words "$VM_CONF/packages"); do
    case "$p" in
      kernel) pkgs+=("$kernel:armhf") ;;
      *:all) pkgs+=("${p%:all}") ;;
      *) pkgs+=("$p:armhf") ;;
    esac
  done
  # --print-uris leaves out packages whose file is in the current directory.
  tmp="$(mktemp -d)"
  (cd "$tmp" && vm_apt download --print-uris "${pkgs[@]}") | awk '{print $2, $3, $4}'
  local rc=${PIPESTATUS[0]}
  rmdir "$tmp"
  return "$rc"
}

vm_sha_ok() { [ "$(sha256sum "$1" | cut -d' ' -f1)" = "${2#SHA256:}" ]; }

# vm_uncached LIST: the packages of LIST whose file is not in out/vm/debs
# (with its size), as name:armhf=version (name=version when architecture
# independent).
vm_uncached() {
  local file size sha name version arch
  while read -r file size sha; do
    if [ -f "$VM_DIR/debs/$file" ] && [ "$(stat -c %s "$VM_DIR/debs/$file")" = "$size" ]; then
      continue
    fi
    # name_version_arch.deb, the version URL-encoded (epoch colon as %3a).
    name="${file%%_*}" version="${file#*_}" arch="${file##*_}"
    version="${version%_*}" arch="${arch%.deb}"
    [ "$arch" = all ] || name="$name:$arch"
    echo "$name=${version//%3a/:}"
  done <<<"$1"
}

vm_download() { (cd "$VM_DIR/debs" && vm_apt download "$@" >&2); }

# vm_fetch: resolves the package list and downloads the files not in
# out/vm/debs; prints the resolved list.
vm_fetch() {
  local list want file size sha
  if ! list="$(vm_resolve)" || [ -z "$list" ]; then
    say "cannot resolve the VM's packages from the package lists: updating them"
    vm_apt update -qq >&2 || true
    list="$(vm_resolve)" && [ -n "$list" ] ||
      die "cannot resolve the VM's armhf packages (tools/dev/vm/packages)"
  fi
  mkdir -p "$VM_DIR/debs"
  want="$(vm_uncached "$list")"
  if [ -z "$want" ]; then
    say "all $(wc -l <<<"$list") armhf packages of the VM are cached"
    echo "$list"
    return
  fi
  say "downloading $(wc -l <<<"$want") of $(wc -l <<<"$list") armhf packages for the VM"
  # shellcheck disable=SC2086
  if ! vm_download $want; then
    # An old kernel or library leaves the archive after an update.
    say "download failed: updating the package lists and resolving again"
    vm_apt update -qq >&2 || true
    list="$(vm_resolve)" || die "cannot resolve the VM's packages"
    want="$(vm_uncached "$list")"
    # shellcheck disable=SC2086
    vm_download $want || die "cannot download the VM's packages: $want"
  fi
  while read -r file size sha; do
    vm_sha_ok "$VM_DIR/debs/$file" "$sha" || {
      rm -f "$VM_DIR/debs/$file"
      die "$file does not match the archive's checksum (removed; run again)"
    }
  done <<<"$list"
  # Versions that the lists no longer name are not needed again.
  for file in "$VM_DIR"/debs/*.deb; do
    grep -q "^${file##*/} " <<<"$list" || rm -f "$file"
  done
  echo "$list"
}

# vm_libs ROOT: the shared libraries that the loader finds in ROOT.
vm_libs() {
  local d
  for d in lib lib/arm-linux-gnueabihf usr/lib usr/lib/arm-linux-gnueabihf; do
    [ -d "$1/$d" ] && find "$1/$d" -maxdepth 1 \( -type f -o -type l \) -printf '%f\n'
  done | sort -u
}

# vm_needed_missing LIBS FILE...: prints the shared libraries that the ELF
# files need and the list LIBS (of vm_libs) lacks.
vm_needed_missing() {
  local libs="$1" f lib
  shift
  for f in "$@"; do
    head -c 4 "$f" 2>/dev/null | grep -q 'ELF' || continue
    for lib in $(arm-linux-gnueabihf-readelf -d "$f" 2>/dev/null |
      sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
      grep -qxF "$lib" "$libs" || echo "${f##*/} needs $lib"
    done
  done
}

# vm_check_libs LIBS FILE...: stops unless the image holds every shared
# library that the files need.
vm_check_libs() {
  local missing
  missing="$(vm_needed_missing "$@")"
  [ -z "$missing" ] || die "the VM image misses libraries (add their packages to tools/dev/vm/packages):
$missing"
}

# vm_base LIST: the base archive and kernel for the resolved LIST, built once.
vm_base() {
  local list="$1" key
  key="$(printf '%s\n' "$list" | cat - "$VM_CONF/modules" "${BASH_SOURCE[0]}" | sha256sum | cut -c1-16)"
  VM_KERNEL="$VM_DIR/base-$key.vmlinuz"
  VM_BASE="$VM_DIR/base-$key.cpio.gz"
  VM_LIBS="$VM_DIR/base-$key.libs"
  if [ -f "$VM_KERNEL" ] && [ -f "$VM_BASE" ] && [ -f "$VM_LIBS" ]; then
    say "VM base image $key is up to date"
    return 0
  fi
  say "assembling the VM base image $key"
  local stage="$VM_DIR/stage" root kroot file kver m line
  rm -rf "$stage"
  root="$stage/root"
  kroot="$stage/kernel"
  mkdir -p "$root" "$kroot"
  while read -r file _; do
    case "$file" in
      linux-image-*) dpkg-deb -x "$VM_DIR/debs/$file" "$kroot" ;;
      *) dpkg-deb -x "$VM_DIR/debs/$file" "$root" ;;
    esac
  done <<<"$list"
  kver="$(ls "$kroot/lib/modules")"
  [ -n "$kver" ] && [ -f "$kroot/boot/vmlinuz-$kver" ] || die "no kernel in the kernel package"
  # The package's install script makes modules.dep; here depmod does.
  depmod -b "$kroot" "$kver"
  local mdir="lib/modules/$kver" order="$root/etc/fxs-modules"
  mkdir -p "$root/$mdir" "$root/etc"
  : >"$order"
  for m in $(vm_words "$VM_CONF/modules"); do
    modprobe -C /dev/null -d "$kroot" -S "$kver" --show-depends "$m" >"$stage/deps" ||
      die "kernel $kver has no module $m (tools/dev/vm/modules)"
    while read -r line; do
      case "$line" in
        insmod\ *)
          line="${line#insmod }"
          line="${line%% *}"
          local rel="${line#"$kroot/$mdir/"}"
          grep -qxF "$rel" "$order" && continue
          mkdir -p "$root/$mdir/$(dirname "$rel")"
          cp "$line" "$root/$mdir/$rel"
          echo "$rel" >>"$order"
          ;;
      esac
    done <"$stage/deps"
  done
  cp "$kroot/$mdir"/modules.{builtin,builtin.modinfo,order} "$root/$mdir/"
  # busybox modprobe serves the kernel's requests for further modules.
  depmod -b "$root" "$kver"
  cp "$kroot/boot/vmlinuz-$kver" "$stage/vmlinuz"
  rm -rf "$kroot"

  # Documentation, locales, character-set converters, Kerberos plugins, tc's
  # queueing plugins and arpd serve nothing here (and would need more
  # libraries).
  local multi="$root/usr/lib/arm-linux-gnueabihf"
  rm -rf "$root"/usr/share/{doc,man,info,locale,lintian,bug,bash-completion,zsh} \
    "$multi"/{gconv,krb5,tc} "$root"/usr/sbin/arpd "$root"/etc/init.d "$root"/etc/default
  # dpkg-deb -x makes no alternatives links.
  for m in iptables iptables-restore iptables-save; do
    ln -sf "xtables-legacy-multi" "$root/usr/sbin/$m"
  done
  vm_libs "$root" >"$stage/libs"
  vm_check_libs "$stage/libs" $(find "$root" -type f \( -perm -u+x -o -name '*.so*' \))
  mkdir -p "$root"/{dev,proc,sys,tmp,run,opt}
  mknod -m 600 "$root/dev/console" c 5 1
  (cd "$root" && find . | cpio -o -H newc -R 0:0 --quiet | gzip -1) >"$stage/base.cpio.gz"
  rm -f "$VM_DIR"/base-*.{vmlinuz,cpio.gz,libs}
  mv "$stage/libs" "$VM_LIBS"
  mv "$stage/vmlinuz" "$VM_KERNEL"
  mv "$stage/base.cpio.gz" "$VM_BASE"
  rm -rf "$stage"
}

# vm_plan FILE: the bench's peer declarations (tools/dev/peers.d) as the
# guest runs them: FXS_ROOT, BENCH_DIR and the programs of the build have
# the guest's paths.
vm_plan() {
  local out="$1"
  (
    local peers="$FXS_ROOT/tools/dev/peers.d" f s i e
    FXS_ROOT="$VM_GUEST_ROOT"
    BENCH_DIR=/run/bench
    BENCH_CHASSIS_DIR=/run/bench
    PATH=/usr/sbin:/usr/bin:/sbin:/bin
    bench_bin() { echo "$VM_GUEST_ROOT/bin/$1"; }
    BENCH_PEER_NAMES=() BENCH_PEER_CMDS=() BENCH_PEER_READY=() BENCH_SETUP=() BENCH_MAIN_ENV=()
    BENCH_CHASSIS_NAMES=() BENCH_CHASSIS_CMDS=() BENCH_CHASSIS_READY=() BENCH_CHASSIS_SETUP=()
    for f in "$peers"/*.sh; do
      # shellcheck disable=SC1090
      source "$f"
    done
    q() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
    {
      echo "# Generated by ./dev vm from tools/dev/peers.d."
      for s in ${BENCH_CHASSIS_SETUP[@]+"${BENCH_CHASSIS_SETUP[@]}"}; do echo "vm_chassis_setup $(q "$s")"; done
      for i in "${!BENCH_CHASSIS_NAMES[@]}"; do
        echo "vm_chassis_peer $(q "${BENCH_CHASSIS_NAMES[$i]}") $(q "${BENCH_CHASSIS_READY[$i]}") $(q "${BENCH_CHASSIS_CMDS[$i]}")"
      done
      for s in ${BENCH_SETUP[@]+"${BENCH_SETUP[@]}"}; do echo "vm_setup $(q "$s")"; done
      for i in "${!BENCH_PEER_NAMES[@]}"; do
        echo "vm_peer $(q "${BENCH_PEER_NAMES[$i]}") $(q "${BENCH_PEER_READY[$i]}") $(q "${BENCH_PEER_CMDS[$i]}")"
      done
      for e in ${BENCH_MAIN_ENV[@]+"${BENCH_MAIN_ENV[@]}"}; do echo "vm_main_env $(q "$e")"; done
    } >"$out"
  )
}

# vm_plan_files PLAN: the files below the guest's FXS_ROOT that the plan
# names (as $FXS_ROOT/... or with the guest's path), relative to it.
vm_plan_files() {
  grep -o "\(\\\$FXS_ROOT\|$VM_GUEST_ROOT\)/[A-Za-z0-9_./-]*" "$1" |
    sed "s|^\\\$FXS_ROOT/||;s|^$VM_GUEST_ROOT/||" | sort -u
}

# vm_card: the card's archive; needs the armhf build.
vm_card() {
  local stage="$VM_DIR/card" root dir f bins=() files=()
  rm -rf "$stage"
  root="$stage/root$VM_GUEST_ROOT"
  dir="$(build_dir armhf "")/bin"
  mkdir -p "$root"/{bin,vm,tests/vm,tools/dev}
  vm_plan "$root/vm/plan.sh"
  for f in $(vm_plan_files "$root/vm/plan.sh"); do
    case "$f" in
      bin) ;;  # the programs' directory, on PATH
      bin/*) bins+=("${f#bin/}") ;;
      *) files+=("$f") ;;
    esac
  done
  bins+=("${VM_EXTRA_BINS[@]}")
  say "building the armhf card and stand-ins"
  # vconfig is a script the build only copies.
  # shellcheck disable=SC2046
  configure_and_build armhf "" $(printf '%s\n' "${bins[@]}" | sort -u | grep -vx vconfig) ||
    die "the armhf build failed"
  for f in "${bins[@]}"; do
    [ -f "$dir/$f" ] || die "no $f in $dir"
    if head -c 4 "$dir/$f" | grep -q ELF; then
      arm-linux-gnueabihf-strip -o "$root/bin/$f" "$dir/$f"
    else
      cp "$dir/$f" "$root/bin/$f"
    fi
  done
  vm_check_libs "$VM_LIBS" "$root"/bin/*
  files+=(tools/dev/bench-run.sh)
  for f in "${files[@]}"; do
    [ -f "$FXS_ROOT/$f" ] || die "the peer declarations name $f, which is not in the tree"
  done
  (cd "$FXS_ROOT" && printf '%s\n' "${files[@]}" | cpio -pdm --quiet "$root")
  cp "$VM_CONF/guest.sh" "$root/vm/"
  cp "$FXS_ROOT/tests/vm/"*.sh "$root/tests/vm/"
  cp "$VM_CONF/init" "$stage/root/init"
  chmod 755 "$stage/root/init"
  (cd "$stage/root" && find . | cpio -o -H newc -R 0:0 --quiet | gzip -1) >"$stage/card.cpio.gz"
}

vm_image() {
  [ "$(id -u)" = 0 ] || die "the VM image is assembled as root (device nodes, packages)"
  vm_host_packages
  local list
  list="$(vm_fetch)" || exit 1
  vm_base "$list"
  vm_card
  VM_INITRD="$VM_DIR/initrd.gz"
  cat "$VM_BASE" "$VM_DIR/card/card.cpio.gz" >"$VM_INITRD"
}
