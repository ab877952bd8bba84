#include "core/pe_image.h"

#include <algorithm>
#include <cstring>

namespace zt {
namespace {

uint32_t Read32(const uint8_t* image, size_t at) {
    uint32_t value;
    std::memcpy(&value, image + at, 4);
    return value;
}

uint16_t Read16(const uint8_t* image, size_t at) {
    uint16_t value;
    std::memcpy(&value, image + at, 2);
    return value;
}

// True when [at, at + count) lies inside a copy of `size` bytes.
bool Fits(size_t size, uint64_t at, uint64_t count) { return at <= size && count <= size - at; }

constexpr uint32_t kScnCode = 0x00000020;
constexpr uint32_t kScnExecute = 0x20000000;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kRelocHighLow = 3;

}  // namespace

bool ReadPeFacts(const uint8_t* image, size_t size, PeFacts* out) {
    *out = PeFacts{};
    if (!Fits(size, 0, 0x40) || image[0] != 'M' || image[1] != 'Z') return false;
    const uint32_t nt = Read32(image, 0x3C);
    // Signature, file header (20 bytes), optional header up to the data directories (96 bytes).
    if (!Fits(size, nt, 4 + 20 + 96) || std::memcmp(image + nt, "PE\0\0", 4) != 0) return false;
    const size_t fileHeader = nt + 4;
    const uint16_t sectionCount = Read16(image, fileHeader + 2);
    const uint16_t optionalSize = Read16(image, fileHeader + 16);
    const size_t optional = fileHeader + 20;
    if (Read16(image, optional) != kPe32Magic || optionalSize < 96) return false;

    out->timeDateStamp = Read32(image, fileHeader + 4);
    out->imageBase = Read32(image, optional + 28);
    out->sizeOfImage = Read32(image, optional + 56);
    out->checkSum = Read32(image, optional + 64);
    const uint32_t directoryCount = Read32(image, optional + 92);
    // Directory 5, the base relocations, at 96 + 5 * 8 of the optional header.
    if (directoryCount > 5 && optionalSize >= 96 + 6 * 8 && Fits(size, optional + 136, 8)) {
        const uint32_t rva = Read32(image, optional + 136);
        const uint32_t bytes = Read32(image, optional + 140);
        if (rva != 0 && bytes != 0 && Fits(size, rva, bytes)) {
            out->relocationRva = rva;
            out->relocationSize = bytes;
        }
    }

    const uint64_t sections = static_cast<uint64_t>(optional) + optionalSize;
    for (uint32_t i = 0; i < sectionCount && out->codeCount < kMaxCodeRanges; ++i) {
        const uint64_t header = sections + 40ull * i;
        if (!Fits(size, header, 40)) break;
        const uint32_t virtualSize = Read32(image, static_cast<size_t>(header) + 8);
        const uint32_t rva = Read32(image, static_cast<size_t>(header) + 12);
        const uint32_t rawSize = Read32(image, static_cast<size_t>(header) + 16);
        const uint32_t flags = Read32(image, static_cast<size_t>(header) + 36);
        if (!(flags & (kScnCode | kScnExecute))) continue;
        const uint32_t length = virtualSize ? virtualSize : rawSize;
        if (rva >= size || length == 0) continue;
        const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(rva) + length, size);
        out->code[out->codeCount++] = CodeRange{rva, static_cast<uint32_t>(end)};
    }
    return true;
}

size_t ReadRelocations(const uint8_t* image, size_t size, const PeFacts& facts, uint32_t* out, size_t capacity) {
    if (facts.relocationRva == 0 || !Fits(size, facts.relocationRva, facts.relocationSize)) return 0;
    size_t count = 0;
    size_t written = 0;
    size_t at = facts.relocationRva;
    const size_t end = at + facts.relocationSize;
    while (end - at >= 8) {
        const uint32_t page = Read32(image, at);
        const uint32_t blockSize = Read32(image, at + 4);
        if (blockSize < 8 || blockSize > end - at) break;
        for (size_t entry = at + 8; entry + 2 <= at + blockSize; entry += 2) {
            const uint16_t value = Read16(image, entry);
            if ((value >> 12) != kRelocHighLow) continue;
            const uint64_t rva = static_cast<uint64_t>(page) + (value & 0xFFF);
            if (!Fits(size, rva, 4)) continue;
            ++count;
            if (out && written < capacity) out[written++] = static_cast<uint32_t>(rva);
        }
        at += blockSize;
    }
    if (!out) return count;
    // A heap sort: O(n log n) however a hostile directory orders its entries,
    // and no memmove (which std::sort would import from the C runtime).
    std::make_heap(out, out + written);
    std::sort_heap(out, out + written);
    return static_cast<size_t>(std::unique(out, out + written) - out);
}

}  // namespace zt
