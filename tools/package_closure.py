#!/usr/bin/python3
"""package_closure.py PACKAGE [--without PACKAGE...]: prints PACKAGE and every
package it depends on, directly or not, as apt on this machine resolves them
(the first of alternatives; recommendations left out), leaving out the
packages after --without and whatever only they need."""
import subprocess
import sys


def dependencies(packages):
    """{package: [what it depends on]} for these packages, in one apt-cache call."""
    shown = subprocess.run(["apt-cache", "depends", "--no-recommends", "--no-suggests", "--no-conflicts",
                            "--no-breaks", "--no-replaces", "--no-enhances", *packages],
                           capture_output=True, text=True, check=True).stdout.splitlines()
    found, current, after_bar = {}, None, False
    for line in shown:
        if not line.startswith(" "):
            current, after_bar = line.strip(), False
            found[current] = []
            continue
        line = line.strip()
        alternative, after_bar = after_bar, line.startswith("|")  # after a "|": an alternative
        kind, _, name = line.lstrip("|").partition(":")
        if kind in ("Depends", "PreDepends") and not alternative and not name.strip().startswith("<"):
            found[current].append(name.strip())
    return found


def main(args):
    start, without = args[0], set(args[args.index("--without") + 1:]) if "--without" in args else set()
    seen, level = set(), {start}
    while level:
        seen |= level
        needed = {d for ds in dependencies(sorted(level)).values() for d in ds}
        level = needed - seen - without
    print(" ".join(sorted(seen)))


if __name__ == "__main__":
    main(sys.argv[1:])
