#!/usr/bin/env bash
# wine-prefix.sh PREFIX: makes the private win32 Wine prefix the tests run
# in, when missing, with the null graphics driver (no X server needed) and
# unmanaged windows. Does nothing when the prefix is ready.
set -euo pipefail
prefix=$(realpath -m "$1")
ready=$prefix/.zentrilo-ready
[ -f "$ready" ] && exit 0

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$(dirname "$prefix")"
log=$prefix.log
# Wine's helper processes inherit these descriptors: keep them off our pipe.
{
  if [ ! -f "$prefix/system.reg" ]; then
    echo "Creating the Wine prefix $prefix" >&2
    wineboot -i
  fi
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  wineserver -k || true
  wineserver -w
} </dev/null >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
touch "$ready"
