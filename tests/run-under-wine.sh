#!/usr/bin/env bash
# run-under-wine.sh PREFIX PROGRAM [ARGS...]: runs a test program under Wine
# in its own win32 prefix, streams its output, and exits with its exit code.
# The output goes through a file: Wine's helper processes inherit the
# program's stdout and outlive it, which would keep a pipe open.
set -uo pipefail
prefix=$(realpath -m "$1")  # Wine takes an absolute prefix only
shift
here=$(cd "$(dirname "$0")" && pwd)
"$here/wine-prefix.sh" "$prefix" || exit 1

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
limit=${ZENTRILO_TEST_TIMEOUT:-540}

# As root, a small file system of its own in a temporary folder, for the tests
# that need a real "disk full" (they fill it; ZENTRILO_FULL_DISK is its Windows
# path); elsewhere those tests skip. Unmounted and removed afterwards.
full=
unmount_full() {
  [ -n "$full" ] || return 0
  umount "$full" 2>/dev/null || umount -l "$full" 2>/dev/null
  rmdir "$full" 2>/dev/null
  full=
}
trap unmount_full EXIT
if [ "$(id -u)" = 0 ] && full=$(mktemp -d "${TMPDIR:-/tmp}/zentrilo-full.XXXXXX"); then
  if mount -t tmpfs -o size=64k,mode=0700 zentrilo-full "$full" 2>/dev/null; then
    export ZENTRILO_FULL_DISK="Z:${full//\//\\}"
  else
    rmdir "$full"
    full=
  fi
fi
out=$(dirname "$1")/$(basename "$1" .exe).out
: >"$out"

# ZENTRILO_WINE_CPU=N pins Wine, and the wineserver it starts, to CPU N.
pin=()
if [ -n "${ZENTRILO_WINE_CPU:-}" ]; then pin=(taskset -c "$ZENTRILO_WINE_CPU"); fi

timeout -k 5 "$limit" "${pin[@]}" wine "$@" </dev/null >"$out" 2>&1 &
pid=$!
tail -s 0.1 -n +1 -f --pid="$pid" "$out"
wait "$pid"
rc=$?
if [ "$rc" = 124 ]; then echo "run-under-wine.sh: $1 timed out after ${limit}s" >&2; fi
exit "$rc"
