#!/usr/bin/env bash
# Installs what building (and, with "tests", testing) needs on Debian, when missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

build_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake ninja-build)
test_packages=(googletest wine wine32:i386 xvfb xauth python3-pefile)

packages=("${build_packages[@]}")
if [ "${1:-}" = tests ]; then packages+=("${test_packages[@]}"); fi

for p in "${packages[@]}"; do have "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
echo "Installing: ${need[*]}"
case " ${need[*]} " in *":i386"*) $sudo dpkg --add-architecture i386 ;; esac
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
