#include "core/bookmark_list.h"

#include <new>

#include "host/host.h"

namespace zt {

BookmarkList g_bookmarks;

BookmarkList::~BookmarkList() { clear(); }

int BookmarkList::position(uint32_t address) const {
    return contains(address) ? static_cast<int>(all_.order_of_key(address)) + 1 : 0;
}

bool BookmarkList::insert(uint32_t address) {
    if (contains(address)) return false;
    // The containers allocate a node each; nothing may be thrown to the host.
    try {
        all_.insert(address);
        active_.insert(address);
        return true;
    } catch (const std::bad_alloc&) {
        all_.erase(address);
        HostLog(address, kHostLogFailure, "Zentrilo: Not enough memory to bookmark line %08X", address);
        return false;
    }
}

void BookmarkList::remove(uint32_t address) {
    all_.erase(address);
    active_.erase(address);
}

bool BookmarkList::setActive(uint32_t address, bool active) {
    if (!active) {
        active_.erase(address);
        return true;
    }
    try {
        active_.insert(address);
        return true;
    } catch (const std::bad_alloc&) {
        HostLog(address, kHostLogFailure, "Zentrilo: Not enough memory to enable the bookmark at line %08X", address);
        return false;
    }
}

void BookmarkList::clear() {
    for (uint32_t address : all_)
        HostLog(address, kHostLogRoutine, "Zentrilo: Deleting bookmark from line %08X", address);
    all_.clear();
    active_.clear();
}

std::optional<uint32_t> BookmarkList::first() const {
    if (all_.empty()) return std::nullopt;
    return *all_.begin();
}

std::optional<uint32_t> BookmarkList::below(uint32_t start) const {
    auto at = all_.lower_bound(start);
    if (at == all_.begin()) return std::nullopt;
    return *--at;
}

std::optional<uint32_t> BookmarkList::activeAbove(uint32_t start) const {
    auto at = active_.upper_bound(start);
    if (at == active_.end()) return std::nullopt;
    return *at;
}

std::optional<uint32_t> BookmarkList::activeAtOrBelow(uint32_t start) const {
    auto at = active_.upper_bound(start);
    if (at == active_.begin()) return std::nullopt;
    return *--at;
}

std::optional<uint32_t> BookmarkList::lastActive() const {
    if (active_.empty()) return std::nullopt;
    return *active_.rbegin();
}

bool IsBookmarked(uint32_t address) { return g_bookmarks.contains(address); }

void ClearBookmarkList() { g_bookmarks.clear(); }

}  // namespace zt
