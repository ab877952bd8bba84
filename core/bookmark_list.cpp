#include "core/bookmark_list.h"

#include <new>

#include "host/host.h"

namespace zt {

BookmarkList g_bookmarks;

BookmarkList::~BookmarkList() { clear(); }

bool BookmarkList::contains(uint32_t address) const {
    for (const BookmarkNode* node = head_; node; node = node->next)
        if (node->address == address) return true;
    return false;
}

int BookmarkList::count() const {
    int n = 0;
    for (const BookmarkNode* node = head_; node; node = node->next) ++n;
    return n;
}

bool BookmarkList::insert(uint32_t address) {
    if (contains(address)) return false;
    BookmarkNode* fresh = new (std::nothrow) BookmarkNode{address, nullptr};
    if (!fresh) {
        HostLog(address, kHostLogFailure, "Zentrilo: Not enough memory to bookmark line %08X", address);
        return false;
    }
    BookmarkNode** link = &head_;
    while (*link && (*link)->address <= address) link = &(*link)->next;
    fresh->next = *link;
    *link = fresh;
    return true;
}

void BookmarkList::remove(uint32_t address) {
    for (BookmarkNode** link = &head_; *link; link = &(*link)->next) {
        if ((*link)->address == address) {
            BookmarkNode* gone = *link;
            *link = gone->next;
            delete gone;
            return;
        }
    }
}

void BookmarkList::clear() {
    while (head_) {
        BookmarkNode* gone = head_;
        HostLog(gone->address, kHostLogRoutine, "Zentrilo: Deleting bookmark from line %08X", gone->address);
        head_ = gone->next;
        delete gone;
    }
}

bool IsBookmarked(uint32_t address) { return g_bookmarks.contains(address); }

void ClearBookmarkList() { g_bookmarks.clear(); }

}  // namespace zt
