#!/usr/bin/env bash
# bench/rebuilds/run.sh [--check-decoder]: the accuracy benchmark of code
# patterns on real rebuilt code. Fetches releases' sources with npm, each
# tarball checked against its pinned SHA-256 (SQLite 3.46.0, 3.47.0 and 3.48.0
# from better-sqlite3 11.0.0, 11.5.0 and 11.8.0; LZ4 1.7 and 1.9 from lz4
# 0.5.3 and 0.6.5; Expat 2.1.0 and 2.2.1 from node-expat 2.3.0 and 2.4.1),
# builds each with the cross compiler into a 32-bit DLL with its symbols
# (-O2), and once more with -g for its source lines (same_code.py checks the
# code is the same; line_table.py reads the lines). For each pair it diffs
# the two releases' sources (line_map.py), builds the native benchmark
# program (accuracy.cpp with the core's pattern code) and runs it, the first
# pair with the speed rows; then, on a machine that runs 32-bit code, the
# same pair through the plug-in: the release DLL in another simulated
# debugger under Wine (through_plugin.cpp, built in build/bench or
# ZENTRILO_BENCH_BUILD) maps build A, bookmarks, exports the JSON list, maps
# build B elsewhere, imports it and scores the host's table the same way. It
# ends with one table of every pair. Downloads and builds stay in
# build/rebuilds (ZENTRILO_REBUILDS for another folder) and are reused.
# --check-decoder also compares the decoder with capstone on every DLL. Not
# part of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
cache=${ZENTRILO_REBUILDS:-build/rebuilds}
mkdir -p "$cache"
tools/install-deps.sh rebuilds

# The tarballs this benchmark measures, by their SHA-256.
declare -A sha=(
  [better-sqlite3-11.0.0]=7d45ffde103d487327e3832b4ff3300adc3c537c701e4ed863b3a33918ec2c33
  [better-sqlite3-11.5.0]=b90e6f9cecd91cb318c1ea97e09398fb14747550003a8b7cbf8fb8bcb2b2d897
  [better-sqlite3-11.8.0]=2e26505ed25efedb2ced5a6c96c1763751f6966f144b1116ffaeb2ff12ff41da
  [lz4-0.5.3]=de0aede5fd67b105ebd42e24ac28bafaa2135d79c4b680b7b77fcbf023e25062
  [lz4-0.6.5]=fdb90b41c5a56d27f74b2c42a9861b0893f225ddb637f79e1b67a4e4b5f5f93f
  [node-expat-2.3.0]=12903e75c42639640a116ead8649208f69a19583a5519188332818d4115624c8
  [node-expat-2.4.1]=6daade62158d4d7db7091bd209cd68973c160adacf6bc16f8510c07f225da53d
)

# fetch PACKAGE VERSION SHA256: the package's tarball, checked against its
# pinned checksum and unpacked into $cache/PACKAGE-VERSION.
fetch() {
  local folder=$cache/$1-$2
  [ -d "$folder/package" ] && return 0
  mkdir -p "$folder"
  (cd "$folder" && npm pack --silent "$1@$2" >/dev/null)
  if ! echo "$3  $folder/$1-$2.tgz" | sha256sum --check --quiet; then
    echo "run.sh: $1-$2.tgz is not the tarball this benchmark pins" >&2
    rm -rf "$folder"
    exit 1
  fi
  tar xzf "$folder/$1-$2.tgz" -C "$folder"
}

# build NAME ROOT SOURCES-AND-FLAGS...: NAME.dll and NAME.symbols in $cache,
# unless there, built as always (-O2, no line information); then the same
# with -g in $cache/debug, checked to hold the same code, and the source
# line of each byte of its code in NAME.lines (paths relative to ROOT, the
# unpacked package).
declare -A root
build() {
  local name=$1
  root[$name]=$2
  shift 2
  if ! [ -s "$cache/$name.dll" ] || ! [ -s "$cache/$name.symbols" ]; then
    echo "building $name.dll"
    local started=$SECONDS
    nice i686-w64-mingw32-gcc -O2 -shared -o "$cache/$name.dll" "$@"
    i686-w64-mingw32-nm "$cache/$name.dll" >"$cache/$name.symbols"
    echo "  $((SECONDS - started)) s"
  fi
  if ! [ -s "$cache/$name.lines" ]; then
    echo "building $name.dll with line information (-g)"
    local started=$SECONDS
    mkdir -p "$cache/debug"
    nice i686-w64-mingw32-gcc -O2 -g -shared -o "$cache/debug/$name.dll" "$@"
    /usr/bin/python3 bench/rebuilds/same_code.py "$cache/$name.dll" "$cache/debug/$name.dll"
    /usr/bin/python3 bench/rebuilds/line_table.py "$cache/debug/$name.dll" "${root[$name]}" >"$cache/$name.lines.new"
    mv "$cache/$name.lines.new" "$cache/$name.lines"
    echo "  $((SECONDS - started)) s; the same code as without -g"
  fi
}

for version in 11.0.0 11.5.0 11.8.0; do
  fetch better-sqlite3 "$version" "${sha[better-sqlite3-$version]}"
  build "sqlite-$version" "$cache/better-sqlite3-$version/package" \
    "$cache/better-sqlite3-$version/package/deps/sqlite3/sqlite3.c"
