// The first page of a module's image as the loader maps it: DOS header, PE
// header and, for a DLL, an export directory with its name. Built from the
// PE format's own offsets, not from the plug-in's declarations; with a code
// section and a relocation directory when asked.
//
//   sim::PeHeaderBytes(header[, code])  the page's 0x1000 bytes
//   sim::AddModuleImage(base, size, shortName, header[, code])
//                                       a module whose first page holds that header, with
//                                       `base` as its ImageBase: Windows writes the base it
//                                       loaded a module at into the header in memory, so the
//                                       preferred base is only in the file (PeHeaderBytes)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct PeHeader {
    uint32_t timestamp;
    uint32_t imageSize;
    uint32_t checksum;
    bool dll;
    std::string exportName;   // for a DLL; empty: no export directory
    uint32_t imageBase = 0;   // the preferred base, as linked
};

struct PeCode {
    uint32_t size;                       // a code section at 0x1000 of this size; 0: none
    std::vector<uint32_t> relocations;   // relative addresses of 32-bit fields fixed up at load
};

std::vector<uint8_t> PeHeaderBytes(const PeHeader& header, const PeCode& code = PeCode{});
void AddModuleImage(uint32_t base, uint32_t size, const std::string& shortName, const PeHeader& header,
                    const PeCode& code = PeCode{});

}  // namespace sim
