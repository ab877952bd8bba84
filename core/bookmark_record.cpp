#include "core/bookmark_record.h"

#include <cstring>

namespace zt {

BookmarkRecord NewBookmarkRecord(uint32_t address) {
    BookmarkRecord record;
    std::memset(&record, 0, sizeof record);
    record.address = address;
    record.size = 1;
    record.type = 0;
    record.tag = kBookmarkTag;
    record.active = 1;
    std::strcpy(record.name, kUnnamed);
    return record;
}

}  // namespace zt
