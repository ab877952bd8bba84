// A small x86 disassembler in the host's style (upper case, hexadecimal
// without suffix, 8 digits for addresses and 32-bit constants):
//
//   90 NOP          C3 RETN             CC INT3           55 PUSH EBP
//   8B EC MOV EBP,ESP                   33 C0 XOR EAX,EAX
//   E8 rel32 CALL 00401234              EB rel8 JMP SHORT 00401010
//   B8 imm32 MOV EAX,12345678           anything else: DB 0F (one byte)
//
// When fewer bytes are given than the instruction needs (count 0 included)
// the text is "???" and the length 0.
//
//   sim::DisasmCalls()                    every HostDisassemble call
//   sim::SetDecode(address, count)        HostFindDecode(address) answers with decode bytes
//                                         covering `count` bytes (default: none, returns 0)
//   sim::DecodeFor(address)               the pointer HostFindDecode hands out for it (or null)
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct DisasmCall {
    uint32_t address;
    uint32_t count;
    std::vector<uint8_t> bytes;   // the `count` bytes given
    const uint8_t* decode;
    int mode;
    uint32_t thread;
};

const std::vector<DisasmCall>& DisasmCalls();
void SetDecode(uint32_t address, uint32_t count);
const uint8_t* DecodeFor(uint32_t address);

void ResetDisassembler();

}  // namespace sim
