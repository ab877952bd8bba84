// The debugged program as the host sees it: memory blocks with their bytes,
// and modules with their short names.
//
//   sim::AddBlock(base, bytes)         a readable block holding these bytes (size = bytes.size())
//   sim::AddBlock(base, size, fill)    a readable block of size bytes, all `fill`
//   sim::LimitReadable(base, k)        HostReadMemory delivers only the block's first k bytes (0: unreadable)
//   sim::PatchMemory(address, bytes)   overwrite bytes inside a block
//   sim::AddModule(base, size, name)   a module; the name is stored in the 8-byte field the
//                                      host's way: cut to 8, zero-terminated only when shorter
//   sim::MemoryReads()                 every HostReadMemory call: address, count, mode, result
//   sim::WhenReading(address, action)  runs action once, at the first HostReadMemory that covers address
//   sim::RemoveMemory(base, size)      forgets the blocks and modules that begin in [base, base + size)
#pragma once

#include "host/host.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

struct MemoryRead {
    uint32_t address;
    uint32_t count;
    int mode;
    uint32_t result;
};

void AddBlock(uint32_t base, const std::vector<uint8_t>& bytes);
void AddBlock(uint32_t base, uint32_t size, uint8_t fill);
void LimitReadable(uint32_t base, uint32_t readable);
void PatchMemory(uint32_t address, const std::vector<uint8_t>& bytes);
void AddModule(uint32_t base, uint32_t size, const std::string& shortName);

const std::vector<MemoryRead>& MemoryReads();
void WhenReading(uint32_t address, std::function<void()> action);
void RemoveMemory(uint32_t base, uint32_t size);

void ResetDebuggee();

}  // namespace sim
