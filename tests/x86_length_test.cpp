// The instruction length decoder on the instruction forms compilers emit:
// each row is the bytes, then length, displacement and immediate fields, and
// whether the instruction is a relative branch. bench/rebuilds/
// check_x86_length.py compares it with capstone over whole real DLLs.
#include <gtest/gtest.h>

#include <vector>

#include "core/x86_length.h"

namespace {

struct Row {
    std::vector<uint8_t> bytes;
    uint8_t length, dispOffset, dispSize, immOffset, immSize, relative;
};

const Row kRows[] = {
    {{0x55}, 1, 0, 0, 0, 0, 0},                                            // push ebp
    {{0x83, 0xEC, 0x1C}, 3, 0, 0, 2, 1, 0},                                // sub esp, 1Ch
    {{0x8B, 0x44, 0x24, 0x14}, 4, 3, 1, 0, 0, 0},                          // mov eax, [esp+14h]
    {{0x8B, 0x04, 0x9D, 0x00, 0x18, 0x00, 0x10}, 7, 3, 4, 0, 0, 0},        // mov eax, [ebx*4+table]
    {{0x8D, 0xB4, 0x26, 0x00, 0x00, 0x00, 0x00}, 7, 3, 4, 0, 0, 0},        // lea esi, [esi+0]
    {{0xA1, 0x00, 0x18, 0x00, 0x10}, 5, 1, 4, 0, 0, 0},                    // mov eax, [abs]
    {{0xC7, 0x05, 1, 2, 3, 4, 5, 6, 7, 8}, 10, 2, 4, 6, 4, 0},             // mov dword [abs], imm32
    {{0x66, 0xC7, 0x40, 0x10, 0x01, 0x00}, 6, 3, 1, 4, 2, 0},              // mov word [eax+10h], 1
    {{0xF6, 0x40, 0x1C, 0x20}, 4, 2, 1, 3, 1, 0},                          // test byte [eax+1Ch], 20h
    {{0xF7, 0xD8}, 2, 0, 0, 0, 0, 0},                                      // neg eax
    {{0xE8, 1, 2, 3, 4}, 5, 0, 0, 1, 4, 1},                                // call rel32
    {{0x0F, 0x84, 1, 2, 3, 4}, 6, 0, 0, 2, 4, 1},                          // je rel32
    {{0xEB, 0x05}, 2, 0, 0, 1, 1, 1},                                      // jmp short
    {{0xE2, 0xFE}, 2, 0, 0, 1, 1, 1},                                      // loop
    {{0xFF, 0x25, 1, 2, 3, 4}, 6, 2, 4, 0, 0, 0},                          // jmp [iat]: not relative
    {{0xC2, 0x0C, 0x00}, 3, 0, 0, 1, 2, 0},                                // ret 0Ch
    {{0xC8, 0x10, 0x00, 0x01}, 4, 0, 0, 1, 3, 0},                          // enter
    {{0xF2, 0x0F, 0x10, 0x44, 0x24, 0x08}, 6, 5, 1, 0, 0, 0},              // movsd xmm0, [esp+8]
    {{0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x08}, 6, 0, 0, 5, 1, 0},              // palignr xmm0, xmm1, 8
    {{0x0F, 0xB6, 0x48, 0x02}, 4, 3, 1, 0, 0, 0},                          // movzx ecx, byte [eax+2]
    {{0xC5, 0xF8, 0x77}, 3, 0, 0, 0, 0, 0},                                // vzeroupper (VEX)
    {{0xC4, 0x06}, 2, 0, 0, 0, 0, 0},                                      // les eax, [esi]
    {{0x67, 0x8B, 0x46, 0x02}, 4, 3, 1, 0, 0, 0},                          // 16-bit addressing
    {{0xE8, 1, 2, 3}, 0, 0, 0, 0, 0, 0},                                   // cut short
    {{0x0F, 0x0A}, 0, 0, 0, 0, 0, 0},                                      // no such instruction
    {{0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x90}, 0, 0, 0, 0, 0, 0},
};

TEST(X86Length, CompilerForms) {
    for (const Row& row : kRows) {
        zt::X86Fields f;
        const size_t length = zt::DecodeX86(row.bytes.data(), row.bytes.size(), &f);
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        EXPECT_EQ(row.length, length);
        EXPECT_EQ(row.length, f.length);
        EXPECT_EQ(row.dispOffset, f.dispOffset);
        EXPECT_EQ(row.dispSize, f.dispSize);
        EXPECT_EQ(row.immOffset, f.immOffset);
        EXPECT_EQ(row.immSize, f.immSize);
        EXPECT_EQ(row.relative, f.relative);
    }
}

}  // namespace
