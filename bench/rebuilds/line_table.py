#!/usr/bin/python3
"""line_table.py DEBUG.dll ROOT: the source line of each byte of code, from
the DWARF line tables of a DLL built with -g (read with pyelftools from an
ELF copy that objcopy makes; the addresses are the DLL's own).

Prints one line per file, "F ID PATH", then one per address range,
"R BEGIN END ID LINE" (RVAs in hex, END excluded). PATH is relative to ROOT
for the sources under it, so that two releases' files meet by name; other
files (the compiler's headers and run-time) keep their full path. Where
several rows share an address the last one holds, as a debugger reads it."""
import os
import subprocess
import sys
import tempfile

import pefile
from elftools.elf.elffile import ELFFile


def file_path(program, index, version):
    entries = program.header['file_entry']
    entry = entries[index if version >= 5 else index - 1]
    directories = program.header['include_directory']
    d = entry.dir_index
    if version >= 5:
        directory = directories[d]
    else:
        directory = program.header.get('comp_dir', b'') if d == 0 else directories[d - 1]
    name = entry.name.decode()
    directory = directory.decode() if isinstance(directory, bytes) else directory
    return os.path.normpath(os.path.join(directory or '', name))


def main():
    dll, root = sys.argv[1], os.path.realpath(sys.argv[2])
    base = pefile.PE(dll, fast_load=True).OPTIONAL_HEADER.ImageBase
    with tempfile.TemporaryDirectory() as work:
        elf = os.path.join(work, 'copy.elf')
        subprocess.run(['i686-w64-mingw32-objcopy', '-O', 'elf32-i386', dll, elf], check=True)
        with open(elf, 'rb') as stream:
            dwarf = ELFFile(stream).get_dwarf_info()
            ids, ranges = {}, []
            for cu in dwarf.iter_CUs():
                program = dwarf.line_program_for_CU(cu)
                if program is None:
                    continue
                version = program.header['version']
                comp_dir = cu.get_top_DIE().attributes.get('DW_AT_comp_dir')
                if version < 5 and comp_dir:
                    program.header['comp_dir'] = comp_dir.value
                previous = None
                for entry in program.get_entries():
                    state = entry.state
                    if state is None:
                        continue
                    if previous is not None and state.address > previous.address:
                        path = file_path(program, previous.file, version)
                        real = os.path.realpath(path)
                        key = os.path.relpath(real, root) if real.startswith(root + os.sep) else path
                        ranges.append((previous.address - base, state.address - base,
                                       ids.setdefault(key, len(ids)), previous.line))
                    previous = None if state.end_sequence else state
    for key, number in ids.items():
        print(f'F {number} {key}')
    for begin, end, number, line in sorted(ranges):
        print(f'R {begin:x} {end:x} {number} {line}')


if __name__ == '__main__':
    main()
