#!/usr/bin/env bash
# run-in-guest.sh PROGRAM [ARGS...]: runs a Windows test program under 32-bit
# Wine inside the emulated test guest, for machines that cannot run 32-bit
# code. Makes the guest first when missing; boots it with its disk discarded
# afterwards, shares the program's folder into it at the same path, streams
# the program's output and exits with its exit code. With ZENTRILO_GUEST_BEFORE
# set to a folder, that folder is shared at /before and its before.sh sourced
# in the guest before the program starts (to add to the discarded guest).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/guest.sh"
. "$here/boot.sh"

"$here/make-guest-image.sh" || exit 1

program=$(realpath "$1")
shift
folder=$(dirname "$program")
# Waits in the test program scale by this much: the guest runs several
# times slower than this machine.
scale=${ZENTRILO_TIME_SCALE:-10}

job=$(mktemp -d "${TMPDIR:-/tmp}/zentrilo-guest.XXXXXX")
finish() { stop_guest; rm -rf "$job"; }
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

cp "$here/../run-under-wine.sh" "$here/../wine-prefix.sh" "$job/"
{
  # Wine maps the program's image from the file: with cache=mmap it reads
  # wrong bytes there (the program faults at once); cache=loose maps it well.
  printf 'mkdir -p %q && mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose program %q || exit 1\n' \
    "$folder" "$folder"
  if [ -n "${ZENTRILO_GUEST_BEFORE:-}" ]; then
    echo 'mkdir -p /before && mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 before /before || exit 1'
    echo '. /before/before.sh || exit 1'
  fi
  printf 'cd %q\n' "$folder"
  printf 'export ZENTRILO_TIME_SCALE=%q ZENTRILO_TEST_TIMEOUT=%q\n' "$scale" "$((run_limit - 30))"
  [ -n "${ZENTRILO_WINE_CPU:-}" ] && printf 'export ZENTRILO_WINE_CPU=%q\n' "$ZENTRILO_WINE_CPU"
  printf '/job/run-under-wine.sh %q %q' "$guest_prefix" "$program"
  [ $# -gt 0 ] && printf ' %q' "$@"
  echo
} >"$job/job.sh"

before_share=()
if [ -n "${ZENTRILO_GUEST_BEFORE:-}" ]; then
  before_share=(-virtfs "local,path=$(realpath "$ZENTRILO_GUEST_BEFORE"),mount_tag=before,security_model=none")
fi
exec 9>"$image_lock"
flock -s -w "$image_limit" 9 || { note "$image_lock stayed locked for ${image_limit} s"; exit 1; }
boot_guest "$image_dir" snapshot "$job" "$run_limit" "test run" \
  -virtfs "local,path=$folder,mount_tag=program,security_model=none" "${before_share[@]}"
