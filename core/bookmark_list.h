// The ascending list of bookmarked addresses. It answers membership, counts
// and positions; the records with the bookmarks' attributes live in the
// host's table, in step with this list.
#pragma once

#include <cstdint>

namespace zt {

struct BookmarkNode {
    uint32_t address;
    BookmarkNode* next;
};

class BookmarkList {
public:
    BookmarkList() = default;
    BookmarkList(const BookmarkList&) = delete;
    BookmarkList& operator=(const BookmarkList&) = delete;
    ~BookmarkList();  // logs and frees whatever is still listed at unload

    const BookmarkNode* head() const { return head_; }
    bool empty() const { return head_ == nullptr; }

    bool contains(uint32_t address) const;
    int count() const;
    // True when a node was inserted; a listed address is left alone and a
    // failed allocation inserts nothing (and says so in the log).
    bool insert(uint32_t address);
    void remove(uint32_t address);
    // Empties the list, logging every address in ascending order.
    void clear();

private:
    BookmarkNode* head_ = nullptr;
};

extern BookmarkList g_bookmarks;

bool IsBookmarked(uint32_t address);
void ClearBookmarkList();

}  // namespace zt
