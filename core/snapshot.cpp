#include <cstring>

#include "core/store.h"
#include "core/text.h"
#include "host/host.h"

namespace zt {

namespace {
constexpr uint32_t kLongestInstruction = 16;
}

bool SnapshotDisassembly(uint32_t address, char (&text)[kDisassemblyFieldSize]) {
    const HostMemoryBlock* block = HostFindMemory(address);
    if (!block) {
        std::strcpy(text, "???");
        return false;
    }
    uint32_t count = block->base + block->size - address;
    if (count > kLongestInstruction) count = kLongestInstruction;

    uint8_t bytes[kLongestInstruction] = {};
    if (HostReadMemory(bytes, address, count, kHostReadMemoryMode) != count) {
        std::strcpy(text, "???");
        return false;
    }
    uint32_t covered = 0;
    const uint8_t* decode = HostFindDecode(address, &covered);
    if (covered < count) decode = nullptr;

    HostDisasm result;
    std::memset(&result, 0, sizeof result);
    HostDisassemble(bytes, count, address, decode, &result, kHostDisasmMode, 0);
    CopyText(text, result.text, sizeof result.text);
    return true;
}

}  // namespace zt
