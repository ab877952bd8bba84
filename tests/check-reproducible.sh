#!/usr/bin/env bash
# check-reproducible.sh [COMMIT]: builds one commit (HEAD by default) twice
# with ./build.sh, in two fresh clones in different folders and some seconds
# apart, and checks that the DLL, the zip and SHA256SUMS are the same byte for
# byte. Takes about two release builds' time, so test.sh does not run it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$top" rev-parse "${1:-HEAD}")
work=$(mktemp -d "${TMPDIR:-/tmp}/zentrilo-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

build() {  # build FOLDER: a clone of the commit, built
  git clone -q --no-checkout "$top" "$1"
  git -C "$1" checkout -q --detach "$commit"
  (cd "$1" && env -u SOURCE_DATE_EPOCH ./build.sh) >"$1.log" 2>&1 || { cat "$1.log" >&2; exit 1; }
}
build "$work/first"
sleep 2  # a later second, so that nothing may depend on the clock
build "$work/second/a-longer-folder-name"

version=$(sed -n 's/^#define ZT_VERSION_\(MAJOR\|MINOR\) //p' "$work/first/core/version_numbers.h" | paste -sd.)
failed=0
for file in Zentrilo.dll "Zentrilo-$version.zip" SHA256SUMS; do
  if cmp -s "$work/first/dist/$file" "$work/second/a-longer-folder-name/dist/$file"; then
    echo "[       OK ] dist/$file is the same in both builds"
  else
    echo "[  FAILED  ] dist/$file differs between the builds"
    failed=$((failed + 1))
  fi
done
echo "built ${commit:0:12} twice: $((3 - failed)) same, $failed different"
[ "$failed" = 0 ]
