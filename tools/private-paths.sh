# Sourced by tests/nsrun and the bench's namespace holder, inside a private
# mount namespace: lays tmpfs over the card's fixed paths. A tree of ours
# (sources and build) that lies below one of them, e.g. a clone under /tmp,
# is bound back in place so that its binaries stay reachable.
fxs_private_paths() {
  _keep="$1"
  for _d in /tmp /vocal /flash /etc/iproute2; do
    mkdir -p "$_d" || return 1
    _rel=""
    case "$_keep/" in
      "$_d"/*) _rel="${_keep#"$_d"/}"; exec 9<"$_d" ;;
    esac
    mount -t tmpfs -o mode=1777 fxs-private "$_d" || return 1
    if [ -n "$_rel" ]; then
      mkdir -p "$_d/$_rel" &&
        mount --no-canonicalize --bind "/proc/self/fd/9/$_rel" "$_d/$_rel" || return 1
      exec 9<&-
    fi
  done
}
