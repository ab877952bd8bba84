// One bookmark as the bookmark lists (JSON and CSV) show it: where it lies,
// by address and by module and offset, and its fields, as UTF-8 text.
#pragma once

#include <cstdint>
#include <string>

#include "core/bookmark_record.h"

namespace zt {

struct BookmarkRow {
    uint32_t address = 0;
    bool inModule = false;          // the three below only when true
    std::string module;             // short name of the module holding the address now
    uint32_t moduleBase = 0;
    uint32_t offset = 0;
    std::string name;               // empty for the placeholder names
    std::string comment;            // the debugger's comment at the address
    bool active = false;
    std::string originalInstruction;
    std::string currentInstruction; // "???" when the memory cannot be read
    bool changed = false;           // readable, and not the recorded instruction (letter case aside)
};

BookmarkRow RowFor(const BookmarkRecord& bookmark);

// Calls visit for every bookmark that has its record, lowest address first;
// stops and returns false as soon as visit does.
bool ForEachBookmarkRow(bool (*visit)(const BookmarkRow& row, void* context), void* context);

}  // namespace zt
