#!/usr/bin/env bash
# screenshots.sh: makes the README's pictures, docs/images/*.png: the
# navigation panel, the bookmark list and the Settings dialog as the real
# Zentrilo.dll draws them in the simulated debugger (tests/screenshots/),
# under Wine with its X11 driver on a virtual X display (Xvfb).
#
# Where this machine runs 32-bit code: Wine here, under xvfb-run, in a prefix
# of its own. Elsewhere (or with ZENTRILO_EMULATED=1): in the emulated test
# guest (tests/vm/), whose image has no X server: Xvfb's Debian packages are
# fetched here (apt-get download) and unpacked into the guest's discarded
# disk before the program runs, and the guest's prefix is switched to X11.
# ZENTRILO_GUEST_LOCK names a lock file to hold while the guest runs.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
build=${ZENTRILO_SCREENSHOT_BUILD:-build/screenshots}
images=docs/images
pictures=(navigation-panel list-window settings-dialog)
screen="-screen 0 1280x1024x24 -nolisten tcp"
mkdir -p "$build"

emulated=${ZENTRILO_EMULATED:-}
if [ -z "$emulated" ]; then
  if tests/runs-32-bit-code.sh "$build" >/dev/null; then emulated=0; else emulated=1; fi
fi
if [ "$emulated" = 1 ]; then tools/install-deps.sh screenshots-emulated; else tools/install-deps.sh screenshots; fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZENTRILO_TESTS=ON \
  -DZENTRILO_EMULATED=$([ "$emulated" = 1 ] && echo ON || echo OFF) \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake >/dev/null
cmake --build "$build" --target Screenshots
program=$top/$build/tests/screenshots/OllyDbg.exe
folder=$(dirname "$program")
for picture in "${pictures[@]}"; do rm -f "$folder/$picture.bmp" "$folder/$picture-printed.bmp"; done

if [ "$emulated" = 1 ]; then
  # Xvfb and what it needs beyond the guest's system, without the GL drivers
  # (the server runs without its GLX extension).
  . tests/vm/guest.sh  # guest_prefix
  before=$top/$build/guest-before
  mkdir -p "$before/debs"
  packages=$(/usr/bin/python3 tools/package_closure.py xvfb --without libglx-mesa0)
  missing=()
  for p in $packages; do ls "$before/debs/${p}"_*.deb >/dev/null 2>&1 || missing+=("$p"); done
  if [ ${#missing[@]} -gt 0 ]; then
    . tools/apt-retry.sh
    apt_download "$before/debs" "${missing[@]}" 2>&1 | grep -v -e '^Get:' -e '^Fetched' -e 'unsandboxed' || true
  fi
  cat >"$before/before.sh" <<GUEST
# Sourced in the guest (run-in-guest.sh): unpacks the packages that it lacks,
# starts Xvfb, and switches the prefix's graphics driver to X11.
for deb in /before/debs/*.deb; do
  name=\$(dpkg-deb -f "\$deb" Package):\$(dpkg-deb -f "\$deb" Architecture)
  # As dpkg would: through the system's /lib -> usr/lib and the like, not over them.
  dpkg-query -W -f='\${Status}' "\$name" 2>/dev/null | grep -q 'ok installed' ||
    dpkg-deb --fsys-tarfile "\$deb" | tar -x --keep-directory-symlink -C /
done
ldconfig
mkdir -p /var/lib/xkb /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
Xvfb :7 $screen -extension GLX >/tmp/xvfb.log 2>&1 &
for _ in \$(seq 300); do [ -e /tmp/.X11-unix/X7 ] && break; sleep 0.2; done
if [ -e /tmp/.X11-unix/X7 ]; then
  export DISPLAY=:7
  sed -i 's/"Graphics"="null"/"Graphics"="x11"/' $guest_prefix/user.reg
else
  echo "screenshots: Xvfb did not start; Wine's null driver draws instead"; cat /tmp/xvfb.log
fi
GUEST
  ZENTRILO_GUEST_BEFORE=$before ${ZENTRILO_GUEST_LOCK:+flock "$ZENTRILO_GUEST_LOCK"} \
    tests/vm/run-in-guest.sh "$program"
else
  prefix=$top/$build/wineprefix-x11
  tests/wine-prefix.sh "$prefix"
  (export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
   wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f && wineserver -w) </dev/null >/dev/null 2>&1
  (cd "$folder" && xvfb-run -a -s "$screen" "$top/tests/run-under-wine.sh" "$prefix" "$program")
fi

mkdir -p "$images"
/usr/bin/python3 - "$folder" "$images" "${pictures[@]}" <<'PY'
import os
import sys
from PIL import Image
folder, images, names = sys.argv[1], sys.argv[2], sys.argv[3:]


def drawn(path):
    """The picture in the file, or None when there is none or it is of one or two colours."""
    if not os.path.exists(path):
        return None
    picture = Image.open(path).convert("RGB")
    return picture if len(picture.getcolors(1 << 24)) >= 3 else None


for name in names:
    picture = drawn(f"{folder}/{name}.bmp")
    if picture is None:
        picture = drawn(f"{folder}/{name}-printed.bmp")
        print(f"screenshots: nothing read from the display for {name}; taking the window's own drawing")
    if picture is None:
        sys.exit(f"screenshots: no picture of {name}")
    picture.save(f"{images}/{name}.png", optimize=True)
    print(f"{images}/{name}.png: {picture.width} x {picture.height}")
PY
