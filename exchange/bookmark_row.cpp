#include "exchange/bookmark_row.h"

#include <windows.h>

#include "core/bookmark_list.h"
#include "core/store.h"
#include "core/text.h"
#include "exchange/exchange_record.h"
#include "exchange/text_encoding.h"
#include "host/host.h"

namespace zt {

BookmarkRow RowFor(const BookmarkRecord& bookmark) {
    BookmarkRow row;
    row.address = bookmark.address;
    if (const HostModule* module = HostFindModule(bookmark.address)) {
        row.inModule = true;
        row.module = AnsiToUtf8(module->shortName, kHostModuleNameLength);
        row.moduleBase = module->base;
        row.offset = bookmark.address - module->base;
    }
    if (!IsPlaceholderName(bookmark.name)) row.name = AnsiToUtf8(bookmark.name, sizeof bookmark.name);
    char comment[kCommentFieldSize] = {};
    if (HostFindName(bookmark.address, kHostNameComment, comment) != 0)
        row.comment = AnsiToUtf8(comment, sizeof comment);
    row.active = bookmark.active != 0;

    char original[kDisassemblyFieldSize];
    CopyText(original, bookmark.originalDisassembly, sizeof bookmark.originalDisassembly);
    row.originalInstruction = AnsiToUtf8(original, sizeof original);
    char now[kDisassemblyFieldSize];
    const bool readable = SnapshotDisassembly(bookmark.address, now);
    row.currentInstruction = AnsiToUtf8(now, sizeof now);
    row.changed = readable && lstrcmpiA(now, original) != 0;
    return row;
}

bool ForEachBookmarkRow(bool (*visit)(const BookmarkRow& row, void* context), void* context) {
    for (uint32_t address : g_bookmarks) {
        const BookmarkRecord* bookmark = FindRecord(address);
        if (bookmark && !visit(RowFor(*bookmark), context)) return false;
    }
    return true;
}

}  // namespace zt
