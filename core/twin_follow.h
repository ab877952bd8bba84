// Twins that follow a neighbour: a bookmark whose pattern was found at
// several places is placed with a bookmark of the same routine that was
// placed (by its own pattern, by order or by callers), when one of their two
// patterns covers the other's old place. Both patterns then match around the
// routine's new copy, so the bookmark lies as far from its neighbour as it
// did: the routine's entry decides where a bookmark inside it goes, and the
// other way round. Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pattern.h"
#include "core/module_view.h"

namespace zt {

struct FollowingMark {
    uint32_t oldOffset;          // the bookmark's offset in its module in the old build
    uint32_t newOffset;          // in: its place in the new build, or kUnplaced; out: also one placed here
    const CodePattern* pattern;  // as made in the old build
    uint8_t ambiguous;           // its pattern was found at several places (none chosen yet)
    uint8_t followed;            // out: 1 when placed here
};

// Places each ambiguous mark whose nearest placed neighbours (in the old
// order) that share a pattern's span with it agree on one place for it, where
// its own pattern matches in `module` (the new build) and no flow ends
// between it and the neighbour (rows of a table of stubs look alike, and the
// next build may add one); returns how many it
// placed. A neighbour placed here does not lead another. With no memory it
// places none.
size_t FollowPlacedNeighbours(const ModuleView& module, FollowingMark* marks, size_t count);

}  // namespace zt
