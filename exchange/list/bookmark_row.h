// One bookmark as the bookmark lists (JSON and CSV) show it: where it lies,
// by address and by module and offset, and its fields, as UTF-8 text.
#pragma once

#include <cstdint>

#include "core/bookmark_record.h"
#include "exchange/exchange_file/exchange_record.h"
#include "exchange/common/text_encoding.h"
#include "host/host.h"

namespace zt {

struct BookmarkRow {
    uint32_t address;
    bool inModule;                   // the three below only when true
    char module[Utf8SizeFor(kHostModuleNameLength)];   // short name of the module holding the address now
    uint32_t moduleBase;
    uint32_t offset;
    char name[Utf8SizeFor(kNameFieldSize)];            // empty for the placeholder names
    char comment[Utf8SizeFor(kCommentFieldSize)];      // the debugger's comment at the address
    bool active;
    char originalInstruction[Utf8SizeFor(kDisassemblyFieldSize)];
    char currentInstruction[Utf8SizeFor(kDisassemblyFieldSize)];   // "???" when the memory cannot be read
    bool changed;   // readable, and not the recorded instruction (letter case aside)
};

void FillRow(const BookmarkRecord& bookmark, BookmarkRow& row);

// Calls visit for every bookmark that has its record, lowest address first;
// stops and returns false as soon as visit does.
bool ForEachBookmarkRow(bool (*visit)(const BookmarkRow& row, void* context), void* context);

}  // namespace zt
