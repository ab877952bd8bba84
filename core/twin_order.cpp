#include "core/twin_order.h"

namespace zt {
size_t PlaceTwinsByOrder(OrderedMark* marks, size_t count) {
    for (size_t i = 0; i < count; ++i) marks[i].byOrder = 0;
    size_t placed = 0;
    VisitBetweenOrderedNeighbours(marks, count, [&](uint32_t i, uint32_t left, uint32_t after) {
        OrderedMark& m = marks[i];
        if (m.newOffset != kUnplaced || m.twinCount < 1 || m.twinCount > kMostTwins || left == kUnplaced ||
            after == kUnplaced || marks[left].oldOffset == m.oldOffset || marks[after].oldOffset == m.oldOffset)
            return;
        if (m.oldTwinCount > kMostTwins) return;
        uint32_t oldBetween = 0;
        for (uint32_t t = 0; t < m.oldTwinCount; ++t)
            oldBetween += m.oldTwins[t] > marks[left].oldOffset && m.oldTwins[t] < marks[after].oldOffset;
        if (oldBetween != 1) return;
        const uint32_t low = marks[left].newOffset, high = marks[after].newOffset;
        uint32_t chosen = kUnplaced, between = 0;
        for (uint32_t t = 0; t < m.twinCount; ++t) {
            if (m.twins[t] > low && m.twins[t] < high) {
                ++between;
                chosen = m.twins[t];
            }
        }
        if (between != 1) return;
        m.newOffset = chosen;
        m.byOrder = 1;
        ++placed;
    });
    return placed;
}

}  // namespace zt
