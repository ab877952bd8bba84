#include "core/navigation.h"

#include <windows.h>

#include <optional>

#include "core/bookmark_list.h"
#include "core/bookmark_views.h"
#include "core/plugin_state.h"
#include "core/store.h"
#include "host/host.h"

namespace zt {

namespace {

bool IsActive(uint32_t address) { return g_bookmarks.isActive(address); }

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
    // Steps over inactive and unreachable bookmarks alike.
    for (std::optional<uint32_t> found = g_bookmarks.activeAbove(start); found;
         found = g_bookmarks.activeAbove(*found)) {
        if (IsReachable(*found)) return *found;
    }
    return 0;
}

uint32_t FindPreviousActive(uint32_t start) {
    // Steps down over inactive bookmarks; an unreachable one ends the search.
    // Every bookmark in a memory block is reachable, so it passes a block at a time.
    std::optional<uint32_t> nearest = g_bookmarks.below(start);
    while (nearest) {
        const HostMemoryBlock* block = HostFindMemory(*nearest);
        if (!block) return 0;
        std::optional<uint32_t> active = g_bookmarks.activeAtOrBelow(*nearest);
        if (active && *active >= block->base) return *active;
        nearest = g_bookmarks.below(block->base);
    }
    return 0;
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
    std::optional<uint32_t> last = g_bookmarks.lastActive();
    if (!last || *last == 0 || !IsReachable(*last)) {
        MessageBeep(0);
        return kNavigationNone;
    }
    GoToBookmark(*last);
    return kNavigationWrapped;
}

int NavigateForward(uint32_t start) {
    if (uint32_t target = FindNextActive(start)) {
        GoToBookmark(target);
        return kNavigationMoved;
    }
    std::optional<uint32_t> first = g_bookmarks.first();
    if (!first || !IsReachable(*first)) {
        MessageBeep(0);
        return kNavigationNone;
    }
    if (!FindRecord(*first)) return kNavigationNone;
    uint32_t target = IsActive(*first) ? *first : FindNextActive(*first);
    if (target == 0) return kNavigationNone;
    GoToBookmark(target);
    return kNavigationWrapped;
}

}  // namespace zt
