#include "exchange/exchange_file/record_apply.h"

#include <windows.h>

#include "core/settings.h"
#include "core/store.h"
#include "core/text.h"
#include "core/undo_journal.h"
#include "host/host.h"

namespace zt {

namespace {

// The bookmark's module no longer matches the module at its address: it is
// disabled and its name warns about it.
void MarkIfModuleChanged(uint32_t address, BookmarkRecord& bookmark) {
    const HostModule* module = HostFindModule(address);
    if (!module) return;
    char now[kModuleFieldSize];
    CopyText(now, module->shortName, kHostModuleNameLength);
    if (lstrcmpiA(now, bookmark.module) == 0) return;
    SetBookmarkActive(bookmark, 0);
    CopyText(bookmark.name, kModuleChangedMarker);
}

}  // namespace

bool ApplyRecord(const ExchangeRecord& record, uint32_t address) {
    RememberAddress(address);
    LoadBookmark(address);
    BookmarkRecord* bookmark = FindRecord(address);
    if (!bookmark) return false;
    const BookmarkRecord& stored = record.bookmark;
    CopyText(bookmark->name, stored.name, sizeof stored.name);
    CopyText(bookmark->originalDisassembly, stored.originalDisassembly, sizeof stored.originalDisassembly);
    CopyText(bookmark->module, stored.module, sizeof stored.module);
    SetBookmarkActive(*bookmark, stored.active);

    char comment[kCommentFieldSize];
    CopyText(comment, record.comment, sizeof record.comment);
    HostInsertName(address, kHostNameComment, comment);
    if (IsLabelMappingOn() && !IsPlaceholderName(bookmark->name))
        HostInsertName(address, kHostNameLabel, bookmark->name);
    MarkIfModuleChanged(address, *bookmark);
    return true;
}

}  // namespace zt
