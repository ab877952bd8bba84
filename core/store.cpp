#include "core/store.h"

#include <cstdio>

#include "core/bookmark_list.h"
#include "core/bookmark_views.h"
#include "core/plugin_state.h"
#include "core/text.h"
#include "host/host.h"

namespace zt {

BookmarkRecord* FindRecord(uint32_t address) {
    return static_cast<BookmarkRecord*>(HostFindSorted(BookmarkSorted(), address));
}

int ActivePosition(uint32_t address) { return g_bookmarks.isActive(address) ? g_bookmarks.position(address) : -1; }

namespace {

bool g_statusDue = false;  // a publication PublishStatusLater promised

int AddBookmark(uint32_t address, bool flash) {
    BookmarkRecord record = NewBookmarkRecord(address);
    char text[kDisassemblyFieldSize];
    if (SnapshotDisassembly(address, text)) CopyText(record.originalDisassembly, text);
    if (const HostModule* module = HostFindModule(address))
        CopyText(record.module, module->shortName, kHostModuleNameLength);

    if (!HostAddSorted(BookmarkSorted(), &record)) {
        // The host kept no record, so the address must not stay listed either.
        g_bookmarks.remove(address);
        HostLog(address, kHostLogFailure, "Zentrilo: Unable to store bookmark at line %08X", address);
        return kBookmarkRemoved;
    }
    HostLog(address, kHostLogRoutine, "Zentrilo: Bookmark added Successfully to line %08X", address);
    if (flash) HostFlash("Zentrilo: Bookmark added Successfully to line %08X", address);
    return kBookmarkAdded;
}

int DeleteBookmark(uint32_t address, bool flash) {
    if (FindRecord(address)) HostDeleteSorted(BookmarkSorted(), address);
    HostLog(address, kHostLogRoutine, "Zentrilo: Bookmark deleted from line %08X", address);
    if (flash) HostFlash("Zentrilo: Bookmark deleted from line %08X", address);
    return kBookmarkRemoved;
}

// Changes the set and repaints the list: what SetBookmark and LoadBookmark share.
int ChangeBookmark(uint32_t address, bool toggle, bool flash) {
    int result = kBookmarkKept;
    if (!g_bookmarks.contains(address)) {
        // A node that cannot be allocated leaves the address unbookmarked.
        result = g_bookmarks.insert(address) ? AddBookmark(address, flash) : kBookmarkRemoved;
    } else if (toggle) {
        g_bookmarks.remove(address);
        result = DeleteBookmark(address, flash);
    }
    RepaintBookmarkList();
    return result;
}

}  // namespace

int SetBookmark(uint32_t address, bool toggle, bool flash, bool publish) {
    int result = ChangeBookmark(address, toggle, flash);
    PublishStatus(publish ? ActivePosition(address) : -1);
    EnableSwitchCommand(result != kBookmarkRemoved);
    return result;
}

int LoadBookmark(uint32_t address) {
    int result = ChangeBookmark(address, false, false);
    EnableSwitchCommand(result != kBookmarkRemoved);
    return result;
}

void UnloadBookmark(uint32_t address) {
    if (g_bookmarks.contains(address)) ChangeBookmark(address, true, false);
}

bool SetBookmarkActive(BookmarkRecord& record, uint8_t active) {
    if (!g_bookmarks.setActive(record.address, active != 0)) return false;
    record.active = active;
    return true;
}

BookmarkRecord* NameBookmark(uint32_t address, char* typed) {
    constexpr size_t kNameKeep = 60;  // and "...": 63 characters, the most the field holds
    BookmarkRecord* record = FindRecord(address);
    if (!record) return nullptr;
    CutWithEllipsis(typed, kNameKeep);
    CopyText(record->name, typed);
    return record;
}

void PublishStatus(int position) {
    g_statusDue = false;
    char caption[64];
    std::snprintf(caption, sizeof caption, "Bk. (%d/%02d/%d)", position, g_bookmarks.activeCount(),
                  g_bookmarks.count());
    ShowStatusCaption(caption);
}

void PublishStatusLater() {
    g_statusDue = true;
    AskForStatusCaption();
}

void PublishPendingStatus() {
    if (g_statusDue) PublishStatus(-1);
}

void ClearAllBookmarks() {
    g_statusDue = false;
    ClearBookmarkList();
    HostDeleteSortedRange(BookmarkSorted(), 0, 0xFFFFFFFF);
    RepaintBookmarkList();
    ShowStatusCaption("Zentrilo");
}

}  // namespace zt
