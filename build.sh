#!/usr/bin/env bash
# Builds the plug-in, build/release/Zentrilo.dll, and the release made of it:
# dist/Zentrilo-<version>.zip and dist/SHA256SUMS (tools/make_release.py).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/fetch-expat.sh >/dev/null  # the plug-in's XML reader, into the cache when missing
# The date and time the About box shows: the last commit's, so that two builds
# of one commit are the same byte for byte. Outside a git checkout of this
# folder, a fixed date (or SOURCE_DATE_EPOCH as given).
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  else
    SOURCE_DATE_EPOCH=1767225600  # 2026-01-01 00:00 UTC
  fi
fi
export SOURCE_DATE_EPOCH
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/release
echo "Built $(pwd)/build/release/Zentrilo.dll"
/usr/bin/python3 tools/make_release.py build/release/Zentrilo.dll dist
