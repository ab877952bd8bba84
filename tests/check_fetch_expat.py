#!/usr/bin/env python3
"""Runs tools/fetch-expat.sh with an empty cache against stand-ins for curl and
sleep that act as mirrors do: one in the middle of an update (fails, then
serves), one that serves other bytes, none that has the file. Checks what the
script fetched from where, its exit code, its message and the cache it left.
The stand-in serves the real files from the cache that the build filled."""
import os
import pathlib
import subprocess
import sys
import tempfile

OFFICIAL = "http://deb.debian.org/debian"
# Each stand-in appends what it was asked to $ZT_DIR/calls. curl serves the
# file of a URL from $ZT_FILES by the mirror's behaviour in $ZT_MIRRORS
# ("MIRROR=serve", "=garbage", "=fail", or "=flaky:N": fails N times a file).
STAND_INS = {
    "sleep": 'echo "sleep $*" >>"$ZT_DIR/calls"\n',
    "curl": r'''url=${!#}; out=
while [ $# -gt 1 ]; do [ "$1" = -o ] && out=$2; shift; done
file=${url##*/}; mirror=${url%/pool/*}
echo "curl $mirror $file" >>"$ZT_DIR/calls"
how=fail
for entry in $ZT_MIRRORS; do [ "${entry%%=*}" = "$mirror" ] && how=${entry#*=}; done
case $how in
  serve) cp "$ZT_FILES/$file" "$out" ;;
  garbage) echo "not the file" >"$out" ;;
  flaky:*)
    echo x >>"$ZT_DIR/tries.$file"
    [ "$(wc -l <"$ZT_DIR/tries.$file")" -gt "${how#flaky:}" ] || exit 22
    cp "$ZT_FILES/$file" "$out" ;;
  *) exit 22 ;;
esac
''',
}
ORIG, DEBIAN = "expat_2.5.0.orig.tar.gz", "expat_2.5.0-1+deb12u2.debian.tar.xz"


def main(top):
    script = pathlib.Path(top) / "tools" / "fetch-expat.sh"
    ready = subprocess.run([str(script)], capture_output=True, text=True, check=True).stdout.strip()
    files = pathlib.Path(ready).parent.parent / "downloads"
    flaky, wrong = "http://flaky/debian", "http://wrong/debian"
    # what, mirrors and their behaviour, the calls expected, exit code zero, words in the message
    cases = [
        ("a mirror in the middle of an update: two failures, then the file",
         flaky, [f"{flaky}=flaky:2"],
         [f"curl {flaky} {ORIG}", "sleep 20", f"curl {flaky} {ORIG}", "sleep 20", f"curl {flaky} {ORIG}",
          f"curl {flaky} {DEBIAN}", "sleep 20", f"curl {flaky} {DEBIAN}", "sleep 20", f"curl {flaky} {DEBIAN}"],
         True, ["again in 20 s"]),
        ("a mirror that serves other bytes: the next one", wrong, [f"{wrong}=garbage", f"{OFFICIAL}=serve"],
         [f"curl {wrong} {ORIG}", "sleep 20", f"curl {wrong} {ORIG}", "sleep 20", f"curl {wrong} {ORIG}",
          f"curl {OFFICIAL} {ORIG}",
          f"curl {wrong} {DEBIAN}", "sleep 20", f"curl {wrong} {DEBIAN}", "sleep 20", f"curl {wrong} {DEBIAN}",
          f"curl {OFFICIAL} {DEBIAN}"],
         True, ["does not match its checksum"]),
        ("no mirror has it", "", [], None, False, ["could not fetch", "again later"]),
    ]
    failures = 0
    for what, mirror, mirrors, calls, succeeds, words in cases:
        with tempfile.TemporaryDirectory() as folder:
            bin_dir = pathlib.Path(folder) / "bin"
            bin_dir.mkdir()
            for name, body in STAND_INS.items():
                (bin_dir / name).write_text("#!/bin/bash\n" + body)
                (bin_dir / name).chmod(0o755)
            env = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}", ZT_DIR=folder, ZT_FILES=str(files),
                       ZT_MIRRORS=" ".join(mirrors), ZENTRILO_CACHE=f"{folder}/cache",
                       ZENTRILO_DEBIAN_MIRROR=mirror)
            run = subprocess.run(["bash", str(script)], env=env, capture_output=True, text=True, timeout=120)
            log = pathlib.Path(folder) / "calls"
            made = log.read_text().splitlines() if log.exists() else []
            source = list(pathlib.Path(folder, "cache").glob("expat-*/source/expat/lib/xmlparse.c"))
            again = subprocess.run(["bash", str(script)], env=env, capture_output=True, text=True, timeout=60)
            made_again = log.read_text().splitlines()[len(made):] if log.exists() else []
        problems = []
        if calls is not None and made != calls:
            problems.append(f"calls {made}, expected {calls}")
        if (run.returncode == 0) != succeeds:
            problems.append(f"exit code {run.returncode}")
        if bool(source) != succeeds:
            problems.append(f"source in the cache: {bool(source)}")
        if succeeds and (made_again or again.stdout != run.stdout):
            problems.append(f"a second run fetched {made_again} or printed {again.stdout!r}")
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
