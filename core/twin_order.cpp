#include "core/twin_order.h"

#include <algorithm>
#include <cstdlib>

namespace zt {
size_t PlaceTwinsByOrder(OrderedMark* marks, size_t count) {
    if (count == 0) return 0;
    uint32_t* order = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint32_t* tails = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint32_t* back = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint8_t* trusted = static_cast<uint8_t*>(std::malloc(count));
    size_t placed = 0;
    if (order && tails && back && trusted) {
        for (size_t i = 0; i < count; ++i) marks[i].byOrder = 0;
        SortByOldOffset(marks, order, count);
        KeepOrderedAnchors(marks, order, count, tails, back, trusted);
        // The nearest trusted anchor before each mark, then after it.
        uint32_t before = kUnplaced;
        for (size_t k = 0; k < count; ++k) {
            const uint32_t i = order[k];
            tails[i] = before;
            if (trusted[i]) before = i;
        }
        uint32_t after = kUnplaced;
        for (size_t k = count; k-- > 0;) {
            const uint32_t i = order[k];
            OrderedMark& m = marks[i];
            const uint32_t left = tails[i];
            if (trusted[i]) after = i;
            if (m.newOffset != kUnplaced || m.twinCount < 1 || m.twinCount > kMostTwins || left == kUnplaced ||
                after == kUnplaced || marks[left].oldOffset == m.oldOffset || marks[after].oldOffset == m.oldOffset)
                continue;
            if (m.oldTwinCount > kMostTwins) continue;
            uint32_t oldBetween = 0;
            for (uint32_t t = 0; t < m.oldTwinCount; ++t)
                oldBetween += m.oldTwins[t] > marks[left].oldOffset && m.oldTwins[t] < marks[after].oldOffset;
            if (oldBetween != 1) continue;
            const uint32_t low = marks[left].newOffset, high = marks[after].newOffset;
            uint32_t chosen = kUnplaced, between = 0;
            for (uint32_t t = 0; t < m.twinCount; ++t) {
                if (m.twins[t] > low && m.twins[t] < high) {
                    ++between;
                    chosen = m.twins[t];
                }
            }
            if (between != 1) continue;
            m.newOffset = chosen;
            m.byOrder = 1;
            ++placed;
        }
    }
    std::free(order);
    std::free(tails);
    std::free(back);
    std::free(trusted);
    return placed;
}

}  // namespace zt
