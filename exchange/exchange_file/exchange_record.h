// One bookmark in an exchange file: the bookmark's record with its address
// made relative to the memory block the CPU pane shows, followed by the
// debugger's comment at the address. Files are plain sequences of these
// records, so the layout is fixed to the byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bookmark_record.h"

namespace zt {

constexpr int kCommentFieldSize = 256;

#pragma pack(push, 1)
struct ExchangeRecord {
    BookmarkRecord bookmark;   // bookmark.address: address - base of the shown block, modulo 2^32
    char comment[kCommentFieldSize];
};
#pragma pack(pop)

static_assert(sizeof(ExchangeRecord) == 602, "exchange record is 602 bytes");
static_assert(offsetof(ExchangeRecord, bookmark.address) == 0, "relative address at 0");
static_assert(offsetof(ExchangeRecord, bookmark.size) == 4, "size at 4");
static_assert(offsetof(ExchangeRecord, bookmark.type) == 8, "type at 8");
static_assert(offsetof(ExchangeRecord, bookmark.tag) == 12, "tag at 12");
static_assert(offsetof(ExchangeRecord, bookmark.active) == 16, "active at 16");
static_assert(offsetof(ExchangeRecord, bookmark.module) == 17, "module at 17");
static_assert(offsetof(ExchangeRecord, bookmark.name) == 26, "name at 26");
static_assert(offsetof(ExchangeRecord, bookmark.originalDisassembly) == 90, "original disassembly at 90");
static_assert(offsetof(ExchangeRecord, comment) == 346, "comment at 346");

// A fresh record, every byte zero but those of a new bookmark record.
ExchangeRecord NewExchangeRecord();

// "n/a" and the module-changed marker stand for "no name": they are neither
// exported as names nor made into labels.
bool IsPlaceholderName(const char (&name)[kNameFieldSize]);

}  // namespace zt
