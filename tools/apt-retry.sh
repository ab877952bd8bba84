# Sourced: apt-get steps that outlast a package mirror in the middle of an
# update. For some minutes its index files then disagree with each other
# ("File has unexpected size ... Mirror sync in progress?", "Hash Sum
# mismatch"), and one suite or architecture may lack the versions that
# another already has.
#
#   apt_update [COMMAND...]
#       COMMAND... apt-get update -q, tried up to three times with a pause;
#       when index files still fail, a warning, and the lists apt already
#       has serve.
#   apt_install RELEASE [COMMAND...] -- ARGUMENT...
#       COMMAND... apt-get install ARGUMENT...; when that fails on unmet
#       dependencies, once more preferring RELEASE's own suites (its security
#       and update suites may be half-way through a sync); then a message
#       that names the likely cause and what to do.
#   apt_download FOLDER PACKAGE...
#       apt-get download into FOLDER, tried up to three times with a pause;
#       a warning when it still fails.
#   apt_release
#       this machine's release codename (bookworm), or nothing.
#   apt_advice WHAT
#       the message for a step that failed for good.
#
# COMMAND is what runs apt-get: nothing, sudo, or a chroot's wrapper. The
# functions need nothing else from this file, so that they can be exported
# to another bash (export -f).

apt_update() {
  local try tries=3 pause=20
  for ((try = 1; try <= tries; try++)); do
    "$@" apt-get update -q && return 0
    if ((try < tries)); then
      echo "apt: apt-get update failed (attempt $try of $tries); again in $pause s" >&2
      sleep "$pause"
    fi
  done
  echo "apt: warning: some package index files could not be fetched (a mirror in the middle of an" \
    "update?); going on with the lists apt has" >&2
  return 0
}

apt_install() {
  local release=$1 command=() log rc
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do command+=("$1"); shift; done
  shift
  log=$(mktemp -d)
  # The output is shown as it comes and kept, to tell unmet dependencies apart.
  { "${command[@]}" apt-get install "$@" 2>&1 && echo 0 >"$log/rc" || echo $? >"$log/rc"; } | tee "$log/out"
  rc=$(cat "$log/rc")
  if [ "$rc" != 0 ] && [ -n "$release" ] && grep -q -e 'unmet dependencies' -e 'held broken packages' "$log/out"; then
    echo "apt: unmet dependencies; trying again with the packages of $release's own suites preferred" >&2
    "${command[@]}" apt-get install -o APT::Default-Release="$release" "$@" && rc=0 || rc=$?
  fi
  rm -rf "$log"
  [ "$rc" = 0 ] || apt_advice "could not install the packages (apt-get exit code $rc)"
  return "$rc"
}

apt_download() {
  local folder=$1 try tries=3 pause=20
  shift
  for ((try = 1; try <= tries; try++)); do
    (cd "$folder" && apt-get download -q "$@") && return 0
    if ((try < tries)); then
      echo "apt: apt-get download failed (attempt $try of $tries); again in $pause s" >&2
      sleep "$pause"
    fi
  done
  apt_advice "warning: could not download every package"
  return 1
}

apt_release() {
  (. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || true
}

apt_advice() {
  echo "apt: $1. The likely cause: the package mirror is in the middle of an update, and its index" \
    "files disagree for some minutes. Wait a few minutes and run the same command again." >&2
}
