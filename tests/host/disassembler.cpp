#include "disassembler.h"

#include "host/host.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace sim {
namespace {

struct Decode {
    uint32_t count;
    std::unique_ptr<uint8_t[]> bytes;
};

std::vector<DisasmCall> g_calls;
std::map<uint32_t, Decode> g_decodes;

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Decodes one instruction into text; returns its length, 0 when the bytes run out.
uint32_t Decode1(const uint8_t* b, uint32_t count, uint32_t address, char* text, size_t size) {
    auto need = [&](uint32_t n) { return count >= n; };
    if (!need(1)) return 0;
    switch (b[0]) {
        case 0x90: std::snprintf(text, size, "NOP"); return 1;
        case 0xC3: std::snprintf(text, size, "RETN"); return 1;
        case 0xCC: std::snprintf(text, size, "INT3"); return 1;
        case 0x55: std::snprintf(text, size, "PUSH EBP"); return 1;
        case 0x8B:
            if (!need(2)) return 0;
            if (b[1] != 0xEC) break;
            std::snprintf(text, size, "MOV EBP,ESP");
            return 2;
        case 0x33:
            if (!need(2)) return 0;
            if (b[1] != 0xC0) break;
            std::snprintf(text, size, "XOR EAX,EAX");
            return 2;
        case 0xE8:
            if (!need(5)) return 0;
            std::snprintf(text, size, "CALL %08X", unsigned(address + 5 + Le32(b + 1)));
            return 5;
        case 0xEB:
            if (!need(2)) return 0;
            std::snprintf(text, size, "JMP SHORT %08X", unsigned(address + 2 + uint32_t(int32_t(int8_t(b[1])))));
            return 2;
        case 0xB8:
            if (!need(5)) return 0;
            std::snprintf(text, size, "MOV EAX,%08X", unsigned(Le32(b + 1)));
            return 5;
        default: break;
    }
    std::snprintf(text, size, "DB %02X", unsigned(b[0]));
    return 1;
}

}  // namespace

const std::vector<DisasmCall>& DisasmCalls() { return g_calls; }

void SetDecode(uint32_t address, uint32_t count) {
    Decode decode{count, std::make_unique<uint8_t[]>(count + 1)};
    std::memset(decode.bytes.get(), 0x01, count + 1);
    g_decodes[address] = std::move(decode);
}

const uint8_t* DecodeFor(uint32_t address) {
    auto it = g_decodes.find(address);
    return it == g_decodes.end() ? nullptr : it->second.bytes.get();
}


void ResetDisassembler() {
    g_calls.clear();
    g_decodes.clear();
}

}  // namespace sim

using namespace sim;

extern "C" uint32_t __cdecl HostDisassemble(const uint8_t* bytes, uint32_t count, uint32_t address,
                                            const uint8_t* decode, HostDisasm* result, int mode, uint32_t thread) {
    DisasmCall call{address, count, {}, decode, mode, thread};
    if (bytes != nullptr) call.bytes.assign(bytes, bytes + count);
    g_calls.push_back(call);
    if (result == nullptr) return 0;
    std::memset(result, 0, sizeof *result);
    uint32_t length = bytes ? Decode1(bytes, count, address, result->text, sizeof result->text) : 0;
    if (length == 0) std::snprintf(result->text, sizeof result->text, "???");
    return length;
}

extern "C" const uint8_t* __cdecl HostFindDecode(uint32_t address, uint32_t* count) {
    auto it = g_decodes.find(address);
    if (it == g_decodes.end()) {
        if (count) *count = 0;
        return nullptr;
    }
    if (count) *count = it->second.count;
    return it->second.bytes.get();
}
