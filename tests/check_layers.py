#!/usr/bin/env python3
"""Checks that the plug-in's includes run downward only:
plugin -> ui -> exchange -> core -> host (res is a leaf beside host)."""
import pathlib
import re
import sys

# What each folder may include besides itself.
ALLOWED = {
    "plugin": {"ui", "exchange", "core", "host", "res"},
    "ui": {"exchange", "core", "host", "res"},  # the Settings dialog uses the file chooser
    "exchange": {"core", "host"},
    "core": {"host"},
    "host": set(),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/')

def main(top):
    wrong = []
    for folder, allowed in ALLOWED.items():
        for path in sorted((top / folder).rglob("*.[ch]*")):
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and match.group(1) != folder and match.group(1) not in allowed:
                    wrong.append(f"{path.relative_to(top)}:{number}: {line.strip()}")
    for line in wrong:
        print(f"upward include: {line}")
    print(f"{len(wrong)} upward includes")
    return 1 if wrong else 0

if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()))
