#include "exchange/list/bookmark_row.h"

#include <windows.h>

#include "core/bookmark_list.h"
#include "core/store.h"
#include "core/text.h"

namespace zt {

void FillRow(const BookmarkRecord& bookmark, BookmarkRow& row) {
    row.address = bookmark.address;
    row.inModule = false;
    row.module[0] = '\0';
    row.moduleBase = row.offset = 0;
    if (const HostModule* module = HostFindModule(bookmark.address)) {
        row.inModule = true;
        AnsiToUtf8(module->shortName, kHostModuleNameLength, row.module, sizeof row.module);
        row.moduleBase = module->base;
        row.offset = bookmark.address - module->base;
    }
    row.name[0] = '\0';
    if (!IsPlaceholderName(bookmark.name)) AnsiToUtf8(bookmark.name, sizeof bookmark.name, row.name, sizeof row.name);
    char comment[kCommentFieldSize] = {};
    row.comment[0] = '\0';
    if (HostFindName(bookmark.address, kHostNameComment, comment) != 0)
        AnsiToUtf8(comment, sizeof comment, row.comment, sizeof row.comment);
    row.active = bookmark.active != 0;

    char original[kDisassemblyFieldSize];
    CopyText(original, bookmark.originalDisassembly, sizeof bookmark.originalDisassembly);
    AnsiToUtf8(original, sizeof original, row.originalInstruction, sizeof row.originalInstruction);
    char now[kDisassemblyFieldSize];
    const bool readable = SnapshotDisassembly(bookmark.address, now);
    AnsiToUtf8(now, sizeof now, row.currentInstruction, sizeof row.currentInstruction);
    row.changed = readable && lstrcmpiA(now, original) != 0;
}

bool ForEachBookmarkRow(bool (*visit)(const BookmarkRow& row, void* context), void* context) {
    BookmarkRow row;
    for (uint32_t address : g_bookmarks) {
        const BookmarkRecord* bookmark = FindRecord(address);
        if (!bookmark) continue;
        FillRow(*bookmark, row);
        if (!visit(row, context)) return false;
    }
    return true;
}

}  // namespace zt
