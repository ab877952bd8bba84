#!/usr/bin/python3
"""same_code.py A.dll B.dll: whether two links of one program hold the same
code: every executable section at the same address with the same bytes once
both images are relocated to one base. Exits 1, naming the first difference,
when they do not. run.sh checks with it that the build with line information
(-g) has the code of the build it scores."""
import sys

import pefile


def code_of(path):
    pe = pefile.PE(path)
    pe.relocate_image(0x10000000)
    return {(s.Name.rstrip(b'\0').decode(), s.VirtualAddress): s.get_data()[:s.Misc_VirtualSize]
            for s in pe.sections if s.Characteristics & pefile.SECTION_CHARACTERISTICS['IMAGE_SCN_MEM_EXECUTE']}


def main():
    a, b = code_of(sys.argv[1]), code_of(sys.argv[2])
    if a.keys() != b.keys():
        print(f'same_code: the code sections differ: {sorted(a)} and {sorted(b)}')
        return 1
    for key, data in a.items():
        if data != b[key]:
            at = next((i for i, (x, y) in enumerate(zip(data, b[key])) if x != y), min(len(data), len(b[key])))
            print(f'same_code: {key[0]} differs at RVA {key[1] + at:#x} ({len(data)} and {len(b[key])} bytes)')
            return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
