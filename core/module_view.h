// A module of the debugged process as the code patterns see it: a copy of
// its image, which of its bytes could be read, where its relocations lie and
// which ranges hold code. The caller owns every array. Pure code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/pe_image.h"

namespace zt {

struct ModuleView {
    uint32_t base;               // where the module is loaded
    uint32_t size;               // bytes of the copy, from base on
    const uint8_t* bytes;        // the copy; bytes that could not be read are 0
    const uint8_t* readable;     // one flag a byte, nonzero = read; null: all were read
    const uint32_t* relocations; // relative addresses of fixed-up 32-bit fields, ascending
    size_t relocationCount;
    const CodeRange* code;       // relative ranges that hold code, inside [0, size)
    size_t codeCount;
};

}  // namespace zt
