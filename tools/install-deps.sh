#!/usr/bin/env bash
# Installs what building needs on Debian, when missing; with "tests", also what
# running the tests under Wine here needs; with "tests-emulated", what running
# them in the emulated guest needs instead (tests/vm/); with "screenshots" or
# "screenshots-emulated", that and what tools/screenshots.sh needs besides;
# with "rebuilds", what bench/rebuilds/run.sh needs (npm, a native g++, capstone, pyelftools).
set -euo pipefail
. "$(dirname "$0")/apt-retry.sh"

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# curl, patch and xz-utils fetch and unpack Expat's source (tools/fetch-expat.sh).
build_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake ninja-build rapidjson-dev curl patch xz-utils)
test_packages=(googletest python3-pefile python3-lxml)
wine_packages=(wine wine32:i386 xvfb xauth)
guest_packages=(qemu-system-x86 debootstrap e2fsprogs)
picture_packages=(python3-pil)
rebuild_packages=(g++ python3-capstone python3-pefile python3-pyelftools)
command -v npm >/dev/null || rebuild_packages+=(npm)  # npm may come with a Node.js of its own

packages=("${build_packages[@]}")
case "${1:-}" in
  tests) packages+=("${test_packages[@]}" "${wine_packages[@]}") ;;
  tests-emulated) packages+=("${test_packages[@]}" "${guest_packages[@]}") ;;
  screenshots) packages+=("${test_packages[@]}" "${wine_packages[@]}" "${picture_packages[@]}") ;;
  screenshots-emulated) packages+=("${test_packages[@]}" "${guest_packages[@]}" "${picture_packages[@]}") ;;
  rebuilds) packages+=("${rebuild_packages[@]}") ;;
esac

for p in "${packages[@]}"; do have "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
echo "Installing: ${need[*]}"
case " ${need[*]} " in *":i386"*) $sudo dpkg --add-architecture i386 ;; esac
export DEBIAN_FRONTEND=noninteractive
apt_update $sudo
apt_install "$(apt_release)" $sudo -- -y -qq --no-install-recommends "${need[@]}"
