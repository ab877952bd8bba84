#include "core/project_file.h"

#include <cstring>

#include "core/bookmark_list.h"
#include "core/settings.h"
#include "core/store.h"
#include "core/text.h"
#include "host/host.h"

namespace zt {

namespace {

// Records that the debugger's older bookmark plug-in (bookmarks.dll) leaves.
constexpr uint32_t kOldBookmarkTag = 0x236D420A;
constexpr uint32_t kOldBookmarkSize = 8;  // the address is its second word

int LoadOldRecord(uint32_t size, const uint8_t* body) {
    if (!ReadSetting(key::kLoadOldBookmarks, 0) || size < kOldBookmarkSize) return 0;
    uint32_t address;
    std::memcpy(&address, body + 4, sizeof address);
    LoadBookmark(address);
    PublishStatusLater();
    return 0;  // the record stays the other plug-in's
}

int LoadOwnRecord(uint32_t size, const uint8_t* body) {
    if (size < sizeof(BookmarkRecord)) return 0;
    BookmarkRecord stored;
    std::memcpy(&stored, body, sizeof stored);
    LoadBookmark(stored.address);
    // The caption follows once the whole project is read.
    PublishStatusLater();
    BookmarkRecord* record = FindRecord(stored.address);
    if (!record) return 1;
    CopyText(record->name, stored.name, sizeof stored.name);
    CopyText(record->originalDisassembly, stored.originalDisassembly, sizeof stored.originalDisassembly);
    CopyText(record->module, stored.module, sizeof stored.module);
    SetBookmarkActive(*record, stored.active);
    return 1;
}

}  // namespace

void SaveToProject(int isMainModule) {
    if (!isMainModule) return;
    for (uint32_t address : g_bookmarks) {
        const BookmarkRecord* record = FindRecord(address);
        if (!record) continue;
        if (HostSaveUddRecord(kBookmarkTag, sizeof *record, record) == 0) {
            HostLog(0, kHostLogFailure, "Zentrilo: Can't save bookmark at address [%08X] to UDD file", address);
            return;
        }
    }
}

int LoadProjectRecord(int isMainModule, uint32_t tag, uint32_t size, const void* body) {
    if (!isMainModule || !body) return 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(body);
    if (tag == kOldBookmarkTag) return LoadOldRecord(size, bytes);
    if (tag == kBookmarkTag) return LoadOwnRecord(size, bytes);
    return 0;
}

}  // namespace zt
