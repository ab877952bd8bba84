#include "core/navigation.h"

#include <windows.h>

#include "core/bookmark_list.h"
#include "core/bookmark_views.h"
#include "core/plugin_state.h"
#include "core/store.h"
#include "host/host.h"

namespace zt {

namespace {

bool IsActive(uint32_t address) {
    const BookmarkRecord* record = FindRecord(address);
    return record && record->active;
}

// The last listed address below start, or 0 when none is.
uint32_t NearestBelow(uint32_t start) {
    uint32_t nearest = 0;
    for (const BookmarkNode* node = g_bookmarks.head(); node && node->address < start; node = node->next)
        nearest = node->address;
    return nearest;
}

}  // namespace

bool IsReachable(uint32_t address) { return HostFindMemory(address) != nullptr; }

void GoToBookmark(uint32_t address) {
    if (!IsReachable(address)) {
        HostFlash("Zentrilo: Address %08X isn't reachable", address);
        MessageBeep(0);
        return;
    }
    HostSetCpu(0, address, 0, 0, kHostSetCpuMode);
    int position = ActivePosition(address);
    PublishStatus(position);
    if (g_table.window) {
        g_table.sorted.selectedRow = position - 1;
        RepaintBookmarkList();
    }
}

uint32_t FindNextActive(uint32_t start) {
    for (const BookmarkNode* node = g_bookmarks.head(); node; node = node->next) {
        if (node->address <= start || !IsReachable(node->address)) continue;
        if (IsActive(node->address)) return node->address;
    }
    return 0;
}

uint32_t FindPreviousActive(uint32_t start) {
    // Steps down over inactive bookmarks; an unreachable one ends the search.
    for (;;) {
        const BookmarkNode* head = g_bookmarks.head();
        if (!head || head->address >= start) return 0;
        uint32_t nearest = NearestBelow(start);
        if (!IsReachable(nearest)) return 0;
        if (IsActive(nearest)) return nearest;
        start = nearest;
    }
}

int ToggleFromCaller(uint32_t address) {
    if (address == 0) return 0;
    SetBookmark(address, true, true, true);
    return 1;
}

int NavigateBack(uint32_t start) {
    if (uint32_t target = FindPreviousActive(start)) {
        GoToBookmark(target);
        return kNavigationMoved;
    }
    uint32_t last = 0;
    bool found = false;
    for (const BookmarkNode* node = g_bookmarks.head(); node; node = node->next) {
        if (IsActive(node->address)) {
            last = node->address;
            found = true;
        }
    }
    if (!found || last == 0 || !IsReachable(last)) {
        MessageBeep(0);
        return kNavigationNone;
    }
    GoToBookmark(last);
    return kNavigationWrapped;
}

int NavigateForward(uint32_t start) {
    if (uint32_t target = FindNextActive(start)) {
        GoToBookmark(target);
        return kNavigationMoved;
    }
    const BookmarkNode* head = g_bookmarks.head();
    if (!head || !IsReachable(head->address)) {
        MessageBeep(0);
        return kNavigationNone;
    }
    const BookmarkRecord* first = FindRecord(head->address);
    if (!first) return kNavigationNone;
    uint32_t target = first->active ? head->address : FindNextActive(head->address);
    if (target == 0) return kNavigationNone;
    GoToBookmark(target);
    return kNavigationWrapped;
}

}  // namespace zt
