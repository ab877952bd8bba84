// Twins by order: a bookmark whose pattern was found several times in the new
// build (its routine has twins: return-0 stubs, small wrappers) is placed
// when exactly one of those places lies between the new places of its
// nearest neighbours that were placed uniquely, taken in the old order. A
// linker keeps routines in the order of their sources, so what lay between
// two routines in the old build lies between them in the new one.
//
// The neighbours used are only those whose new places keep the old order (the
// longest run of them that does), a bookmark is placed only with a neighbour
// on both sides, and only when in the old build too its own place was the
// only one of its pattern between those neighbours. Pure code: no host calls.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace zt {

constexpr uint32_t kUnplaced = 0xFFFFFFFF;
constexpr size_t kMostTwins = 8;   // places of one pattern weighed at most; more: left unplaced

struct OrderedMark {
    uint32_t oldOffset;   // the bookmark's offset in its module in the old build
    uint32_t newOffset;   // in: its unique place in the new build, or kUnplaced; out: also a twin placed
    uint32_t twinCount;   // places its pattern was found at in the new build, when not placed uniquely
    uint32_t twins[kMostTwins];   // their offsets, the first min(twinCount, kMostTwins) of them
    uint32_t oldTwinCount;        // the places of its pattern in the old build (recorded at export), its own among them
    uint32_t oldTwins[kMostTwins];
    uint8_t byOrder;      // out: 1 when placed here
};

// order[0..count) gets the marks' indices in the order of their old offsets
// (ties by index). A heap sort: no memmove from the C runtime, as std::sort
// would bring.
template <typename Mark>
void SortByOldOffset(const Mark* marks, uint32_t* order, size_t count) {
    for (size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
    const auto older = [&](uint32_t a, uint32_t b) {
        return marks[a].oldOffset < marks[b].oldOffset || (marks[a].oldOffset == marks[b].oldOffset && a < b);
    };
    std::make_heap(order, order + count, older);
    std::sort_heap(order, order + count, older);
}

// Marks in `trusted` the longest run of placed marks (indices in old order
// in `order`; unplaced: newOffset kUnplaced) whose new places ascend:
// patience sorting with back links. tails and back: count each, scratch.
template <typename Mark>
void KeepOrderedAnchors(const Mark* marks, const uint32_t* order, size_t count, uint32_t* tails,
                        uint32_t* back, uint8_t* trusted) {
    size_t length = 0;
    for (size_t k = 0; k < count; ++k) {
        const uint32_t i = order[k];
        trusted[i] = 0;
        if (marks[i].newOffset == kUnplaced) continue;
        size_t low = 0, high = length;
        while (low < high) {
            const size_t middle = (low + high) / 2;
            if (marks[tails[middle]].newOffset < marks[i].newOffset)
                low = middle + 1;
            else
                high = middle;
        }
        back[i] = low ? tails[low - 1] : kUnplaced;
        tails[low] = i;
        if (low == length) ++length;
    }
    for (uint32_t i = length ? tails[length - 1] : kUnplaced; i != kUnplaced; i = back[i]) trusted[i] = 1;
}

// For each mark, from the last in the old order to the first, calls
// visit(i, left, right) with the nearest marks before and after it (indices,
// kUnplaced when none) of the longest run of placed marks whose new places
// keep the old order. A mark the visit places does not become a neighbour.
// False, with no visit, when there was no memory for it.
template <typename Mark, typename Visit>
bool VisitBetweenOrderedNeighbours(const Mark* marks, size_t count, Visit&& visit) {
    if (count == 0) return true;
    uint32_t* order = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint32_t* tails = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint32_t* back = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint8_t* trusted = static_cast<uint8_t*>(std::malloc(count));
    const bool ok = order && tails && back && trusted;
    if (ok) {
        SortByOldOffset(marks, order, count);
        KeepOrderedAnchors(marks, order, count, tails, back, trusted);
        uint32_t before = kUnplaced;   // tails now holds each mark's neighbour before it
        for (size_t k = 0; k < count; ++k) {
            tails[order[k]] = before;
            if (trusted[order[k]]) before = order[k];
        }
        uint32_t after = kUnplaced;
        for (size_t k = count; k-- > 0;) {
            const uint32_t i = order[k];
            if (trusted[i]) after = i;
            visit(i, tails[i], after);
        }
    }
    std::free(order);
    std::free(tails);
    std::free(back);
    std::free(trusted);
    return ok;
}

// Places what the order decides among marks of one module (any order);
// returns how many it placed. False-free: with no memory it places none.
size_t PlaceTwinsByOrder(OrderedMark* marks, size_t count);

}  // namespace zt
