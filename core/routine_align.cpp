#include "core/routine_align.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/code_signature.h"
#include "core/twin_order.h"
#include "core/x86_length.h"

namespace zt {

static_assert(kAlignUnplaced == kUnplaced, "one mark for a bookmark not placed");

namespace {

constexpr uint32_t kRoutineAlignment = 16;
// How far before the bookmark the export reads to tell its instructions.
constexpr uint32_t kBackBytes = 160;
// A routine found again may start with up to this many instructions more
// before the first run that matches than it had (a new check of an argument).
constexpr size_t kEntrySlack = 4;

constexpr uint16_t kKeyMask = 0xFFF;
// The work of decoding a byte of a region and making its key, in the search's
// units (a 64 KB region took 1.5 ms natively, as 650,000 of them).
constexpr uint32_t kDecodeWork = 10;
// The work of weighing a neighbour that the keys may reach: up to 20
// instructions decoded for each of the keys' possible places.
constexpr uint32_t kBesideWork = 20 * 20 * 16;

enum : uint8_t {
    kStarts = 1,    // a routine certainly starts here: after a flow end and filler, aligned; or after a ud2
    kEndsFlow = 2,  // ret, jmp (not filler)
    kBroken = 4,    // no instruction decodes here: one byte skipped
};

struct Decoded {
    uint32_t rva;
    uint16_t key;
    uint8_t fixed;   // fixed bytes in the key
    uint8_t flags;
};

bool Readable(const ModuleView& module, uint32_t rva, size_t count) {
    if (rva > module.size || count > module.size - rva) return false;
    if (!module.readable) return true;
    for (size_t i = 0; i < count; ++i)
        if (!module.readable[rva + i]) return false;
    return true;
}

const CodeRange* RangeOf(const ModuleView& module, uint32_t rva) {
    for (size_t r = 0; r < module.codeCount; ++r) {
        if (rva >= module.code[r].begin && rva < module.code[r].end && module.code[r].end <= module.size)
            return &module.code[r];
    }
    return nullptr;
}

// Walks instructions from a known boundary, telling where routines start.
class Walker {
public:
    Walker(const ModuleView& module, const CodeRange& range) : module_(module), range_(range) {}

