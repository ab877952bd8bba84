#include "core/code_signature.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/pattern_search.h"
#include "core/x86_length.h"

namespace zt {
namespace {

struct Step {
    uint8_t forward;  // at least this many bytes of whole instructions, when there are
    uint8_t back;
};
constexpr Step kSteps[] = {{12, 0}, {16, 0}, {24, 0}, {32, 0}, {48, 0},
                           {64, 0}, {64, 8}, {64, 16}, {64, 32}};
constexpr size_t kStepCount = sizeof kSteps / sizeof kSteps[0];
constexpr size_t kMarginSteps = 1;

// Everything a bookmark's pattern can take, worked out once.
struct Draft {
    uint32_t rva;
    uint8_t forwardLength;
    uint8_t endCount;
    uint8_t backLength;
    uint8_t done;
    uint8_t forwardLimit;  // where the code after the bookmark's routine begins, or forwardLength
    uint8_t backLimit;     // how far back the bookmark's routine goes, or backLength
    uint8_t bestStep;
    uint8_t afterFlowEnd;  // the longest reading of the bytes before ends where the flow ended
    uint8_t flowEndBack;   // and how far back that reading's last instruction that is no filler starts
    uint8_t backAtLeast;   // bytes before the bookmark that every step takes
    uint32_t bestCount;
    uint8_t forward[kPatternForward];
    uint8_t forwardFixed[kPatternForward];
    uint8_t ends[kPatternForward];  // instruction ends, in bytes from the bookmark
    uint8_t back[kPatternBack];     // the bytes just before the bookmark, the last one nearest
    uint8_t backFixed[kPatternBack];
};

uint32_t Load32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

bool Readable(const ModuleView& module, uint32_t rva, size_t count) {
    if (rva > module.size || count > module.size - rva) return false;
    if (!module.readable) return true;
    for (size_t i = 0; i < count; ++i) {
        if (!module.readable[rva + i]) return false;
    }
    return true;
}

bool PointsIntoImage(const ModuleView& module, uint32_t value) { return value - module.base < module.size; }

// True when the byte at rva lies in a 32-bit field that a relocation fixes up.
bool Relocated(const ModuleView& module, uint32_t rva) {
    const uint32_t* end = module.relocations + module.relocationCount;
    const uint32_t* after = std::upper_bound(module.relocations, end, rva);
    return after != module.relocations && rva - after[-1] < 4;
}

const CodeRange* RangeOf(const ModuleView& module, uint32_t rva) {
    for (size_t r = 0; r < module.codeCount; ++r) {
        if (rva >= module.code[r].begin && rva < module.code[r].end && module.code[r].end <= module.size)
            return &module.code[r];
    }
    return nullptr;
}

void Clear(uint8_t* fixed, size_t from, size_t count) { std::memset(fixed + from, 0, count); }

// Marks the instruction at rva (decoded as `f`) into fixed[0, f.length).
void MarkInstruction(const ModuleView& module, uint32_t rva, const X86Fields& f, uint8_t* fixed) {
    std::memset(fixed, 1, f.length);
    const uint8_t* code = module.bytes + rva;
    if (f.relative && f.immSize >= 2) Clear(fixed, f.immOffset, f.immSize);
    if (f.dispSize == 4 && PointsIntoImage(module, Load32(code + f.dispOffset))) Clear(fixed, f.dispOffset, 4);
    if (!f.relative && f.immSize == 4 && PointsIntoImage(module, Load32(code + f.immOffset)))
        Clear(fixed, f.immOffset, 4);
    for (size_t i = 0; i < f.length; ++i) {
        if (Relocated(module, rva + static_cast<uint32_t>(i))) fixed[i] = 0;
    }
}

// Raw bytes, where instruction boundaries are not known: relocated fields and
// any four bytes that point into the image are wildcards.
void MarkRaw(const ModuleView& module, uint32_t rva, size_t count, uint8_t* fixed) {
    std::memset(fixed, 1, count);
    for (size_t i = 0; i < count; ++i) {
        if (Relocated(module, rva + static_cast<uint32_t>(i))) fixed[i] = 0;
        if (i + 4 <= count && PointsIntoImage(module, Load32(module.bytes + rva + i))) Clear(fixed, i, 4);
    }
}

}  // namespace

// An unconditional end of the flow: ret, jmp.
bool EndsFlow(const uint8_t* code, const X86Fields& f) {
    size_t op = 0;
    while (op + 1 < f.length && (code[op] == 0x66 || code[op] == 0x2E || code[op] == 0x3E || code[op] == 0xF3 ||
                                 code[op] == 0xF2))
        ++op;
    const uint8_t c = code[op];
    return c == 0xC3 || c == 0xC2 || c == 0xE9 || c == 0xEB ||
           (c == 0xFF && op + 1 < f.length && ((code[op + 1] >> 3) & 7) == 4);
}

// ud2, the trap compilers put where the code cannot go on: what follows it
// belongs to other code, aligned or not.
bool IsTrap(const uint8_t* code, const X86Fields& f) { return f.length == 2 && code[0] == 0x0F && code[1] == 0x0B; }

// The filler compilers put between routines: nop, multi-byte nops, lea and
// mov of a register to itself, int3.
bool IsFiller(const uint8_t* code, const X86Fields& f) {
    size_t op = 0;
    while (op + 1 < f.length && (code[op] == 0x66 || code[op] == 0x2E || code[op] == 0x3E)) ++op;
    const uint8_t c = code[op];
    if (c == 0x90 || c == 0xCC) return op + 1 == f.length;
    if (c == 0x0F && op + 1 < f.length) return code[op + 1] == 0x1F;
    if (op + 1 >= f.length) return false;
    const uint8_t modrm = code[op + 1];
    const unsigned mod = modrm >> 6, reg = (modrm >> 3) & 7, rm = modrm & 7;
    if (c == 0x89 || c == 0x8B) return mod == 3 && reg == rm;
    if (c != 0x8D || mod == 3) return false;
    for (size_t i = 0; i < f.dispSize; ++i) {
        if (code[f.dispOffset + i]) return false;
    }
    if (rm != 4) return reg == rm && mod != 0;
    const uint8_t sib = code[op + 2];
    return (sib & 7) == reg && ((sib >> 3) & 7) == 4;  // [reg + no index + 0]
}

namespace {

// Compilers start routines at multiples of this, after filler.
constexpr uint32_t kRoutineAlignment = 16;

// The padding between routines: filler, but not a move of a register to
// itself, which may open a routine (mov edi,edi).
bool IsPadding(const uint8_t* code, const X86Fields& f) {
    return IsFiller(code, f) && !((code[0] == 0x89 || code[0] == 0x8B) && f.length == 2);
}

// A bookmark on the padding after a routine's end lies between two routines
// whose order the next build may change: its pattern takes both, the end of
// the one before as well as the start of the one after.
bool StartsInPadding(const ModuleView& module, const CodeRange& range, const Draft& d) {
    X86Fields f;
    return d.afterFlowEnd && d.rva % kRoutineAlignment != 0 &&
           DecodeX86(module.bytes + d.rva, range.end - d.rva, &f) && Readable(module, d.rva, f.length) &&
           IsPadding(module.bytes + d.rva, f);
}

void WalkForward(const ModuleView& module, const CodeRange& range, Draft* d) {
    uint32_t at = d->rva;
    bool flowEnded = false;
    bool trapped = false;
    if (StartsInPadding(module, range, *d))
        d->backAtLeast = static_cast<uint8_t>(std::min<size_t>(d->backLimit, std::max<size_t>(8, d->flowEndBack)));
    while (at < range.end) {
        const size_t room = std::min<size_t>(kPatternForward - d->forwardLength, range.end - at);
        X86Fields f;
        if (room == 0 || !DecodeX86(module.bytes + at, room, &f) || !Readable(module, at, f.length)) break;
        std::memcpy(d->forward + d->forwardLength, module.bytes + at, f.length);
        if (flowEnded && !d->forwardLimit && at % kRoutineAlignment == 0) d->forwardLimit = d->forwardLength;
        if (trapped && !d->forwardLimit) d->forwardLimit = d->forwardLength;
        trapped = IsTrap(module.bytes + at, f);
        if (!IsFiller(module.bytes + at, f)) flowEnded = EndsFlow(module.bytes + at, f);
        MarkInstruction(module, at, f, d->forwardFixed + d->forwardLength);
        d->forwardLength = static_cast<uint8_t>(d->forwardLength + f.length);
        d->ends[d->endCount++] = d->forwardLength;
        at += f.length;
    }
    if (!d->forwardLimit) d->forwardLimit = d->forwardLength;
    if (d->forwardLength) return;
    // Not an instruction this decoder knows: a few raw bytes instead.
    size_t count = 0;
    while (count < 16 && d->rva + count < range.end && Readable(module, d->rva + static_cast<uint32_t>(count), 1))
        ++count;
    std::memcpy(d->forward, module.bytes + d->rva, count);
    MarkRaw(module, d->rva, count, d->forwardFixed);
    d->forwardLength = static_cast<uint8_t>(count);
    for (size_t end = 4; end < count; end += 4) d->ends[d->endCount++] = static_cast<uint8_t>(end);
    if (count) d->ends[d->endCount++] = static_cast<uint8_t>(count);
    d->forwardLimit = d->forwardLength;
}

// The bytes before the bookmark. Instruction boundaries there are not known:
// every run of whole instructions that ends exactly at the bookmark is a
// reading of them; a byte is fixed only when every reading keeps it fixed,
// and the routine is taken to start at the nearest boundary any reading
// finds. With no such run the bytes are marked raw.
void WalkBack(const ModuleView& module, const CodeRange& range, Draft* d) {
    size_t limit = std::min<size_t>(kPatternBack, d->rva - range.begin);
    while (limit && !Readable(module, d->rva - static_cast<uint32_t>(limit), limit)) --limit;
    d->backLength = static_cast<uint8_t>(limit);
    d->backLimit = d->backLength;
    if (!limit) return;
    const uint32_t from = d->rva - static_cast<uint32_t>(limit);
    std::memcpy(d->back + kPatternBack - limit, module.bytes + from, limit);
    uint8_t* fixed = d->backFixed + kPatternBack - limit;
    MarkRaw(module, from, limit, fixed);
    uint8_t reading[kPatternBack];
    bool any = false;
    for (size_t skip = 0; skip < limit; ++skip) {
        uint32_t at = from + static_cast<uint32_t>(skip);
        X86Fields f;
        while (at < d->rva && DecodeX86(module.bytes + at, d->rva - at, &f)) at += f.length;
        if (at != d->rva) continue;
        MarkRaw(module, from, skip, reading);
        bool flowEnded = false;
        for (at = from + static_cast<uint32_t>(skip); at < d->rva; at += f.length) {
            DecodeX86(module.bytes + at, d->rva - at, &f);
            MarkInstruction(module, at, f, reading + (at - from));
            if (!IsFiller(module.bytes + at, f)) {
                flowEnded = EndsFlow(module.bytes + at, f);
                if (!any) d->flowEndBack = static_cast<uint8_t>(d->rva - at);
            }
            const uint32_t end = at + f.length;
            if (((flowEnded && end % kRoutineAlignment == 0) || IsTrap(module.bytes + at, f)) && d->rva - end < d->backLimit)
                d->backLimit = static_cast<uint8_t>(d->rva - end);
        }
        // The longest reading is the likeliest: instructions fall into step
        // within a few bytes.
        if (!any) d->afterFlowEnd = flowEnded;
        for (size_t i = 0; i < limit; ++i) fixed[i] = static_cast<uint8_t>(any ? fixed[i] & reading[i] : reading[i]);
        any = true;
    }
}

void Compose(const Draft& d, size_t step, CodePattern* p) {
    *p = CodePattern{};
    if (!d.endCount) return;
    size_t forward = d.ends[d.endCount - 1];
    for (size_t e = 0; e < d.endCount; ++e) {
        if (d.ends[e] >= kSteps[step].forward) {
            forward = d.ends[e];
            break;
        }
    }
    forward = std::min<size_t>(forward, d.forwardLimit);
    const size_t back = std::min<size_t>(std::max<size_t>(kSteps[step].back, d.backAtLeast), d.backLimit);
    std::memcpy(p->bytes, d.back + kPatternBack - back, back);
    std::memcpy(p->fixed, d.backFixed + kPatternBack - back, back);
    std::memcpy(p->bytes + back, d.forward, forward);
    std::memcpy(p->fixed + back, d.forwardFixed, forward);
    for (size_t i = 0; i < back + forward; ++i) {
        if (!p->fixed[i]) p->bytes[i] = 0;
    }
    p->length = static_cast<uint8_t>(back + forward);
    p->position = static_cast<uint8_t>(back);
}

}  // namespace

size_t MarkFixedBytes(const ModuleView& module, uint32_t rva, size_t length, uint8_t* fixed) {
    size_t done = 0;
    while (done < length) {
        const uint32_t at = rva + static_cast<uint32_t>(done);
        if (at >= module.size) break;
        X86Fields f;
        if (!DecodeX86(module.bytes + at, std::min<size_t>(length - done, module.size - at), &f) ||
            !Readable(module, at, f.length))
            break;
        MarkInstruction(module, at, f, fixed + done);
        done += f.length;
    }
    return done;
}

bool BuildPatterns(const ModuleView& module, const uint32_t* addresses, size_t count, CodePattern* patterns,
                   WorkBudget& budget, size_t* givenUp) {
    std::memset(patterns, 0, count * sizeof *patterns);
    if (givenUp) *givenUp = 0;
    if (count == 0) return true;
    Draft* drafts = static_cast<Draft*>(std::calloc(count, sizeof(Draft)));
    CodePattern* trial = static_cast<CodePattern*>(std::malloc(count * sizeof(CodePattern)));
    const CodePattern** each = static_cast<const CodePattern**>(std::malloc(count * sizeof *each));
    PatternMatch* results = static_cast<PatternMatch*>(std::malloc(count * sizeof(PatternMatch)));
    uint32_t* which = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    bool ok = drafts && trial && each && results && which;

    for (size_t i = 0; ok && i < count; ++i) {
        Draft& d = drafts[i];
        d.rva = addresses[i] - module.base;
        const CodeRange* range = RangeOf(module, d.rva);
        if (!range || !Readable(module, d.rva, 1)) {
            d.done = 1;  // no pattern
            continue;
        }
        WalkBack(module, *range, &d);
        WalkForward(module, *range, &d);
        d.bestCount = 0xFFFFFFFF;
        if (!d.endCount) d.done = 1;
    }

    // Each step's patterns are the last step's grown: their counts never
    // rise, so whether a pattern is unique needs counts up to 2 only, and
    // one never unique keeps its longest step.
    for (size_t step = 0; ok && step < kStepCount; ++step) {
        size_t growing = 0;
        for (size_t i = 0; i < count; ++i) {
            if (drafts[i].done) continue;
            Compose(drafts[i], step, &trial[growing]);
            each[growing] = &trial[growing];
            which[growing++] = static_cast<uint32_t>(i);
        }
        if (!growing) break;
        if (!SearchPatterns(module, each, growing, results, budget, 2, 1)) {
            ok = false;
            break;
        }
        for (size_t g = 0; g < growing; ++g) {
            Draft& d = drafts[which[g]];
            if (results[g].givenUp && StrongEnough(trial[g], 1)) {   // not for want of fixed bytes: of work
                d.done = 2;  // given up: no pattern
                if (givenUp) ++*givenUp;
            } else if (results[g].count == 1) {
                d.done = 1;
                Compose(d, std::min(step + kMarginSteps, kStepCount - 1), &patterns[which[g]]);
                patterns[which[g]].unique = 1;
            } else if (results[g].count <= d.bestCount) {
                d.bestCount = results[g].count;
                d.bestStep = static_cast<uint8_t>(step);
            }
        }
    }
    for (size_t i = 0; ok && i < count; ++i) {
        if (!drafts[i].done) Compose(drafts[i], drafts[i].bestStep, &patterns[i]);
        if (!StrongEnough(patterns[i])) patterns[i] = CodePattern{};
    }
    std::free(drafts);
    std::free(trial);
    std::free(each);
    std::free(results);
    std::free(which);
    return ok;
}

bool BuildPatterns(const ModuleView& module, const uint32_t* addresses, size_t count, CodePattern* patterns) {
    WorkBudget budget;
    return BuildPatterns(module, addresses, count, patterns, budget);
}

}  // namespace zt
