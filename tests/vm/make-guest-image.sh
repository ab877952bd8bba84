#!/usr/bin/env bash
# make-guest-image.sh: makes the test guest once per machine, when missing: a
# Debian root file system made with debootstrap, its kernel and initrd, Wine
# with its 32-bit part and a ready Wine prefix. It is kept in the cache folder
# (see guest.sh), built aside and moved into place only when complete.
#
# No 32-bit program runs on this machine meanwhile: the 64-bit system is
# installed here in a chroot, the 32-bit packages are only downloaded here and
# are installed, with the prefix, by the guest itself on its first boot.
set -eEuo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/guest.sh"
. "$here/guest-recipe.sh"
. "$here/boot.sh"
. "$here/../../tools/apt-retry.sh"

[ -f "$image_dir/ready" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  exec sudo ZENTRILO_CACHE="$cache_root" ZENTRILO_VM_IMAGE_TIMEOUT="$image_limit" "$0" "$@"
fi

mkdir -p "$cache_root"
exec 9>"$image_lock"
if ! flock -x -n 9; then
  echo "guest: waiting for another run to finish with $cache_root" >&2
  flock -x -w "$image_limit" 9 || { echo "guest: the image lock stayed taken for ${image_limit} s" >&2; exit 1; }
fi
[ -f "$image_dir/ready" ] && exit 0

# unmount_below DIR: undoes whatever is still mounted below DIR (proc, sys, dev).
unmount_below() {
  findmnt -rn -o TARGET | { grep "^$1/" || true; } | sort -r | xargs -r umount -l 2>/dev/null || true
}

# What an attempt killed outright left behind; nobody else makes one now.
for stale in "$cache_root"/making.*; do
  [ -d "$stale" ] || continue
  unmount_below "$stale"
  rm -rf --one-file-system "$stale"
done

start=$SECONDS
deadline=$((SECONDS + image_limit))
tmp=$(mktemp -d "$cache_root/making.XXXXXX")
root=$tmp/root
step_pid=

# end_step: ends what is left of the current step: timeout runs it in a
# process group of its own, named by timeout's pid.
end_step() {
  [ -n "$step_pid" ] || return 0
  { kill -TERM "$step_pid" 2>/dev/null && wait "$step_pid" 2>/dev/null; } || true
  kill -KILL -- "-$step_pid" 2>/dev/null || true
  while pgrep -g "$step_pid" >/dev/null; do sleep 0.2; done
  step_pid=
}

cleanup() {
  set +e
  trap - ERR
  end_step
  stop_guest
  unmount_below "$tmp"
  rm -rf --one-file-system "$tmp"
}
trap cleanup EXIT
trap 'echo "guest: making the image failed (make-guest-image.sh, line $LINENO)" >&2' ERR
trap 'exit 130' INT
trap 'exit 143' TERM

too_late() {
  echo "guest: making the image took longer than ${image_limit} s (stage: image creation, at: $1;" \
    "ZENTRILO_VM_IMAGE_TIMEOUT); the unfinished image was removed" >&2
  exit 124
}

# step NAME COMMAND...: runs one step within what is left of the time limit.
step() {
  local name=$1 left=$((deadline - SECONDS)) started=$SECONDS rc
  shift
  [ "$left" -gt 0 ] || too_late "$name"
  echo "guest: $name" >&2
  timeout -k 10 "$left" "$@" &
  step_pid=$!
  wait "$step_pid" && rc=0 || rc=$?
  end_step
  [ "$rc" = 124 ] && too_late "$name"
  [ "$rc" = 0 ] || { echo "guest: $name failed ($rc); see $tmp" >&2; exit 1; }
  echo "guest: $name took $((SECONDS - started)) s" >&2
}

provision() {
  local job=$tmp/job
  mkdir -p "$job"
  cp "$here/provision-guest.sh" "$here/../wine-prefix.sh" "$job/"
  printf 'bash /job/provision-guest.sh %q\n' "$guest_prefix" >"$job/job.sh"
  boot_guest "$tmp" write "$job" "$((deadline - SECONDS))" "first boot (Wine and its prefix)"
}

echo "guest: making the test guest in $image_dir (once per machine; limit ${image_limit} s)" >&2
export root tmp here debian_mirror debian_suite
export -f in_root bootstrap_system install_system finish_root apt_update apt_install apt_advice
step "debootstrap of Debian $debian_suite" bash -c 'set -euo pipefail; bootstrap_system'
step "kernel and Wine packages" bash -c 'set -euo pipefail; install_system'
step "disk image" bash -c 'set -euo pipefail; finish_root'
rc=0
provision || rc=$?
[ "$rc" = 124 ] && too_late "first boot"
[ "$rc" = 0 ] || { echo "guest: the first boot failed ($rc)" >&2; exit 1; }
rm -rf "$tmp/job"

echo "$recipe_hash" >"$tmp/ready"
mv "$tmp" "$image_dir"
for old in "$cache_root"/guest-*; do [ "$old" = "$image_dir" ] || rm -rf "$old"; done
if [ -n "${SUDO_UID:-}" ]; then chown -R "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" "$cache_root"; fi
echo "guest: image made in $((SECONDS - start)) s: $image_dir" >&2
