#include "host/pe_header.h"

#include <cstring>

#include "host/debuggee.h"

namespace sim {

namespace {

constexpr uint32_t kPeOffset = 0x80, kOptional = kPeOffset + 24, kSections = kOptional + 0xE0, kExports = 0x200,
                   kExportName = 0x300, kRelocations = 0x400;

void Put16(std::vector<uint8_t>& bytes, uint32_t at, uint16_t value) { std::memcpy(&bytes[at], &value, 2); }
void Put32(std::vector<uint8_t>& bytes, uint32_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

}  // namespace

std::vector<uint8_t> PeHeaderBytes(const PeHeader& header, const PeCode& code) {
    std::vector<uint8_t> bytes(0x1000, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(bytes, 0x3C, kPeOffset);
    std::memcpy(&bytes[kPeOffset], "PE\0\0", 4);
    Put16(bytes, kPeOffset + 4, 0x14C);                        // i386
    Put16(bytes, kPeOffset + 6, 1);                            // sections
    Put32(bytes, kPeOffset + 8, header.timestamp);
    Put16(bytes, kPeOffset + 20, 0xE0);                        // optional header size
    Put16(bytes, kPeOffset + 22, header.dll ? 0x2102 : 0x0102);
    Put16(bytes, kOptional, 0x10B);                            // PE32
    Put32(bytes, kOptional + 28, header.imageBase);
    Put32(bytes, kOptional + 56, header.imageSize);
    Put32(bytes, kOptional + 60, 0x400);                       // headers
    Put32(bytes, kOptional + 64, header.checksum);
    Put32(bytes, kOptional + 92, 16);                          // data directories
    if (header.dll && !header.exportName.empty()) {
        Put32(bytes, kOptional + 96, kExports);
        Put32(bytes, kOptional + 100, 40);
        Put32(bytes, kExports + 12, kExportName);
        std::memcpy(&bytes[kExportName], header.exportName.c_str(), header.exportName.size() + 1);
    }
    if (code.size) {
        std::memcpy(&bytes[kSections], ".text", 5);
        Put32(bytes, kSections + 8, code.size);
        Put32(bytes, kSections + 12, 0x1000);
        Put32(bytes, kSections + 16, code.size);
        Put32(bytes, kSections + 20, 0x400);
        Put32(bytes, kSections + 36, 0x60000020);              // code, executable, readable
    }
    // One block per 4 KB page, as linkers write them.
    uint32_t at = kRelocations;
    for (size_t i = 0; i < code.relocations.size();) {
        const uint32_t page = code.relocations[i] & ~0xFFFu;
        const uint32_t block = at;
        at += 8;
        for (; i < code.relocations.size() && (code.relocations[i] & ~0xFFFu) == page; ++i, at += 2)
            Put16(bytes, at, uint16_t(0x3000 | (code.relocations[i] & 0xFFF)));
        Put32(bytes, block, page);
        Put32(bytes, block + 4, at - block);
    }
    if (at != kRelocations) {
        Put32(bytes, kOptional + 136, kRelocations);
        Put32(bytes, kOptional + 140, at - kRelocations);
    }
    return bytes;
}

void AddModuleImage(uint32_t base, uint32_t size, const std::string& shortName, const PeHeader& header,
                    const PeCode& code) {
    AddModule(base, size, shortName);
    PeHeader loaded = header;
    loaded.imageBase = base;
    AddBlock(base, PeHeaderBytes(loaded, code));
}

}  // namespace sim
