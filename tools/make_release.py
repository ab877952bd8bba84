#!/usr/bin/python3
"""make_release.py DLL DIST: writes the release of a built Zentrilo.dll into
DIST: the DLL, Zentrilo-<version>.zip (the DLL, the install guide, the licence,
Expat's licence and the exchange-file format) and SHA256SUMS over both, which `sha256sum -c`
checks from DIST. The zip is the same byte for byte for the same inputs: fixed
order, dates from SOURCE_DATE_EPOCH (the last commit's, set by build.sh),
fixed permissions. Text files get Windows line ends, for Notepad."""
import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time
import zipfile

TOP = pathlib.Path(__file__).resolve().parent.parent
FALLBACK_EPOCH = 1767225600  # 2026-01-01 00:00 UTC, as build.sh outside git
# (name in the zip, source, text); "expat": the licence of Expat, which the
# DLL carries, from its source in the cache (tools/fetch-expat.sh).
CONTENTS = [("Zentrilo.dll", None, False),
            ("INSTALL.txt", TOP / "docs/install.txt", True),
            ("LICENSE.txt", TOP / "LICENSE", True),
            ("Expat-COPYING.txt", "expat", True),
            ("exchange-file.md", TOP / "docs/exchange-file.md", True)]


def version():
    numbers = dict(re.findall(r"#define ZT_VERSION_(MAJOR|MINOR) (\d+)",
                              (TOP / "core/version_numbers.h").read_text()))
    return f"{numbers['MAJOR']}.{numbers['MINOR']}"


def zip_date():
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH") or FALLBACK_EPOCH)
    return max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))  # the earliest a zip can hold


def expat_licence():
    folder = subprocess.run([str(TOP / "tools/fetch-expat.sh")], capture_output=True, text=True,
                            check=True).stdout.strip()
    return pathlib.Path(folder) / "COPYING"


def write_zip(path, dll):
    date = zip_date()
    with zipfile.ZipFile(path, "w") as archive:
        for name, source, text in CONTENTS:
            data = (expat_licence() if source == "expat" else source or dll).read_bytes()
            if text:
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            entry = zipfile.ZipInfo(name, date)
            entry.create_system = 3  # Unix, so that the permissions below hold
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, data, compresslevel=9)


def main(dll, dist):
    dll, dist = pathlib.Path(dll), pathlib.Path(dist)
    dist.mkdir(parents=True, exist_ok=True)
    archive = dist / f"Zentrilo-{version()}.zip"
    for old in dist.glob("Zentrilo-*.zip"):
        old.unlink()
    shutil.copyfile(dll, dist / "Zentrilo.dll")
    write_zip(archive, dll)
    sums = "".join(f"{hashlib.sha256((dist / name).read_bytes()).hexdigest()}  {name}\n"
                   for name in (archive.name, "Zentrilo.dll"))
    (dist / "SHA256SUMS").write_text(sums)
    print(f"Wrote {archive}, {dist / 'Zentrilo.dll'} and {dist / 'SHA256SUMS'}")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
