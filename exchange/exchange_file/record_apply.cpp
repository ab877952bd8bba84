#include "exchange/exchange_file/record_apply.h"

#include "core/text.h"
#include "exchange/import/entry_apply.h"

namespace zt {

bool ApplyRecord(const ExchangeRecord& record, uint32_t address) {
    ImportEntry entry;
    ClearEntry(entry, EntryKind::kBookmark);
    const BookmarkRecord& stored = record.bookmark;
    entry.hasName = true;
    CopyText(entry.name, stored.name, sizeof stored.name - 1);   // cut at the field, as stored
    entry.hasOriginal = true;
    CopyText(entry.original, stored.originalDisassembly, sizeof stored.originalDisassembly - 1);
    entry.hasRecordedModule = true;
    CopyText(entry.recordedModule, stored.module, sizeof stored.module);
    entry.hasActive = true;
    entry.active = stored.active;
    entry.hasComment = true;
    CopyText(entry.comment, record.comment, sizeof record.comment - 1);
    return ApplyBookmarkEntry(entry, address) != nullptr;
}

}  // namespace zt
