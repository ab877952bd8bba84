#!/usr/bin/env python3
"""Runs tools/install-deps.sh against stand-ins for apt-get, dpkg, dpkg-query,
sudo, id and sleep that act as a package mirror half-way through an update
does, and checks the calls the script made, its exit code and its message."""
import os
import pathlib
import subprocess
import sys
import tempfile

# Each stand-in appends what it was asked to do to $ZT_DIR/calls, after
# "sudo " when it runs under the stand-in sudo.
STAND_INS = {
    "sudo": 'exec env ZT_SUDO="sudo " "$@"\n',
    "id": 'echo 1000\n',
    "sleep": 'echo "sleep $*" >>"$ZT_DIR/calls"\n',
    "dpkg": 'echo "${ZT_SUDO:-}dpkg $*" >>"$ZT_DIR/calls"\n',
    # Installed: everything but what ZT_MISSING names.
    "dpkg-query": 'for p in $ZT_MISSING; do [ "$p" = "${!#}" ] && exit 1; done\n'
                  'echo -n "install ok installed"\n',
    "apt-get": r'''echo "${ZT_SUDO:-}apt-get $*" >>"$ZT_DIR/calls"
case $1 in
  update)
    echo x >>"$ZT_DIR/updates"
    if [ "$(wc -l <"$ZT_DIR/updates")" -le "$ZT_UPDATE_FAILS" ]; then
      echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz" \
        " File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]" >&2
      exit 100
    fi ;;
  install)
    case "$ZT_INSTALL:$*" in
      ok:*|until-release:*Default-Release*) ;;
      until-release:*|broken:*)
        echo "The following packages have unmet dependencies:"
        echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100 ;;
      *) echo "E: Unable to locate package wine32:i386" >&2; exit 100 ;;
    esac ;;
esac
''',
}


def release():
    for line in pathlib.Path("/etc/os-release").read_text().splitlines():
        if line.startswith("VERSION_CODENAME="):
            return line.split("=", 1)[1].strip('"')
    return ""


def main(top):
    script = pathlib.Path(top) / "tools" / "install-deps.sh"
    update = "sudo apt-get update -q"
    install = "sudo apt-get install -y -qq --no-install-recommends wine32:i386 xvfb"
    preferred = f"sudo apt-get install -o APT::Default-Release={release()} -y -qq --no-install-recommends wine32:i386 xvfb"
    begin = ["sudo dpkg --add-architecture i386"]
    missing = "wine32:i386 xvfb"
    # what, missing packages, update failures, install behaviour, calls, exit code zero, words in the message
    cases = [
        ("update fails twice, then works", missing, 2, "ok",
         begin + [update, "sleep 20", update, "sleep 20", update, install], True, []),
        ("update keeps failing: the lists there are serve", missing, 9, "ok",
         begin + [update, "sleep 20", update, "sleep 20", update, install], True, ["warning"]),
        ("unmet dependencies until the release's own suites are preferred", missing, 0, "until-release",
         begin + [update, install, preferred], True, []),
        ("unmet dependencies for good", missing, 0, "broken",
         begin + [update, install, preferred], False, ["mirror", "middle of an update", "Wait", "again"]),
        ("another failure is not tried again", missing, 0, "unknown",
         begin + [update, install], False, ["mirror", "again"]),
        ("nothing missing", "", 9, "broken", [], True, []),
    ]
    failures = 0
    for what, missing_now, update_fails, mode, calls, succeeds, words in cases:
        with tempfile.TemporaryDirectory() as folder:
            bin_dir = pathlib.Path(folder) / "bin"
            bin_dir.mkdir()
            for name, body in STAND_INS.items():
                path = bin_dir / name
                path.write_text("#!/bin/bash\n" + body)
                path.chmod(0o755)
            env = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}", ZT_DIR=folder,
                       ZT_MISSING=missing_now, ZT_UPDATE_FAILS=str(update_fails), ZT_INSTALL=mode)
            run = subprocess.run(["bash", str(script), "tests"], env=env, capture_output=True, text=True,
                                 timeout=60)
            log = pathlib.Path(folder) / "calls"
            made = log.read_text().splitlines() if log.exists() else []
        problems = []
        if made != calls:
            problems.append(f"calls {made}, expected {calls}")
        if (run.returncode == 0) != succeeds:
            problems.append(f"exit code {run.returncode}")
        problems += [f"no \"{word}\" in the message" for word in words if word not in run.stderr]
        for problem in problems:
            print(f"FAIL {what}: {problem}")
        if problems:
            print(f"  stdout: {run.stdout!r}\n  stderr: {run.stderr!r}")
        failures += len(problems)
        print(f"{'ok  ' if not problems else 'FAIL'} {what}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
