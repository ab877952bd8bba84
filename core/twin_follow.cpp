#include "core/twin_follow.h"

#include <cstdlib>

#include "core/call_sites.h"
#include "core/code_signature.h"
#include "core/twin_order.h"

namespace zt {
namespace {

// Whether the pattern made at `at` covers the offset `other`.
bool Covers(const FollowingMark& at, uint32_t other) {
    const uint32_t from = at.oldOffset - at.pattern->position;
    return other - from < at.pattern->length;
}

// Whether the instructions from one place to a later one in the new build go
// on one into the next, with no flow ending (ret, jmp) between: two places of
// one routine, not two stubs of a table whose rows look alike.
bool OneFlow(const ModuleView& module, uint32_t from, uint32_t to) {
    while (from < to) {
        X86Fields f;
        if (!DecodeX86(module.bytes + from, to - from, &f) || EndsFlow(module.bytes + from, f)) return false;
        from += static_cast<uint32_t>(f.length);
    }
    return from == to;
}

// Where `neighbour`'s place puts `mark`: 1 there, 0 when they share no
// pattern's span or a flow ends between them (no word), -1 when its own
// pattern does not match there.
int PlaceBeside(const ModuleView& module, const FollowingMark& mark, const FollowingMark& neighbour,
                uint32_t& place) {
    if (!Covers(mark, neighbour.oldOffset) && !Covers(neighbour, mark.oldOffset)) return 0;
    place = neighbour.newOffset + (mark.oldOffset - neighbour.oldOffset);
    if (place >= module.size || !PatternFitsAt(module, *mark.pattern, module.base + place)) return -1;
    const bool before = place < neighbour.newOffset;
    return OneFlow(module, before ? place : neighbour.newOffset, before ? neighbour.newOffset : place) ? 1 : 0;
}

}  // namespace

size_t FollowPlacedNeighbours(const ModuleView& module, FollowingMark* marks, size_t count) {
    if (count == 0) return 0;
    uint32_t* order = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint32_t* before = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    size_t placed = 0;
    if (order && before) {
        for (size_t i = 0; i < count; ++i) marks[i].followed = 0;
        SortByOldOffset(marks, order, count);
        uint32_t last = kUnplaced;
        for (size_t k = 0; k < count; ++k) {
            before[order[k]] = last;
            if (marks[order[k]].newOffset != kUnplaced) last = order[k];
        }
        uint32_t after = kUnplaced;
        for (size_t k = count; k-- > 0;) {
            const uint32_t i = order[k];
            FollowingMark& mark = marks[i];
            const bool wanted = mark.ambiguous && mark.newOffset == kUnplaced && mark.pattern && mark.pattern->length;
            if (mark.newOffset != kUnplaced && !mark.followed) after = i;
            if (!wanted) continue;
            uint32_t chosen = kUnplaced;
            bool against = false;
            for (uint32_t n : {before[i], after}) {
                if (n == kUnplaced || !marks[n].pattern || !marks[n].pattern->length) continue;
                uint32_t place = 0;
                const int word = PlaceBeside(module, mark, marks[n], place);
                if (word < 0 || (word > 0 && chosen != kUnplaced && chosen != place)) against = true;
                if (word > 0) chosen = place;
            }
            if (against || chosen == kUnplaced) continue;
            mark.newOffset = chosen;
            mark.followed = 1;
            ++placed;
        }
    }
    std::free(order);
    std::free(before);
    return placed;
}

}  // namespace zt
