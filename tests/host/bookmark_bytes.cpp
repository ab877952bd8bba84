#include "bookmark_bytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim {
namespace {

constexpr size_t kModuleAt = 17, kModuleSize = 9;
constexpr size_t kNameAt = 26, kNameSize = 64;
constexpr size_t kOriginalAt = 90, kOriginalSize = 256;

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

void PutText(std::vector<uint8_t>& bytes, size_t at, size_t size, const std::string& text) {
    std::memcpy(&bytes[at], text.data(), std::min(text.size(), size - 1));
}

uint32_t Get32(const uint8_t* bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes + at, 4);
    return value;
}

std::string GetText(const uint8_t* bytes, size_t at, size_t size) {
    const char* text = reinterpret_cast<const char*>(bytes + at);
    return std::string(text, strnlen(text, size));
}

}  // namespace

std::vector<uint8_t> BookmarkBytes(uint32_t address, uint8_t active, const std::string& module,
                                   const std::string& name, const std::string& original) {
    std::vector<uint8_t> bytes(kBookmarkSize, 0);
    Put32(bytes, 0, address);
    Put32(bytes, 4, 1);
    Put32(bytes, 8, 0);
    Put32(bytes, 12, kBookmarkTag);
    bytes[16] = active;
    PutText(bytes, kModuleAt, kModuleSize, module);
    PutText(bytes, kNameAt, kNameSize, name);
    PutText(bytes, kOriginalAt, kOriginalSize, original);
    return bytes;
}

BookmarkFields ReadBookmark(const uint8_t* bytes) {
    return {Get32(bytes, 0),
            Get32(bytes, 4),
            Get32(bytes, 8),
            Get32(bytes, 12),
            bytes[16],
            GetText(bytes, kModuleAt, kModuleSize),
            GetText(bytes, kNameAt, kNameSize),
            GetText(bytes, kOriginalAt, kOriginalSize)};
}

BookmarkFields Fields(uint32_t address, uint8_t active, const std::string& module, const std::string& name,
                      const std::string& original) {
    return {address, 1, 0, kBookmarkTag, active, module, name, original};
}

bool operator==(const BookmarkFields& a, const BookmarkFields& b) {
    return a.address == b.address && a.size == b.size && a.type == b.type && a.tag == b.tag &&
           a.active == b.active && a.module == b.module && a.name == b.name && a.original == b.original;
}

void PrintTo(const BookmarkFields& f, std::ostream* out) {
    char head[96];
    std::snprintf(head, sizeof head, "%08X size %u type %u tag %08X active %u", unsigned(f.address),
                  unsigned(f.size), unsigned(f.type), unsigned(f.tag), unsigned(f.active));
    *out << head << " module [" << f.module << "] name [" << f.name << "] original [" << f.original << "]";
}

}  // namespace sim
