#!/usr/bin/env bash
# Builds the plug-in with its simulated host and runs every test under Wine:
# on this machine where it runs 32-bit code, otherwise (or with
# ZENTRILO_EMULATED=1) in an emulated x86-64 guest (tests/vm/).
set -euo pipefail
cd "$(dirname "$0")"
build=${ZENTRILO_TEST_BUILD:-build/tests}
mkdir -p "$build"

emulated=${ZENTRILO_EMULATED:-}
if [ -n "$emulated" ]; then
  why="ZENTRILO_EMULATED=$emulated"
elif why=$(tests/runs-32-bit-code.sh "$build"); then
  emulated=0 why="this machine runs 32-bit code"
else
  emulated=1
fi
if [ "$emulated" = 1 ]; then
  echo "test.sh: emulated path, Wine in an emulated x86-64 guest ($why)"
  tools/install-deps.sh tests-emulated
else
  echo "test.sh: native path, Wine on this machine ($why)"
  tools/install-deps.sh tests
fi
tools/fetch-expat.sh >/dev/null  # the plug-in's XML reader, into the cache when missing

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZENTRILO_TESTS=ON \
  -DZENTRILO_EMULATED=$([ "$emulated" = 1 ] && echo ON || echo OFF) \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake >/dev/null
cmake --build "$build"
if [ "$emulated" = 1 ]; then
  tests/vm/make-guest-image.sh
else
  tests/wine-prefix.sh "$build/wineprefix"
fi
cd "$build"
ctest -V --timeout 600
