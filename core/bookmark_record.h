// One bookmark as the host's table holds it. The same bytes are the body of
// the project-file record and the head of the exchange-file record, so the
// layout is fixed to the byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

constexpr uint32_t kBookmarkTag = 0x4C4D440A;
constexpr int kModuleFieldSize = 9;
constexpr int kNameFieldSize = 64;
constexpr int kDisassemblyFieldSize = 256;
constexpr const char kUnnamed[] = "n/a";
constexpr const char kModuleChangedMarker[] = "Auto Warning: Module name Changed!";

#pragma pack(push, 1)
struct BookmarkRecord {
    uint32_t address;
    uint32_t size;
    uint32_t type;
    uint32_t tag;
    uint8_t active;
    char module[kModuleFieldSize];
    char name[kNameFieldSize];
    char originalDisassembly[kDisassemblyFieldSize];
};
#pragma pack(pop)

static_assert(sizeof(BookmarkRecord) == 346, "bookmark record is 346 bytes");
static_assert(offsetof(BookmarkRecord, size) == 4, "size at 4");
static_assert(offsetof(BookmarkRecord, type) == 8, "type at 8");
static_assert(offsetof(BookmarkRecord, tag) == 12, "tag at 12");
static_assert(offsetof(BookmarkRecord, active) == 16, "active at 16");
static_assert(offsetof(BookmarkRecord, module) == 17, "module at 17");
static_assert(offsetof(BookmarkRecord, name) == 26, "name at 26");
static_assert(offsetof(BookmarkRecord, originalDisassembly) == 90, "original disassembly at 90");

// A fresh record: active, unnamed, no module and no disassembly yet.
BookmarkRecord NewBookmarkRecord(uint32_t address);

}  // namespace zt
