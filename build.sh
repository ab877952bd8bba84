#!/usr/bin/env bash
# Builds the plug-in: build/release/Zentrilo.dll.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/release
echo "Built $(pwd)/build/release/Zentrilo.dll"
