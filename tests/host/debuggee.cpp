#include "debuggee.h"

#include "violations.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace sim {
namespace {

struct Block {
    HostMemoryBlock record;
    std::vector<uint8_t> bytes;
    uint32_t readable;
};

// The host's module record followed by bytes that are not zero, so that a
// reader that runs past the 8-character short name picks up garbage.
struct ModuleSlot {
    HostModule record;
    char trailing[16];
};

// Records handed to the plug-in must stay where they are: keep them on the heap.
std::vector<std::unique_ptr<Block>> g_blocks;
std::vector<std::unique_ptr<ModuleSlot>> g_modules;
std::vector<MemoryRead> g_reads;
uint32_t g_watched = 0;
std::function<void()> g_whenRead;

bool Holds(uint32_t base, uint32_t size, uint32_t address) {
    return address >= base && uint64_t(address) < uint64_t(base) + size;
}

Block* BlockAt(uint32_t address) {
    for (auto& block : g_blocks) {
        if (Holds(block->record.base, block->record.size, address)) return block.get();
    }
    return nullptr;
}

}  // namespace

void AddBlock(uint32_t base, const std::vector<uint8_t>& bytes) {
    auto block = std::make_unique<Block>();
    block->record = {base, uint32_t(bytes.size())};
    block->bytes = bytes;
    block->readable = uint32_t(bytes.size());
    g_blocks.push_back(std::move(block));
}

void AddBlock(uint32_t base, uint32_t size, uint8_t fill) { AddBlock(base, std::vector<uint8_t>(size, fill)); }

void LimitReadable(uint32_t base, uint32_t readable) {
    for (auto& block : g_blocks) {
        if (block->record.base == base) block->readable = std::min(readable, block->record.size);
    }
}

void PatchMemory(uint32_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        Block* block = BlockAt(address + uint32_t(i));
        if (block == nullptr) {
            ReportViolation("test patched memory outside every block");
            return;
        }
        block->bytes[address + i - block->record.base] = bytes[i];
    }
}

void AddModule(uint32_t base, uint32_t size, const std::string& shortName) {
    auto slot = std::make_unique<ModuleSlot>();
    std::memset(slot.get(), 0, sizeof *slot);
    slot->record.base = base;
    slot->record.size = size;
    std::memcpy(slot->record.shortName, shortName.data(), std::min<size_t>(shortName.size(), kHostModuleNameLength));
    std::memset(slot->trailing, '#', sizeof slot->trailing - 1);
    g_modules.push_back(std::move(slot));
}

const std::vector<MemoryRead>& MemoryReads() { return g_reads; }

void ResetDebuggee() {
    g_blocks.clear();
    g_modules.clear();
    g_reads.clear();
    g_whenRead = nullptr;
}

void RemoveMemory(uint32_t base, uint32_t size) {
    g_blocks.erase(std::remove_if(g_blocks.begin(), g_blocks.end(),
                                  [&](const std::unique_ptr<Block>& b) { return Holds(base, size, b->record.base); }),
                   g_blocks.end());
    g_modules.erase(std::remove_if(g_modules.begin(), g_modules.end(),
                                   [&](const std::unique_ptr<ModuleSlot>& m) { return Holds(base, size, m->record.base); }),
                    g_modules.end());
}

void WhenReading(uint32_t address, std::function<void()> action) {
    g_watched = address;
    g_whenRead = std::move(action);
}

}  // namespace sim

using namespace sim;

extern "C" const HostMemoryBlock* __cdecl HostFindMemory(uint32_t address) {
    Block* block = BlockAt(address);
    return block ? &block->record : nullptr;
}

extern "C" const HostModule* __cdecl HostFindModule(uint32_t address) {
    for (auto& slot : g_modules) {
        if (Holds(slot->record.base, slot->record.size, address)) return &slot->record;
    }
    return nullptr;
}

extern "C" uint32_t __cdecl HostReadMemory(void* buffer, uint32_t address, uint32_t count, int mode) {
    uint32_t done = 0;
    Block* block = BlockAt(address);
    if (block != nullptr && buffer != nullptr) {
        uint32_t offset = address - block->record.base;
        uint32_t available = block->readable > offset ? block->readable - offset : 0;
        done = std::min(count, available);
        std::memcpy(buffer, block->bytes.data() + offset, done);
    }
    g_reads.push_back({address, count, mode, done});
    if (g_whenRead && address <= g_watched && g_watched - address < count) {
        const std::function<void()> action = std::move(g_whenRead);
        g_whenRead = nullptr;
        action();
    }
    return done;
}
