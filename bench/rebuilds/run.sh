#!/usr/bin/env bash
# bench/rebuilds/run.sh [--check-decoder]: the accuracy benchmark of code
# patterns on real rebuilt code. Fetches two releases' single-file sources with
# npm (SQLite 3.46.0, 3.47.0 and 3.48.0 from better-sqlite3 11.0.0, 11.5.0 and
# 11.8.0; LZ4 1.7 and 1.9 from lz4 0.5.3 and 0.6.5), builds each with the
# cross compiler into a 32-bit DLL with its symbols (-O2), builds the native
# benchmark program (accuracy.cpp with the core's pattern code) and runs it on
# each pair, the first with the speed rows; then, on a machine that runs
# 32-bit code, the same pair through the plug-in: the release DLL in another
# simulated debugger under Wine (through_plugin.cpp, built in build/bench or
# ZENTRILO_BENCH_BUILD) maps build A, bookmarks, exports the JSON list,
# maps build B elsewhere, imports it and scores the host's table the same way.
# Downloads and builds stay in build/rebuilds (ZENTRILO_REBUILDS for another
# folder) and are reused. --check-decoder also compares the decoder with
# capstone on every DLL. Not part of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
cache=${ZENTRILO_REBUILDS:-build/rebuilds}
mkdir -p "$cache"
tools/install-deps.sh rebuilds

# fetch PACKAGE VERSION: the package's tarball, unpacked into $cache/PACKAGE-VERSION.
fetch() {
  local folder=$cache/$1-$2
  [ -d "$folder/package" ] && return 0
  mkdir -p "$folder"
  (cd "$folder" && npm pack --silent "$1@$2" >/dev/null && tar xzf "$1-$2.tgz")
}

# build NAME SOURCES...: NAME.dll and NAME.symbols in $cache, unless there.
build() {
  local name=$1
  shift
  [ -s "$cache/$name.dll" ] && [ -s "$cache/$name.symbols" ] && return 0
  echo "building $name.dll"
  local started=$SECONDS
  nice i686-w64-mingw32-gcc -O2 -shared -o "$cache/$name.dll" "$@"
  i686-w64-mingw32-nm "$cache/$name.dll" >"$cache/$name.symbols"
  echo "  $((SECONDS - started)) s"
}

for version in 11.0.0 11.5.0 11.8.0; do
  fetch better-sqlite3 "$version"
  build "sqlite-$version" "$cache/better-sqlite3-$version/package/deps/sqlite3/sqlite3.c"
done
for version in 0.5.3 0.6.5; do
  fetch lz4 "$version"
  lib=$cache/lz4-$version/package/deps/lz4/lib
  build "lz4-$version" -I"$lib" "$lib"/lz4.c "$lib"/lz4hc.c "$lib"/lz4frame.c "$lib"/xxhash.c
done

program=$cache/accuracy
g++ -std=c++17 -O2 -Wall -Wextra -Werror -I"$top" -I"$top/tests" -o "$program" bench/rebuilds/accuracy.cpp \
  tests/rebuild_score.cpp core/x86_length.cpp core/pe_image.cpp core/code_pattern.cpp core/pattern_search.cpp core/code_signature.cpp core/twin_order.cpp core/call_sites.cpp

# Through the plug-in: under Wine on this machine only (the emulated guest
# would not see the builds' folder).
through=
if [ "${ZENTRILO_EMULATED:-0}" != 1 ] && tests/runs-32-bit-code.sh "$cache" >/dev/null; then
  tools/install-deps.sh tests
  bench=${ZENTRILO_BENCH_BUILD:-build/bench}
  cmake -S . -B "$bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTRILO_BENCH=ON -DZENTRILO_EMULATED=OFF \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake >/dev/null
  cmake --build "$bench" --target zentrilo_rebuilds
  through=$bench/bench/rebuilds/OllyDbg.exe
else
  echo "run.sh: no 32-bit code runs here (or ZENTRILO_EMULATED=1): the pairs go without the plug-in"
fi
files=$(realpath "$cache")

pair() {
  echo
  echo "== $1 -> $2"
  "$program" "$cache/$1.dll" "$cache/$1.symbols" "$cache/$2.dll" "$cache/$2.symbols" "${@:3}"
  [ -n "$through" ] || return 0
  echo
  echo "== $1 -> $2, through the plug-in"
  tests/run-under-wine.sh "$bench/wineprefix" "$through" \
    "$files/$1.dll" "$files/$1.symbols" "$files/$2.dll" "$files/$2.symbols" | sed '/^\[/d'
}
pair sqlite-11.0.0 sqlite-11.5.0 --speed
pair sqlite-11.5.0 sqlite-11.8.0
pair sqlite-11.0.0 sqlite-11.8.0
pair lz4-0.5.3 lz4-0.6.5

if [ "${1:-}" = --check-decoder ]; then
  echo
  /usr/bin/python3 bench/rebuilds/check_x86_length.py "$cache"/*.dll
fi
