// The bookmarked addresses in ascending order, and which of them are active.
// It answers membership, counts, positions and navigation's searches in
// O(log n); the records with the bookmarks' attributes live in the host's
// table, in step with it. Every address is inserted active; the store's
// SetBookmarkActive is the one way its flag changes afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

namespace zt {

class BookmarkList {
    // A red-black tree that also knows each address's rank.
    using Addresses = __gnu_pbds::tree<uint32_t, __gnu_pbds::null_type, std::less<uint32_t>, __gnu_pbds::rb_tree_tag,
                                       __gnu_pbds::tree_order_statistics_node_update>;

public:
    BookmarkList() = default;
    BookmarkList(const BookmarkList&) = delete;
    BookmarkList& operator=(const BookmarkList&) = delete;
    ~BookmarkList();  // logs and frees whatever is still listed at unload

    // Ascending.
    Addresses::const_iterator begin() const { return all_.begin(); }
    Addresses::const_iterator end() const { return all_.end(); }

    bool contains(uint32_t address) const { return all_.find(address) != all_.end(); }
    int count() const { return static_cast<int>(all_.size()); }
    int activeCount() const { return static_cast<int>(active_.size()); }
    bool isActive(uint32_t address) const { return active_.count(address) != 0; }
    // 1-based position among all listed addresses; 0 when not listed.
    int position(uint32_t address) const;

    // True when the address was inserted, active; a listed address is left
    // alone and a failed allocation inserts nothing (and says so in the log).
    bool insert(uint32_t address);
    void remove(uint32_t address);
    // False, with a line in the log, when there is no memory to activate it.
    bool setActive(uint32_t address, bool active);
    // Empties the list, logging every address in ascending order.
    void clear();

    std::optional<uint32_t> first() const;
    std::optional<uint32_t> below(uint32_t start) const;            // the highest listed below start
    std::optional<uint32_t> activeAbove(uint32_t start) const;      // the lowest active above start
    std::optional<uint32_t> activeAtOrBelow(uint32_t start) const;  // the highest active up to start
    std::optional<uint32_t> lastActive() const;

private:
    Addresses all_;
    std::set<uint32_t> active_;
};

extern BookmarkList g_bookmarks;

bool IsBookmarked(uint32_t address);
void ClearBookmarkList();

}  // namespace zt
