#include "core/x86_length.h"

#include <initializer_list>

namespace zt {
namespace {

// What follows an opcode byte, one entry per opcode.
enum : uint8_t {
    kModRm = 0x01,
    kImmMask = 0x0E,
    kImmNone = 0x00,
    kImm8 = 0x02,
    kImm16 = 0x04,
    kImmZ = 0x06,      // 16 or 32 bits by operand size
    kImmEnter = 0x08,  // imm16 then imm8
    kImmFar = 0x0A,    // 16- or 32-bit offset then a 16-bit selector
    kMoffs = 0x0C,     // an address of the address size, no ModRM
    kGroup3 = 0x0E,    // F6/F7: an immediate only for /0 and /1 (test)
    kRelative = 0x10,
    kPrefix = 0x20,
    kUnknown = 0x40,
};

struct OpcodeTables {
    uint8_t one[256];
    uint8_t two[256];  // after 0F
};

constexpr OpcodeTables MakeTables() {
    OpcodeTables t{};
    for (int op = 0; op < 0x40; ++op) {
        const int low = op & 7;
        t.one[op] = low < 4 ? kModRm : low == 4 ? kImm8 : low == 5 ? kImmZ : kImmNone;
    }
    for (int op : {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3}) t.one[op] = kPrefix;
    t.one[0x0F] = kUnknown;  // the escape, handled by the decoder itself
    t.one[0x62] = t.one[0x63] = kModRm;
    t.one[0x68] = kImmZ;
    t.one[0x69] = kModRm | kImmZ;
    t.one[0x6A] = kImm8;
    t.one[0x6B] = kModRm | kImm8;
    for (int op = 0x70; op <= 0x7F; ++op) t.one[op] = kImm8 | kRelative;
    t.one[0x80] = t.one[0x82] = t.one[0x83] = kModRm | kImm8;
    t.one[0x81] = kModRm | kImmZ;
    for (int op = 0x84; op <= 0x8F; ++op) t.one[op] = kModRm;
    t.one[0x9A] = t.one[0xEA] = kImmFar;
    for (int op = 0xA0; op <= 0xA3; ++op) t.one[op] = kMoffs;
    t.one[0xA8] = kImm8;
    t.one[0xA9] = kImmZ;
    for (int op = 0xB0; op <= 0xB7; ++op) t.one[op] = kImm8;
    for (int op = 0xB8; op <= 0xBF; ++op) t.one[op] = kImmZ;
    t.one[0xC0] = t.one[0xC1] = t.one[0xC6] = kModRm | kImm8;
    t.one[0xC2] = t.one[0xCA] = kImm16;
    t.one[0xC4] = t.one[0xC5] = kModRm;  // LES/LDS, or a VEX prefix when followed by mod 3
    t.one[0xC7] = kModRm | kImmZ;
    t.one[0xC8] = kImmEnter;
    t.one[0xCD] = t.one[0xD4] = t.one[0xD5] = kImm8;
    for (int op = 0xD0; op <= 0xD3; ++op) t.one[op] = kModRm;
    for (int op = 0xD8; op <= 0xDF; ++op) t.one[op] = kModRm;
    for (int op = 0xE0; op <= 0xE3; ++op) t.one[op] = kImm8 | kRelative;
    for (int op = 0xE4; op <= 0xE7; ++op) t.one[op] = kImm8;
    t.one[0xE8] = t.one[0xE9] = kImmZ | kRelative;
    t.one[0xEB] = kImm8 | kRelative;
    t.one[0xF6] = t.one[0xF7] = kModRm | kGroup3;
    t.one[0xFE] = t.one[0xFF] = kModRm;

    for (int op = 0; op < 256; ++op) t.two[op] = kModRm;
    for (int op : {0x05, 0x06, 0x07, 0x08, 0x09, 0x0B, 0x0E, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x37, 0x77, 0xA0,
                   0xA1, 0xA2, 0xA8, 0xA9, 0xAA})
        t.two[op] = kImmNone;
    for (int op = 0xC8; op <= 0xCF; ++op) t.two[op] = kImmNone;  // bswap
    for (int op : {0x04, 0x0A, 0x0C, 0x24, 0x25, 0x26, 0x27, 0x36, 0x39, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F})
        t.two[op] = kUnknown;
    t.two[0x38] = t.two[0x3A] = kUnknown;  // three-byte escapes, handled by the decoder
    for (int op : {0x0F, 0x70, 0x71, 0x72, 0x73, 0xA4, 0xAC, 0xBA, 0xC2, 0xC4, 0xC5, 0xC6}) t.two[op] = kModRm | kImm8;
    for (int op = 0x80; op <= 0x8F; ++op) t.two[op] = kImmZ | kRelative;
    return t;
}

constexpr OpcodeTables kTables = MakeTables();
constexpr size_t kMaxLength = 15;

}  // namespace

size_t DecodeX86(const uint8_t* code, size_t available, X86Fields* out) {
    *out = X86Fields{};
    if (available > kMaxLength) available = kMaxLength;
    size_t at = 0;
    bool operand16 = false;
    bool address16 = false;
    while (at < available && (kTables.one[code[at]] & kPrefix)) {
        if (code[at] == 0x66) operand16 = true;
        if (code[at] == 0x67) address16 = true;
        ++at;
    }
    if (at >= available) return 0;

    uint8_t flags;
    const uint8_t opcode = code[at++];
    if (opcode == 0x0F) {
        if (at >= available) return 0;
        const uint8_t second = code[at++];
        if (second == 0x38 || second == 0x3A) {
            if (at >= available) return 0;
            ++at;  // the third opcode byte
            flags = second == 0x38 ? kModRm : kModRm | kImm8;
        } else {
            flags = kTables.two[second];
        }
    } else if ((opcode == 0xC4 || opcode == 0xC5) && at < available && (code[at] & 0xC0) == 0xC0) {
        // VEX: in 32-bit code LES/LDS cannot have a register operand.
        unsigned map = 1;
        if (opcode == 0xC4) {
            map = code[at] & 0x1F;
            at += 2;
        } else {
            at += 1;
        }
        if (at >= available) return 0;
        const uint8_t vexOpcode = code[at++];
        if (map == 1) {
            flags = kTables.two[vexOpcode];
        } else if (map == 2) {
            flags = kModRm;
        } else if (map == 3) {
            flags = kModRm | kImm8;
        } else {
            return 0;
        }
        if (flags & kRelative) return 0;
    } else {
        flags = kTables.one[opcode];
    }
    if (flags & kUnknown) return 0;

    uint8_t modrmReg = 0;
    if (flags & kModRm) {
        if (at >= available) return 0;
        const uint8_t modrm = code[at++];
        const unsigned mod = modrm >> 6;
        const unsigned rm = modrm & 7;
        modrmReg = (modrm >> 3) & 7;
        unsigned disp = 0;
        if (mod != 3) {
            if (address16) {
                disp = mod == 1 ? 1 : mod == 2 ? 2 : (rm == 6 ? 2 : 0);
            } else {
                if (rm == 4) {
                    if (at >= available) return 0;
                    const uint8_t sib = code[at++];
                    if (mod == 0 && (sib & 7) == 5) disp = 4;
                }
                if (mod == 1) disp = 1;
                if (mod == 2 || (mod == 0 && rm == 5)) disp = 4;
            }
        }
        if (disp) {
            out->dispOffset = static_cast<uint8_t>(at);
            out->dispSize = static_cast<uint8_t>(disp);
            at += disp;
        }
    }

    unsigned imm = 0;
    switch (flags & kImmMask) {
    case kImm8: imm = 1; break;
    case kImm16: imm = 2; break;
    case kImmZ: imm = operand16 ? 2 : 4; break;
    case kImmEnter: imm = 3; break;
    case kImmFar: imm = operand16 ? 4 : 6; break;
    case kGroup3: imm = modrmReg > 1 ? 0 : opcode == 0xF6 ? 1 : (operand16 ? 2 : 4); break;
    case kMoffs:
        out->dispOffset = static_cast<uint8_t>(at);
        out->dispSize = address16 ? 2 : 4;
        at += out->dispSize;
        break;
    default: break;
    }
    if (imm) {
        out->immOffset = static_cast<uint8_t>(at);
        out->immSize = static_cast<uint8_t>(imm);
        at += imm;
    }
    if (at > available) {
        *out = X86Fields{};
        return 0;
    }
    out->relative = (flags & kRelative) ? 1 : 0;
    out->length = static_cast<uint8_t>(at);
    return at;
}

}  // namespace zt