    // The instruction at rva; false, with a broken one of a byte, when none decodes or it cannot be read.
    bool Next(uint32_t rva, Decoded* out, uint8_t* length) {
        X86Fields f;
        out->rva = rva;
        out->key = 0;
        out->fixed = 0;
        out->flags = 0;
        uint8_t fixed[16];
        if (rva >= range_.end || !DecodeX86(module_.bytes + rva, std::min<size_t>(15, range_.end - rva), &f) ||
            !Readable(module_, rva, f.length) || MarkFixedBytes(module_, rva, f.length, fixed) != f.length) {
            out->flags = kBroken;
            flowEnded_ = trapped_ = false;
            *length = 1;
            return false;
        }
        // Displacements and immediates too: a new local shifts every stack
        // offset after it, a short jump's displacement changes with the code
        // it jumps over. What stays is the instruction's form: its opcode,
        // its registers, its addressing.
        std::memset(fixed + f.immOffset, 0, f.immSize);
        std::memset(fixed + f.dispOffset, 0, f.dispSize);
        const uint8_t* code = module_.bytes + rva;
        uint32_t hash = (2166136261u ^ f.length) * 16777619u;
        for (size_t i = 0; i < f.length; ++i) {
            hash = (hash ^ (fixed[i] ? code[i] : 0x100u)) * 16777619u;
            out->fixed = static_cast<uint8_t>(out->fixed + (fixed[i] != 0));
        }
        out->key = static_cast<uint16_t>((hash ^ (hash >> 16)) & kKeyMask);
        if ((flowEnded_ && rva % kRoutineAlignment == 0) || trapped_) out->flags |= kStarts;
        trapped_ = IsTrap(code, f);
        if (!IsFiller(code, f)) {
            flowEnded_ = EndsFlow(code, f);
            if (flowEnded_) out->flags |= kEndsFlow;
        }
        *length = f.length;
        return true;
    }

private:
    const ModuleView& module_;
    const CodeRange& range_;
    bool flowEnded_ = false;
    bool trapped_ = false;
};

// Whether the instructions decoded from rva in the new build have the forms
// keys[from..to], the first to - from of them `distance` bytes long.
bool FormsFrom(const ModuleView& module, uint32_t rva, const AlignKeys& keys, size_t from, size_t to,
               uint32_t distance) {
    const CodeRange* range = RangeOf(module, rva);
    if (!range) return false;
    Walker walker(module, *range);
    uint32_t at = rva;
    for (size_t k = from; k <= to; ++k) {
        if (k == to && at - rva != distance) return false;
        Decoded here;
        uint8_t length = 0;
        if (!walker.Next(at, &here, &length) || here.key != keys.keys[k]) return false;
        at += length;
    }
    return true;
}

// The place a placed neighbour gives the bookmark when the recorded keys
// reach it: the keys stay inside the bookmark's routine, so the neighbour is
// of that routine, and when the new build's instructions from the one to the
// other have the recorded forms, the bookmark's own among them, it lies as
// far from the neighbour as it did. kAlignUnplaced otherwise.
uint32_t BesideNeighbour(const ModuleView& module, const AlignMark& mark, const AlignMark& neighbour) {
    const AlignKeys& keys = *mark.keys;
    if (neighbour.oldOffset < mark.oldOffset) {   // before it: keys[k] is the neighbour's, k < index
        const uint32_t distance = mark.oldOffset - neighbour.oldOffset;
        for (size_t k = keys.index; k-- > 0;)
            if (FormsFrom(module, neighbour.newOffset, keys, k, keys.index, distance))
                return neighbour.newOffset + distance;
        return kAlignUnplaced;
    }
    const uint32_t distance = neighbour.oldOffset - mark.oldOffset;   // after it: keys[k], k > index
    if (neighbour.newOffset < distance) return kAlignUnplaced;
    for (size_t k = keys.index + 1; k < keys.count; ++k)
        if (FormsFrom(module, neighbour.newOffset - distance, keys, keys.index, k, distance))
            return neighbour.newOffset - distance;
    return kAlignUnplaced;
}

// Where the walk from `from` meets the bookmark: bit (at - low) of `ends` set
// for each instruction start in [low, rva); true when it lands on rva.
bool WalkTo(const ModuleView& module, const CodeRange& range, uint32_t from, uint32_t low, uint32_t rva,
            uint8_t* starts) {
    uint32_t at = from;
    while (at < rva) {
        X86Fields f;
        if (!DecodeX86(module.bytes + at, std::min<size_t>(15, range.end - at), &f)) return false;
        starts[(at - low) / 8] |= static_cast<uint8_t>(1u << ((at - low) % 8));
        at += f.length;
    }
    return at == rva;
}

}  // namespace

bool ValidAlignKeys(const AlignKeys& keys) {
    if (keys.count < 1 || keys.count > kAlignKeysMax || keys.index >= keys.count || keys.index > kAlignBack ||
        size_t{keys.count} - keys.index > kAlignForward)
        return false;
    for (size_t i = 0; i < keys.count; ++i)
        if (keys.keys[i] > kKeyMask) return false;
    return true;
}

void FormatAlignKeys(const AlignKeys& keys, char* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    size_t at = 0;
    for (size_t i = 0; i < keys.count && i < kAlignKeysMax; ++i) {
        if (i == keys.index) text[at++] = '|';
        for (int shift = 8; shift >= 0; shift -= 4) text[at++] = kDigits[(keys.keys[i] >> shift) & 15];
    }
    text[at] = '\0';
}

bool ParseAlignKeys(const char* text, AlignKeys* out) {
    std::memset(out, 0, sizeof *out);
    AlignKeys keys = {};
    size_t digits = 0;
    bool bar = false;
    for (const char* c = text; *c; ++c) {
        if (*c == '|' && !bar && digits % 3 == 0) {
            bar = true;
            keys.index = static_cast<uint8_t>(digits / 3);
            continue;
        }
        const unsigned digit = *c >= '0' && *c <= '9'   ? unsigned(*c - '0')
                               : *c >= 'A' && *c <= 'F' ? unsigned(*c - 'A' + 10)
                               : *c >= 'a' && *c <= 'f' ? unsigned(*c - 'a' + 10)
                                                        : 16u;
        if (digit == 16 || digits == 3 * kAlignKeysMax) return false;
        keys.keys[digits / 3] = static_cast<uint16_t>(keys.keys[digits / 3] << 4 | digit);
        ++digits;
    }
    if (!bar || digits % 3) return false;
    keys.count = static_cast<uint8_t>(digits / 3);
    if (!ValidAlignKeys(keys)) return false;
    *out = keys;
    return true;
}

void MakeAlignKeys(const ModuleView& module, uint32_t address, AlignKeys* out) {
    std::memset(out, 0, sizeof *out);
    const uint32_t rva = address - module.base;
    const CodeRange* range = RangeOf(module, rva);
    if (!range || !Readable(module, rva, 1)) return;

    // The instructions before it: every walk from one of 16 starts that
    // lands exactly on the bookmark is a reading; from the first boundary
    // all readings share, they agree.
    const uint32_t low = rva - std::min(kBackBytes, rva - range->begin);
    bool entry = rva == range->begin;
    Decoded back[kBackBytes];
    size_t backCount = 0;
    if (!entry) {
        uint8_t common[kBackBytes / 8 + 1], reading[kBackBytes / 8 + 1];
        bool any = false;
        uint32_t earliest = rva;
        for (uint32_t from = low; from < low + 16 && from < rva; ++from) {
            if (!Readable(module, from, rva - from)) continue;
            std::memset(reading, 0, sizeof reading);
            if (!WalkTo(module, *range, from, low, rva, reading)) continue;
            for (size_t i = 0; i < sizeof common; ++i) common[i] = any ? common[i] & reading[i] : reading[i];
            if (!any) earliest = from;
            any = true;
        }
        if (!any) return;
        uint32_t first = rva;
        for (uint32_t at = low; at < rva && first == rva; ++at)
            if (common[(at - low) / 8] & (1u << ((at - low) % 8))) first = at;
        if (first == rva) return;
        // The longest reading tells whether the flow ended before `first`;
        // its instructions from `first` on are the certain ones.
        Walker walker(module, *range);
        uint8_t length = 0;
        Decoded here;
        for (uint32_t at = earliest; at <= rva; at += length) {
            walker.Next(at, &here, &length);
            if (here.flags & (kStarts | kBroken)) backCount = 0;   // the routine starts here, or after
            if (at == rva) {
                entry = (here.flags & kStarts) != 0;
                break;
            }
            if (at >= first && !(here.flags & kBroken)) back[backCount++] = here;
        }
    }
    if (entry) backCount = 0;
    if (!entry && backCount == 0) return;
    const size_t before = std::min<size_t>(backCount, kAlignBack);
    for (size_t i = 0; i < before; ++i) out->keys[i] = back[backCount - before + i].key;

    // From the bookmark on, up to the routine's end.
    Walker walker(module, *range);
    size_t count = before;
    uint8_t length = 0;
    for (uint32_t at = rva; count - before < kAlignForward && at < range->end; at += length) {
        Decoded here;
        if (!walker.Next(at, &here, &length)) break;
        if (at != rva && (here.flags & kStarts)) break;
        out->keys[count++] = here.key;
    }
    if (count == before) return;
    out->count = static_cast<uint8_t>(count);
    out->index = static_cast<uint8_t>(before);
}

namespace {

// Whether keys[from, from + length) occurs elsewhere among the keys.
bool RepeatedAmongKeys(const AlignKeys& keys, size_t from, size_t length) {
    for (size_t o = 0; o + length <= keys.count; ++o) {
        if (o != from && std::memcmp(keys.keys + o, keys.keys + from, length * sizeof keys.keys[0]) == 0) return true;
    }
    return false;
}

// The instruction that starts the routine holding new[j], when certain: the
// nearest start at or before j with no flow end nor broken byte in between,
// at most `most` instructions before it. -1 otherwise.
long RoutineStart(const Decoded* code, size_t j, size_t most) {
    for (size_t k = j, steps = 0;; --k, ++steps) {
        if (steps > most || (code[k].flags & kBroken) || (k != j && (code[k].flags & kEndsFlow))) return -1;
        if (code[k].flags & kStarts) return static_cast<long>(k);
        if (k == 0) return -1;
    }
}

}  // namespace

uint32_t AlignInRegion(const ModuleView& module, const AlignKeys& keys, uint32_t begin, uint32_t end,
                       WorkBudget& budget) {
    if (!ValidAlignKeys(keys)) return 0;
    const uint32_t low = begin - module.base, high = end - module.base;
    const CodeRange* range = RangeOf(module, low);
    if (!range || high <= low || high > range->end || high - low > kAlignRegionMax) return 0;
    const uint64_t decoding = uint64_t{kDecodeWork} * (high - low);
    if (budget.left < decoding) {
        budget.left = 0;
        return 0;
    }
    budget.left -= decoding;
    Decoded* code = static_cast<Decoded*>(std::malloc((high - low) * sizeof *code));
    if (!code) return 0;
    size_t m = 0;
    Walker walker(module, *range);
    uint8_t length = 0;
    for (uint32_t at = low; at < high; at += length) walker.Next(at, &code[m++], &length);

    const uint16_t* k = keys.keys;
    const size_t n = keys.count, b = keys.index;
    const auto same = [&](size_t i, size_t j) { return !(code[j].flags & kBroken) && k[i] == code[j].key; };
    uint32_t placed = 0;
    uint64_t work = 0;
    if (b > 0) {
        // Inside a run around the bookmark's instruction, the only one long enough.
        size_t runs = 0, at = 0, from = 0, runLength = 0;
        for (size_t j = 0; j < m && runs < 2; ++j) {
            if (!same(b, j)) continue;
            size_t left = 0, right = 0;
            while (left < b && left < j && same(b - left - 1, j - left - 1)) ++left;
            while (b + right + 1 < n && j + right + 1 < m && same(b + right + 1, j + right + 1)) ++right;
            size_t fixed = 0;
            for (size_t x = j - left; x <= j + right; ++x) fixed += code[x].fixed;
            work += left + right + 1;
            if (left + right + 1 < kAlignRun || fixed < kAlignFixed) continue;
            ++runs;
            at = j;
            from = b - left;
            runLength = left + right + 1;
        }
        if (runs == 1 && !RepeatedAmongKeys(keys, from, runLength)) placed = module.base + code[at].rva;
    } else {
        // The routine's first instruction: the start of the routine that
        // holds every long run of its first instructions.
        long start = -1;
        bool agree = true;
        for (size_t i = 0; i <= kEntrySlack && i < n && agree; ++i) {
            for (size_t j = 0; j < m && agree; ++j) {
                if (!same(i, j) || (i > 0 && j > 0 && same(i - 1, j - 1))) continue;   // a run's first only
                size_t right = 0, fixed = code[j].fixed;
                while (i + right + 1 < n && j + right + 1 < m && same(i + right + 1, j + right + 1))
                    fixed += code[j + ++right].fixed;
                work += right + 1;
                if (right + 1 < kAlignRun || fixed < kAlignFixed) continue;
                const long here = RoutineStart(code, j, i + kEntrySlack);
                if (here < 0 || (start >= 0 && here != start)) agree = false;
                start = here;
            }
        }
        if (agree && start >= 0) placed = module.base + code[start].rva;
    }
    budget.left -= std::min<uint64_t>(budget.left, work);
    std::free(code);
    return placed;
}

size_t PlaceByAlignment(const ModuleView& module, AlignMark* marks, size_t count, WorkBudget& budget) {
    for (size_t i = 0; i < count; ++i) marks[i].byAlignment = 0;
    size_t placed = 0;
    VisitBetweenOrderedNeighbours(marks, count, [&](uint32_t i, uint32_t left, uint32_t after) {
        AlignMark& m = marks[i];
        if (m.newOffset != kAlignUnplaced || !m.keys) return;
        // A neighbour of its routine that the keys reach places it, unless
        // the other says otherwise.
        uint32_t beside = kAlignUnplaced;
        bool against = false;
        for (uint32_t n : {left, after}) {
            if (n == kAlignUnplaced || budget.left < kBesideWork) continue;
            budget.left -= kBesideWork;
            const uint32_t place = BesideNeighbour(module, m, marks[n]);
            against = against || (place != kAlignUnplaced && beside != kAlignUnplaced && place != beside);
            if (place != kAlignUnplaced) beside = place;
        }
        if (beside != kAlignUnplaced && !against) {
            m.newOffset = beside;
            m.byAlignment = 1;
            ++placed;
            return;
        }
        if (left == kAlignUnplaced || after == kAlignUnplaced) return;
        const AlignMark &l = marks[left], &r = marks[after];
        if (l.oldOffset >= m.oldOffset || r.oldOffset <= m.oldOffset) return;
        const uint32_t oldGap = r.oldOffset - l.oldOffset, newGap = r.newOffset - l.newOffset;
        if (newGap > kAlignRegionMax || newGap / 8 > oldGap + 4096) return;
        const uint32_t at =
            AlignInRegion(module, *m.keys, module.base + l.newOffset, module.base + r.newOffset, budget);
        if (!at || at - module.base <= l.newOffset || at - module.base >= r.newOffset) return;
        m.newOffset = at - module.base;
        m.byAlignment = 1;
        ++placed;
    });
    return placed;
}

}  // namespace zt
