// The callers of routines: the relative calls and jumps (E8, E9 and 0F 8x
// with 32 bits) in a module's code whose target is one of the routines asked
// for, and the target of a call found again. A routine whose code has a twin
// elsewhere is told apart by where it is called or jumped to from (a routine
// jumps to its cold part, which compilers put apart): the call sites' own
// code is often unique, and each call site found again in another build
// names the routine's new entry through its displacement. Pure code: no host
// calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pattern.h"
#include "core/module_view.h"
#include "core/pattern_search.h"

namespace zt {

constexpr size_t kMostCallers = 4;   // call sites recorded for one routine at most

// For each of the `count` targets (addresses, ascending), the addresses of
// up to kMostCallers call sites (the branch's first byte) in the module's code go to
// sites[i * kMostCallers + k], their number to siteCounts[i]. A call is taken
// where its bytes were read and its target lies in the module's code; the
// work is spent from budget. False when the budget ran out (what was found
// stays).
bool FindCallSites(const ModuleView& module, const uint32_t* targets, size_t count, uint32_t* sites,
                   uint8_t* siteCounts, WorkBudget& budget);

// The length of the relative call or jump with 32 bits that code starts with
// (5 or 6), or 0.
size_t BranchLength(const uint8_t* code, size_t available);

// Whether a call site's pattern lies on the branch's first byte, its
// opcode fixed.
bool OnBranch(const CodePattern& pattern);

// The target of the relative call or jump whose first byte is at site, when
// its bytes were read and the target lies in the module's code.
bool CallTarget(const ModuleView& module, uint32_t site, uint32_t& target);

// Whether the pattern matches with its bookmark's byte at address: wholly
// inside one code range, its fixed bytes read and equal.
bool PatternFitsAt(const ModuleView& module, const CodePattern& pattern, uint32_t address);

}  // namespace zt
