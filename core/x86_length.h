// Lengths of 32-bit x86 instructions, and where their address-bearing fields
// lie. Enough to walk real compiler output instruction by instruction and to
// tell which bytes change when the same code is rebuilt or loaded elsewhere;
// it does not say what an instruction does. Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

struct X86Fields {
    uint8_t length;          // 0: not an instruction this decoder knows, or cut short
    uint8_t dispOffset;      // the memory operand's displacement (or A0-A3's address)
    uint8_t dispSize;        // 0, 1, 2 or 4
    uint8_t immOffset;       // the immediate; for a relative branch its displacement
    uint8_t immSize;         // 0, 1, 2, 3 (enter), 4 or 6 (far pointer)
    uint8_t relative;        // 1: call/jmp/jcc/loop/jecxz whose immediate is relative to the next instruction
};

// Decodes the instruction at code[0], reading at most `available` bytes.
// Returns its length (also in out->length), 0 when it cannot be decoded.
size_t DecodeX86(const uint8_t* code, size_t available, X86Fields* out);

}  // namespace zt
