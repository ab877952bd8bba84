// The bookmark store: every change of the set of bookmarks goes through
// SetBookmark or LoadBookmark (or ClearBookmarkList), which keep the list and
// the host's table in step and tell the user; every change of a bookmark's
// active flag goes through SetBookmarkActive.
#pragma once

#include <cstdint>

#include "core/bookmark_record.h"

namespace zt {

enum SetBookmarkResult { kBookmarkRemoved = 0, kBookmarkAdded = 1, kBookmarkKept = -1 };

// The record of a bookmark in the host's table (writable), or null.
BookmarkRecord* FindRecord(uint32_t address);

// 1-based position of an active bookmark in the list; -1 for an inactive or
// unlisted address.
int ActivePosition(uint32_t address);

// The instruction at an address as text; "???" and false when unreadable.
bool SnapshotDisassembly(uint32_t address, char (&text)[kDisassemblyFieldSize]);

int SetBookmark(uint32_t address, bool toggle, bool flash, bool publish);

// SetBookmark(address, false, false, ...) without publishing the caption: a
// project load or an import adds many and publishes once at the end.
int LoadBookmark(uint32_t address);

// Its counterpart: removes the bookmark at address, when there is one,
// logging it, without flashing or publishing.
void UnloadBookmark(uint32_t address);

// Sets a bookmark's active flag in its record and in the list, which counts
// the active ones. False, with the flag unchanged, when memory runs out.
bool SetBookmarkActive(BookmarkRecord& record, uint8_t active);

// Stores a name the user typed as the bookmark's name, a longer one cut to
// 60 characters and "...". The record, or null when the bookmark is gone.
BookmarkRecord* NameBookmark(uint32_t address, char* typed);

// Shows "Bk. (position/active/total)" as the navigation panel's caption.
void PublishStatus(int position);

// PublishStatus(-1) once the debugger's message loop runs again, or before
// anyone reads the caption: for a project load, whose end the debugger does
// not announce. PublishPendingStatus publishes it if it is still due.
void PublishStatusLater();
void PublishPendingStatus();

// Empties list and table after a reset or a clear, and says so on the panel.
void ClearAllBookmarks();

}  // namespace zt
