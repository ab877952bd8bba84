// The pieces of a PE image's headers that the code patterns need, read from a
// copy of the image as it lies in the debugged process's memory (laid out by
// relative virtual address). Every offset and count comes from a process that
// may be hostile: each is checked against the copy's size, and bytes that
// could not be read must be zero in the copy. Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

// A half-open range of relative virtual addresses [begin, end).
struct CodeRange {
    uint32_t begin;
    uint32_t end;
};

constexpr size_t kMaxCodeRanges = 16;  // code sections beyond these are not searched

struct PeFacts {
    uint32_t imageBase;       // as linked
    uint32_t sizeOfImage;
    uint32_t timeDateStamp;
    uint32_t checkSum;
    uint32_t relocationRva;   // the base relocation directory; 0 when there is none
    uint32_t relocationSize;
    size_t codeCount;
    CodeRange code[kMaxCodeRanges];  // sections marked code or executable, cut to the copy
};

// False when the copy holds no PE32 header that fits in it.
bool ReadPeFacts(const uint8_t* image, size_t size, PeFacts* out);

// The relative addresses of the 32-bit fields that the relocation directory
// fixes up (type HIGHLOW; others are skipped). With `out` null, returns how
// many the directory names, to size an array; otherwise stores at most
// `capacity` of them in `out`, ascending and without repeats, and returns how
// many it stored. A block that runs outside the directory ends the walk; an
// entry whose field lies outside the copy is skipped.
size_t ReadRelocations(const uint8_t* image, size_t size, const PeFacts& facts, uint32_t* out, size_t capacity);

}  // namespace zt
