#!/usr/bin/env bash
# Fetches the source of Expat, the XML reader built into the plug-in, when the
# cache lacks it, and prints the folder that holds its lib/ (expat.h,
# xmlparse.c, xmltok.c, xmlrole.c and what they include).
#
# The source is Debian bookworm's expat source package, 2.5.0 with Debian's
# security patches (among them the 2024 fixes for 32-bit builds), fetched by
# name from the Debian archive, checked against the checksums below, and
# patched as Debian's series says. It is kept in the cache folder
# (ZENTRILO_CACHE, else ~/.cache/zentrilo), never in the repository.
#
# A mirror in the middle of an update may lack a file for some minutes or
# serve one that does not match: each file is tried up to three times with a
# pause, then at the next mirror (ZENTRILO_DEBIAN_MIRROR first when set, then
# deb.debian.org, then snapshot.debian.org, which keeps every version).
set -euo pipefail

version=2.5.0-1+deb12u2
declare -A sha256=(
  [expat_2.5.0.orig.tar.gz]=ab00ee05c7067fd10a35c5d2a4922ebba746ddd50ff83b79c828da17bbdf1757
  [expat_2.5.0-1+deb12u2.debian.tar.xz]=7e29f5db5067e55193540089ed0f3ec9676704cf79dcea81a9bfb9f49435ae53
)
files=(expat_2.5.0.orig.tar.gz expat_2.5.0-1+deb12u2.debian.tar.xz)
mirrors=(${ZENTRILO_DEBIAN_MIRROR:-} http://deb.debian.org/debian
  https://snapshot.debian.org/archive/debian/20250520T000000Z)
pool=pool/main/e/expat
tries=${ZENTRILO_FETCH_TRIES:-3} pause=${ZENTRILO_FETCH_PAUSE:-20}

cache=${ZENTRILO_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/zentrilo}/expat-$version
ready=$cache/source/expat
if [ -f "$cache/source/ready" ]; then
  echo "$ready"
  exit 0
fi
mkdir -p "$cache/downloads"

matches() { echo "${sha256[$1]}  $cache/downloads/$1" | sha256sum --quiet -c - &>/dev/null; }

fetch() {  # fetch FILE: into downloads/, checked
  local file=$1 mirror try part
  matches "$file" && return 0
  for mirror in "${mirrors[@]}"; do
    for ((try = 1; try <= tries; try++)); do
      # A download of its own, which takes the file's place whole, checked:
      # two builds that fetch at once do not write into one file.
      part=$(mktemp "$cache/downloads/$file.XXXXXX")
      if curl -fsSL --retry 2 -o "$part" "$mirror/$pool/$file" &&
        echo "${sha256[$file]}  $part" | sha256sum --quiet -c - &>/dev/null; then
        mv -f "$part" "$cache/downloads/$file"
        return 0
      fi
      rm -f "$part"
      if ((try < tries)); then
        echo "expat: $file from $mirror failed or does not match its checksum (attempt $try of $tries);" \
          "again in $pause s" >&2
        sleep "$pause"
      fi
    done
  done
  echo "expat: could not fetch $file with SHA-256 ${sha256[$file]} from ${mirrors[*]}. A mirror in the middle" \
    "of an update may lack it for some minutes: run the same command again later." >&2
  return 1
}

for file in "${files[@]}"; do
  echo "expat: fetching $file" >&2
  fetch "$file"
done

# Unpacked and patched in a folder of its own, which then takes its place at
# once: another build that runs meanwhile sees either nothing or all of it.
work=$(mktemp -d "$cache/unpack.XXXXXX")
trap 'rm -rf "$work"' EXIT
tar -xzf "$cache/downloads/${files[0]}" -C "$work"
tar -xJf "$cache/downloads/${files[1]}" -C "$work"
top=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libexpat-*')
while read -r patch; do
  case $patch in '' | '#'*) continue ;; esac
  patch -d "$top" -p1 -s --no-backup-if-mismatch <"$work/debian/patches/$patch"
done <"$work/debian/patches/series"
touch "$top/ready"
mv -T "$top" "$cache/source" 2>/dev/null || [ -f "$cache/source/ready" ]
echo "$ready"
