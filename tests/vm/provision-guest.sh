# Runs once in the new guest: installs Wine with its 32-bit part from the
# packages fetched while the image was made (no network here), then makes
# the Wine prefix the tests run in. The 32-bit programs run only here.
set -eu
export DEBIAN_FRONTEND=noninteractive
started=$(date +%s)
apt-get install -y -q --no-install-recommends --no-download \
  -o Dpkg::Options::=--force-unsafe-io -o Dpkg::Use-Pty=0 wine wine32:i386
apt-get clean
echo "provision: Wine installed in $(( $(date +%s) - started )) s"
/job/wine-prefix.sh "$1"
echo "provision: Wine prefix made, $(( $(date +%s) - started )) s in all"
fstrim / || true
