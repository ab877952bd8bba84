#!/usr/bin/env bash
# tests/rebuilds/make.sh: makes the two LZ4 builds of this folder again (see
# README.md): fetches npm's lz4 0.5.3 and 0.6.5, builds each one's LZ4 library
# into a 32-bit DLL with the cross compiler, twice (with its symbols, for the
# listing; stripped, the file kept: the same image at the same fixed base),
# and writes lz4-VERSION.dll and lz4-VERSION.symbols here. Needs npm and
# the cross compiler (tools/install-deps.sh rebuilds, tools/install-deps.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for version in 0.5.3 0.6.5; do
  (cd "$work" && npm pack --silent "lz4@$version" >/dev/null && mkdir "$version" && tar xzf "lz4-$version.tgz" -C "$version")
  lib=$work/$version/package/deps/lz4/lib
  for kind in symbols stripped; do
    mkdir -p "$work/$kind"
    flags=(-O2 -shared -Wl,--no-insert-timestamp -Wl,--image-base=0x62000000)
    [ "$kind" = stripped ] && flags+=(-s)
    i686-w64-mingw32-gcc "${flags[@]}" -o "$work/$kind/lz4-$version.dll" -I"$lib" \
      "$lib"/lz4.c "$lib"/lz4hc.c "$lib"/lz4frame.c "$lib"/xxhash.c
  done
  i686-w64-mingw32-nm "$work/symbols/lz4-$version.dll" >"$here/lz4-$version.symbols"
  cp "$work/stripped/lz4-$version.dll" "$here/lz4-$version.dll"
done
ls -l "$here"/lz4-*
