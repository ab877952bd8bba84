#!/usr/bin/python3
"""check_x86_length.py FILE.dll...: decodes the code sections of each DLL with
capstone (python3-capstone) in a linear sweep and with core/x86_length.cpp at
every instruction capstone finds, and compares length, the relative-branch flag
and the displacement's value. Run by hand, or on the corpus by
bench/rebuilds/run.sh --check-decoder; prints the mismatches and a summary line
per file, and exits 1 when any differ."""
import os, subprocess, sys, tempfile
import capstone, pefile

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

def build_dump(folder):
    program = os.path.join(folder, "x86_fields_dump")
    subprocess.check_call(["g++", "-std=c++17", "-O2", "-Wall", "-Wextra", "-Werror", "-I", top,
                           os.path.join(top, "bench/rebuilds/x86_fields_dump.cpp"),
                           os.path.join(top, "core/x86_length.cpp"), "-o", program])
    return program

def sign(value, size):
    bits = size * 8
    return value - (1 << bits) if value >= 1 << (bits - 1) else value

def check(program, path):
    pe = pefile.PE(path)
    md = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
    md.detail = True
    md.skipdata = True
    checked = wrong = 0
    for section in pe.sections:
        if not section.Characteristics & 0x20000000:  # executable
            continue
        code = section.get_data()[:section.Misc_VirtualSize]
        fields = subprocess.run([program], input=code, stdout=subprocess.PIPE, check=True).stdout
        for insn in md.disasm(code, 0):
            if insn.id == 0:  # data capstone skipped
                continue
            at = insn.address
            length, doff, dsize, ioff, isize, rel = fields[at * 6:at * 6 + 6]
            checked += 1
            problems = []
            if length != insn.size:
                problems.append(f"length {length}, capstone {insn.size}")
            cs_rel = (insn.group(capstone.CS_GRP_JUMP) or insn.group(capstone.CS_GRP_CALL)) and \
                any(op.type == capstone.x86.X86_OP_IMM for op in insn.operands)
            if bool(rel) != bool(cs_rel):
                problems.append(f"relative {rel}, capstone {int(bool(cs_rel))}")
            if rel and ioff + isize != length:
                problems.append("relative field not at the end")
            mems = [op for op in insn.operands if op.type == capstone.x86.X86_OP_MEM]
            if dsize and length == insn.size:
                value = sign(int.from_bytes(code[at + doff:at + doff + dsize], "little"), dsize)
                want = [sign(op.mem.disp & 0xFFFFFFFF, 4) for op in mems]
                if insn.mnemonic.startswith("mov") and insn.bytes[-dsize - 1] in (0xA0, 0xA1, 0xA2, 0xA3):
                    want = [sign(value & 0xFFFFFFFF, 4)]  # moffs: capstone's operand is the address
                if want and value not in want:
                    problems.append(f"disp {value:#x}, capstone {want}")
            if problems:
                wrong += 1
                if wrong <= 40:
                    name = section.Name.rstrip(b"\0").decode()
                    print(f"{os.path.basename(path)} {name}+{at:#x}: "
                          f"{insn.bytes.hex()} {insn.mnemonic} {insn.op_str}: {'; '.join(problems)}")
    print(f"{os.path.basename(path)}: {checked} instructions, {wrong} differ")
    return wrong

def main():
    with tempfile.TemporaryDirectory() as folder:
        program = build_dump(folder)
        wrong = sum(check(program, path) for path in sys.argv[1:])
    return 1 if wrong else 0

if __name__ == "__main__":
    sys.exit(main())
