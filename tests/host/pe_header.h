// The first page of a module's image as the loader maps it: DOS header, PE
// header and, for a DLL, an export directory with its name. Built from the
// PE format's own offsets, not from the plug-in's declarations.
//
//   sim::PeHeaderBytes(header)          the page's 0x1000 bytes
//   sim::AddModuleImage(base, size, shortName, header)
//                                       a module whose first page holds that header
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
};

std::vector<uint8_t> PeHeaderBytes(const PeHeader& header);
void AddModuleImage(uint32_t base, uint32_t size, const std::string& shortName, const PeHeader& header);

}  // namespace sim
