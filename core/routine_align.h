// Changed routines: a bookmark whose code pattern is no longer found, because
// the code around it changed (a new local shifts every stack offset, a new
// check at the start), is placed by aligning its routine's instructions.
//
// At export each bookmark records compact keys of the instructions of its
// routine around it: a 12-bit hash of each instruction's form (its bytes
// with every displacement and immediate blanked: a new local shifts every
// stack offset, a short jump's displacement changes with the code it jumps
// over, and addresses change anyway), up to kAlignBack before the bookmark
// and kAlignForward from it on, and the bookmark's index among them. The keys stay inside the routine, as the
// patterns do: they stop where the flow ends and filler leads up to an
// aligned start, or after a ud2.
//
// At import the keys are compared with those of the instructions decoded
// from a region of the new build: between the new places of the bookmark's
// nearest neighbours that were placed uniquely, in the old order.
// The bookmark is placed only where its instruction lies inside a run of at
// least kAlignRun matching instructions (with kAlignFixed fixed bytes) that
// occurs once in the region and once among the keys. A bookmark that was on
// its routine's first instruction goes to the first instruction of the
// routine that holds the run in the new build, when that start is certain.
// Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/module_view.h"
#include "core/pattern_search.h"

namespace zt {

#ifndef ZT_ALIGN_BACK
#define ZT_ALIGN_BACK 8
#endif
#ifndef ZT_ALIGN_FORWARD
#define ZT_ALIGN_FORWARD 12
#endif
constexpr size_t kAlignBack = ZT_ALIGN_BACK;         // instructions recorded before the bookmark at most
constexpr size_t kAlignForward = ZT_ALIGN_FORWARD;   // from it on, its own among them
constexpr size_t kAlignKeysMax = kAlignBack + kAlignForward;
// A run of matching instructions places a bookmark with at least this many
// instructions and fixed bytes.
#ifndef ZT_ALIGN_RUN
#define ZT_ALIGN_RUN 8
#endif
#ifndef ZT_ALIGN_FIXED
#define ZT_ALIGN_FIXED 12
#endif
constexpr size_t kAlignRun = ZT_ALIGN_RUN;
constexpr size_t kAlignFixed = ZT_ALIGN_FIXED;
// The region searched: at most this many bytes.
constexpr uint32_t kAlignRegionMax = 64 * 1024;

#pragma pack(push, 1)
struct AlignKeys {
    uint8_t count;   // keys in use; 0: none
    uint8_t index;   // the bookmark's instruction: keys[index]; 0 only when it is its routine's first
    uint16_t keys[kAlignKeysMax];   // 12 bits each
};
#pragma pack(pop)
static_assert(sizeof(AlignKeys) == 2 + 2 * kAlignKeysMax, "AlignKeys is a fixed layout");

// The keys' text form in a list: three upper-case hex digits a key, one
// after another, with a '|' before the bookmark's ("0A18B2|3F0C41..."; an
// entry's starts with '|'). At most kAlignTextMax bytes with the terminator.
constexpr size_t kAlignTextMax = 3 * kAlignKeysMax + 2;
void FormatAlignKeys(const AlignKeys& keys, char* text);
// Reads the text form (hex digits of either case); false, and *out emptied,
// unless it makes keys that ValidAlignKeys accepts.
bool ParseAlignKeys(const char* text, AlignKeys* out);

// Whether keys are as the export writes them: 1 to kAlignKeysMax of 12 bits,
// the index among them, at most kAlignBack before it and kAlignForward from
// it on.
bool ValidAlignKeys(const AlignKeys& keys);

// The keys of the instructions around the bookmark at address (an
// instruction's first byte). None (count 0) outside the module's code, on
// bytes that do not decode, or when the instructions before it cannot be
// told and it is not its routine's first.
void MakeAlignKeys(const ModuleView& module, uint32_t address, AlignKeys* out);
// The work of making one bookmark's keys, in the search's units (3,158
// bookmarks took 0.03 s natively).
constexpr uint64_t kAlignKeysWork = 4096;

// The place of the bookmark in [begin, end) of the module (addresses; begin
// is an instruction's first byte, end - begin at most kAlignRegionMax), or 0
// when no run decides. Spends from budget.
uint32_t AlignInRegion(const ModuleView& module, const AlignKeys& keys, uint32_t begin, uint32_t end,
                       WorkBudget& budget);

constexpr uint32_t kAlignUnplaced = 0xFFFFFFFF;

struct AlignMark {
    uint32_t oldOffset;       // the bookmark's offset in its module in the old build
    uint32_t newOffset;       // in: its place in the new build, or kAlignUnplaced; out: also one aligned
    const AlignKeys* keys;    // to be aligned when unplaced; null: not
    uint8_t byAlignment;      // out: 1 when placed here
};

// Places the unplaced marks with keys (of one module, any order) by
// alignment between their nearest placed neighbours (those whose new places
// keep the old order), when the region between them is at most
// kAlignRegionMax bytes and not much larger than the old gap. Returns how
// many it placed; none without memory.
size_t PlaceByAlignment(const ModuleView& module, AlignMark* marks, size_t count, WorkBudget& budget);

}  // namespace zt
