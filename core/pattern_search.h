// Finds many code patterns in a module's code in one pass: each pattern gives
// an anchor (its rarest run of four fixed bytes, or a shorter run when it has
// none), the anchors go into one hash index, and every position of the code
// is looked up once; each candidate is then checked against its whole
// pattern. A match lies wholly inside one code range, and its fixed bytes
// were all readable. Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pattern.h"
#include "core/module_view.h"

namespace zt {

constexpr uint32_t kMatchCountCap = 0xFFFF;  // counts stop here

struct PatternMatch {
    uint32_t count;    // 0 not found, 1 found once, more: ambiguous (saturates at kMatchCountCap)
    uint32_t address;  // when count >= 1: the bookmark's address (its byte) at the first match
};

// What an import makes of a pattern's search: placed at match.address only
// when it was unique where it was made and is found exactly once now. One
// that was not unique then is ambiguous wherever it is found, since the
// bookmark may have been on any of its places.
enum class Placement : uint8_t { kNotFound, kFound, kAmbiguous };
Placement PlacementOf(const CodePattern& pattern, const PatternMatch& match);

// Fills results[i] for patterns[i]. An empty pattern, or one without fixed
// bytes, is not found. False, with every result zero, when there is no memory
// for the index.
bool SearchPatterns(const ModuleView& module, const CodePattern* patterns, size_t count, PatternMatch* results);

}  // namespace zt
