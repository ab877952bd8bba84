// Finds many code patterns in a module's code in one pass: identical patterns
// are searched once, each pattern gives an anchor (its rarest run of four
// fixed bytes, or a shorter run when it has none), the anchors go into one
// hash index, and every position of the code is looked up once; each
// candidate is then checked against its whole pattern, and a pattern found as
// often as the caller needs to know is checked no more. A match lies wholly
// inside one code range, and its fixed bytes were all readable.
//
// The work is bounded: every position looked at and every candidate checked
// is spent from a budget that an import or an export shares among all its
// searches. When it runs out the search stops, and what it had not settled
// is given up on, counted by the caller. Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pattern.h"
#include "core/module_view.h"

namespace zt {

constexpr uint32_t kMatchCountCap = 0xFFFF;  // counts stop here

// A pattern is searched only with at least this many fixed bytes: fewer fit
// by chance too often (four zero bytes, or a call and a ret, are everywhere)
// and draw a candidate at nearly every position. The builder never makes a
// weaker one.
#ifndef ZT_MIN_FIXED_BYTES
#define ZT_MIN_FIXED_BYTES 6
#endif
constexpr size_t kMinFixedBytes = ZT_MIN_FIXED_BYTES;
bool StrongEnough(const CodePattern& pattern, size_t least = kMinFixedBytes);

// The work of an import's or an export's searches together, in units of
// about one position looked at or one candidate checked: about half a second
// natively on a loaded 2-core machine, under the second or two that a
// debugger's window may stay still.
constexpr uint64_t kSearchWork = 200000000;
struct WorkBudget {
    uint64_t left = kSearchWork;
};

struct PatternMatch {
    uint32_t count;    // 0 not found, 1 found once, more: ambiguous (saturates at the count asked for)
    uint32_t address;  // when count >= 1: the bookmark's address (its byte) at the first match
    uint8_t givenUp;   // 1: not searched to the end (the budget ran out, or the pattern is too weak)
};

// What an import makes of a pattern's search: placed at match.address only
// when it was unique where it was made and is found exactly once now. One
// that was not unique then is ambiguous wherever it is found, since the
// bookmark may have been on any of its places. One given up on is not
// searched, unless it was already found twice.
enum class Placement : uint8_t { kNotFound, kFound, kAmbiguous, kNotSearched };
Placement PlacementOf(const CodePattern& pattern, const PatternMatch& match);

// Fills results[i] for *patterns[i]. An empty pattern is not found; one with
// fewer than `leastFixed` fixed bytes is given up on (the builder, which only
// asks whether a pattern is unique in its own module, searches any with a
// fixed byte). A pattern found `enough` times (at least 2) is checked no
// more: its count stays there. The work is spent from `budget`; when it runs
// out, every pattern not yet found `enough` times is given up on. False, with
// every result zero, when there is no memory for the index. With `where`,
// the bookmark's addresses at the first `enough` matches of pattern i go to
// where[i * enough + k] (`enough` taken as at least 2), in the order found.
bool SearchPatterns(const ModuleView& module, const CodePattern* const* patterns, size_t count, PatternMatch* results,
                    WorkBudget& budget, uint32_t enough = 2, size_t leastFixed = kMinFixedBytes,
                    uint32_t* where = nullptr);

// The same for an array of patterns, with a budget of its own, counting
// every match (up to kMatchCountCap).
bool SearchPatterns(const ModuleView& module, const CodePattern* patterns, size_t count, PatternMatch* results);

}  // namespace zt
