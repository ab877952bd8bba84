#include "exchange/common/module_copy.h"

#include <cstdlib>
#include <cstring>

#include "host/host.h"

namespace zt {

namespace {

constexpr uint32_t kPage = 0x1000;

}  // namespace

void ModuleCopy::Release() {
    std::free(bytes_);
    std::free(readable_);
    std::free(relocations_);
    bytes_ = readable_ = nullptr;
    relocations_ = nullptr;
    view_ = {};
}

bool ModuleCopy::Read(uint32_t base, uint32_t size, WorkBudget* budget) {
    Release();
    if (size == 0 || size > kLargestCopiedModule || uint64_t(base) + size > 0x100000000ull) return false;
    if (budget && size / 16 > budget->left) {
        budget->left = 0;
        return false;
    }
    if (budget) budget->left -= size / 16;
    bytes_ = static_cast<uint8_t*>(std::calloc(size, 1));
    readable_ = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!bytes_ || !readable_) {
        Release();
        return false;
    }
    // A page may be readable only in part (or not at all): what could not be
    // read stays zero and is flagged so.
    for (uint32_t at = 0; at < size; at += kPage) {
        const uint32_t want = size - at < kPage ? size - at : kPage;
        uint32_t got = HostReadMemory(bytes_ + at, base + at, want, kHostReadMemoryMode);
        if (got > want) got = want;
        std::memset(bytes_ + at + got, 0, want - got);
        std::memset(readable_ + at, 1, got);
    }
    if (!ReadPeFacts(bytes_, size, &facts_)) {
        Release();
        return false;
    }
    const size_t count = ReadRelocations(bytes_, size, facts_, nullptr, 0);
    if (budget && uint64_t(count) * 32 > budget->left) {
        budget->left = 0;
        Release();
        return false;
    }
    if (budget) budget->left -= uint64_t(count) * 32;
    if (count) {
        relocations_ = static_cast<uint32_t*>(std::malloc(count * sizeof *relocations_));
        if (!relocations_) {
            Release();
            return false;
        }
    }
    view_.base = base;
    view_.size = size;
    view_.bytes = bytes_;
    view_.readable = readable_;
    view_.relocations = relocations_;
    view_.relocationCount = count ? ReadRelocations(bytes_, size, facts_, relocations_, count) : 0;
    view_.code = facts_.code;
    view_.codeCount = facts_.codeCount;
    return true;
}

}  // namespace zt
