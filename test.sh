#!/usr/bin/env bash
# Builds the plug-in with its simulated host and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh tests
build=${ZENTRILO_TEST_BUILD:-build/tests}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZENTRILO_TESTS=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build "$build"
tests/wine-prefix.sh "$build/wineprefix"
cd "$build"
ctest -V --timeout 600
