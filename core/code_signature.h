// Makes the code pattern of each bookmark in a module, so that another build
// of the module can find the bookmark's instruction again (pattern_search.h).
//
// Bytes that change when the same code is rebuilt or loaded elsewhere are
// wildcards: fields that the relocation table fixes up, 32-bit displacements
// and immediates whose value points into the module's own image, and the
// displacements of relative calls and jumps (rel32; short rel8 jumps stay
// fixed, as they only change when the code between them does).
//
// A pattern starts at the bookmark and takes whole instructions forward,
// then bytes backward, in steps, until it occurs exactly once in the module's
// code: forward to 12, 16, 24, 32, 48 and 64 bytes, then 8, 16 and 32 bytes
// back as well. Once unique it takes one more step, so that a small change in
// the next build does not leave a short pattern that then fits elsewhere.
//
// A pattern stays inside the bookmark's routine: forward it stops where the
// flow ends (ret, jmp) and filler leads up to an aligned start, or after a
// ud2; backward it stops at such a place too. Two routines with the same
// code are therefore told apart by nothing but their neighbours, whose order
// the next build may change: their patterns are not unique, and nothing is
// placed for them. The bytes before the bookmark have no known instruction
// boundaries: each run of whole instructions that ends exactly at the
// bookmark is a reading of them, and a byte is fixed only when every reading
// keeps it so.
//
// A pattern that is not unique within 64 bytes forward and 32 back keeps the
// step that occurred least often (the longest such) and is marked not unique.
// Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pattern.h"
#include "core/module_view.h"
#include "core/pattern_search.h"
#include "core/x86_length.h"

namespace zt {

// patterns[i] for addresses[i]; an address outside the module's code, or
// whose byte could not be read, gets an empty pattern (length 0), and so does
// one whose pattern would have fewer than kMinFixedBytes fixed bytes (code
// that is all relocated addresses, such as a jump table). Every step searches
// all patterns still growing in one pass over the code, spending from
// `budget`; when it runs out, the bookmarks whose patterns were still growing
// get none either, and *givenUp (when given) counts them. False, with the
// patterns not all made, when there was no memory for the work.
bool BuildPatterns(const ModuleView& module, const uint32_t* addresses, size_t count, CodePattern* patterns,
                   WorkBudget& budget, size_t* givenUp = nullptr);
// The same with a budget of its own.
bool BuildPatterns(const ModuleView& module, const uint32_t* addresses, size_t count, CodePattern* patterns);

// The wildcards of the bytes [rva, rva + length) of the module as a pattern
// of those bytes read as instructions from rva: 1 in fixed[i] for each byte
// that must match. Used by the builder, and by the benchmark to tell whether
// a function's code changed other than in its wildcards. Stops at the first
// byte that does not decode or is unreadable and returns how far it got.
size_t MarkFixedBytes(const ModuleView& module, uint32_t rva, size_t length, uint8_t* fixed);

// What tells where a routine ends, for the instruction at code decoded as f:
// an unconditional end of the flow (ret, jmp), the trap compilers put where
// the code cannot go on (ud2), the filler between routines (nops, lea and
// mov of a register to itself, int3). A routine starts at a 16-byte aligned
// address after a flow end and filler, or after a trap.
bool EndsFlow(const uint8_t* code, const X86Fields& f);
bool IsTrap(const uint8_t* code, const X86Fields& f);
bool IsFiller(const uint8_t* code, const X86Fields& f);

}  // namespace zt