done
for version in 0.5.3 0.6.5; do
  fetch lz4 "$version" "${sha[lz4-$version]}"
  lib=$cache/lz4-$version/package/deps/lz4/lib
  build "lz4-$version" "$cache/lz4-$version/package" \
    -I"$lib" "$lib"/lz4.c "$lib"/lz4hc.c "$lib"/lz4frame.c "$lib"/xxhash.c
done
# Expat 2.1.0 and 2.2.1 as node-expat 2.3.0 and 2.4.1 ship them, configured
# for Windows by the library's own winconfig.h.
for version in 2.3.0 2.4.1; do
  fetch node-expat "$version" "${sha[node-expat-$version]}"
  lib=$cache/node-expat-$version/package/deps/libexpat/lib
  build "expat-$version" "$cache/node-expat-$version/package" \
    -DCOMPILED_FROM_DSP -I"$lib" "$lib"/xmlparse.c "$lib"/xmlrole.c "$lib"/xmltok.c
done

program=$cache/accuracy
g++ -std=c++17 -O2 -Wall -Wextra -Werror -I"$top" -I"$top/tests" -o "$program" bench/rebuilds/accuracy.cpp \
  tests/rebuild_score.cpp core/x86_length.cpp core/pe_image.cpp core/code_pattern.cpp core/pattern_search.cpp core/code_signature.cpp core/twin_order.cpp core/twin_follow.cpp core/call_sites.cpp core/pointer_targets.cpp core/routine_align.cpp

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

# pair A B [--speed]: scores carrying A's bookmarks to B natively and, where
# 32-bit code runs, through the plug-in; each adds a row to the table.
rows=()
pair() {
  local map=$cache/$1--$2.linemap
  /usr/bin/python3 bench/rebuilds/line_map.py "$cache/$1.lines" "${root[$1]}" "$cache/$2.lines" "${root[$2]}" >"$map.new"
  mv "$map.new" "$map"
  echo
  echo "== $1 -> $2"
  local out
  out=$("$program" "$cache/$1.dll" "$cache/$1.symbols" "$cache/$2.dll" "$cache/$2.symbols" \
    --lines "$cache/$1.lines" "$cache/$2.lines" "$map" "${@:3}")
  echo "$out" | grep -v '^row: '
  local native plugin="- - - - - - - - - - - - - -"
  native=$(echo "$out" | sed -n 's/^row: //p')
  if [ -n "$through" ]; then
    echo
    echo "== $1 -> $2, through the plug-in"
    out=$(tests/run-under-wine.sh "$bench/wineprefix" "$through" \
      "$files/$1.dll" "$files/$1.symbols" "$files/$2.dll" "$files/$2.symbols" \
      --lines "$files/$1.lines" "$files/$2.lines" "$(realpath "$map")" | tr -d '\r' | sed '/^\[/d')
    echo "$out" | grep -v '^row: '
    plugin=$(echo "$out" | sed -n 's/^row: //p')
  fi
  rows+=("$1 $2 $native $plugin")
}
pair sqlite-11.0.0 sqlite-11.5.0 --speed
pair sqlite-11.5.0 sqlite-11.8.0
pair sqlite-11.0.0 sqlite-11.8.0
pair lz4-0.5.3 lz4-0.6.5
pair expat-2.3.0 expat-2.4.1

# The figures of every pair in one table: right / wrong / not placed of each
# class of bookmark (through the plug-in where it ran, else natively), whether
# the plug-in placed them as the core does natively, the core's time to make
# and search the patterns, the export and import through the plug-in, and
# the JSON list's size.
echo
echo "== every pair: right / wrong / not placed (wrong by the lines though where the instructions line up)"
printf '%s\n' "${rows[@]}" | awk '
  function cell(at) {
    return sprintf("%d / %d / %d of %d (%.1f %%)", $(at + 1), $(at + 2), $at - $(at + 1) - $(at + 2), $at,
                   $at ? 100 * $(at + 1) / $at : 0)
  }
  function changed(at) {
    return sprintf("%d / %d (%d) / %d of %d (%.1f %%)", $(at + 1), $(at + 2), $(at + 3),
                   $at - $(at + 1) - $(at + 2), $at, $at ? 100 * $(at + 1) / $at : 0)
  }
  function gone(at) { return sprintf("%d (%d) wrong / %d not placed of %d", $(at + 1), $(at + 2), $at - $(at + 1), $at) }
  {
    p = ($14 == "-") ? 3 : 14  # the plug-in'"'"'s figures where it ran
    same = "-"
    if (p == 14) { same = "same"; for (i = 0; i < 10; ++i) if ($(3 + i) != $(14 + i)) same = "differ" }
    printf "| %s -> %s | %s | %s | %s | %s | %s s | %s s | %s s | %s (%s) |\n", $1, $2, cell(p), changed(p + 3),
      gone(p + 7), same, $13, $24, $25, $26, $27
  }' | {
  echo "| pair | unchanged routines | changed, line kept | changed, line gone | plug-in = core | core: make + search | export | import | JSON bytes a bookmark (pattern fields) |"
  echo "|---|---|---|---|---|---|---|---|---|"
  cat
}

if [ "${1:-}" = --check-decoder ]; then
  echo
  /usr/bin/python3 bench/rebuilds/check_x86_length.py "$cache"/*.dll
fi
