#!/usr/bin/env bash
# bench/run.sh [--sizes=100,1000,10000,100000] [--rounds=31] [...]: builds
# the benchmark (the release plug-in, as build.sh makes it, in another
# simulated debugger) and runs it under Wine, on this machine where it runs
# 32-bit code, otherwise (or with ZENTRILO_EMULATED=1) in the emulated guest.
# Not part of ./test.sh. Wine and its wineserver run pinned to one CPU.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZENTRILO_BENCH_BUILD:-build/bench}
mkdir -p "$build"

emulated=${ZENTRILO_EMULATED:-}
if [ -z "$emulated" ]; then
  if tests/runs-32-bit-code.sh "$build" >/dev/null; then emulated=0; else emulated=1; fi
fi
if [ "$emulated" = 1 ]; then
  echo "bench/run.sh: emulated path, Wine in an emulated x86-64 guest"
  tools/install-deps.sh tests-emulated
else
  echo "bench/run.sh: native path, Wine on this machine"
  tools/install-deps.sh tests
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTRILO_BENCH=ON \
  -DZENTRILO_EMULATED=$([ "$emulated" = 1 ] && echo ON || echo OFF) \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake >/dev/null
cmake --build "$build" --target zentrilo_bench
program=$build/bench/OllyDbg.exe

# A whole run takes minutes, more in the guest: longer limits than the tests'.
limit=${ZENTRILO_BENCH_TIMEOUT:-5400}
export ZENTRILO_WINE_CPU=${ZENTRILO_WINE_CPU:-0}
if [ "$emulated" = 1 ]; then
  export ZENTRILO_VM_RUN_TIMEOUT=$limit
  tests/vm/run-in-guest.sh "$program" "$@"
else
  export ZENTRILO_TEST_TIMEOUT=$limit
  tests/run-under-wine.sh "$build/wineprefix" "$program" "$@"
fi
