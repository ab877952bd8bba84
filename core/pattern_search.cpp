#include "core/pattern_search.h"

#include <cstdlib>
#include <cstring>

namespace zt {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr unsigned kFrequencyBits = 16;
constexpr uint64_t kCheckWork = 4;  // a candidate checked against its whole pattern

struct Anchor {
    uint32_t value;    // the anchor's bytes, little-endian, as many as its width
    uint32_t pattern;  // index of its pattern
    uint32_t next;     // the next anchor in the same bucket, or kNone
    uint8_t offset;    // where in the pattern the anchor starts
    uint8_t width;     // 4, 2 or 1; 0: not searched
};

uint32_t Load32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

uint32_t Hash32(uint32_t value, unsigned bits) { return (value * 2654435761u) >> (32 - bits); }

bool Usable(const CodeRange& range, const ModuleView& module) {
    return range.begin < range.end && range.end <= module.size;
}

// How often each (hashed) four-byte value occurs in the code, saturating.
void CountQuads(const ModuleView& module, uint16_t* frequency) {
    for (size_t r = 0; r < module.codeCount; ++r) {
        const CodeRange range = module.code[r];
        if (!Usable(range, module)) continue;
        for (uint32_t at = range.begin; at + 4 <= range.end; ++at) {
            uint16_t& slot = frequency[Hash32(Load32(module.bytes + at), kFrequencyBits)];
            if (slot != 0xFFFF) ++slot;
        }
    }
}

// The rarest run of four fixed bytes; else the first run of two; else the
// first fixed byte. False when the pattern has no fixed byte.
bool ChooseAnchor(const CodePattern& p, const uint16_t* frequency, Anchor* out) {
    bool found = false;
    uint32_t best = 0;
    for (size_t i = 0; i + 4 <= p.length; ++i) {
        if (!(p.fixed[i] && p.fixed[i + 1] && p.fixed[i + 2] && p.fixed[i + 3])) continue;
        const uint32_t value = Load32(p.bytes + i);
        const uint32_t seen = frequency[Hash32(value, kFrequencyBits)];
        if (!found || seen < best) {
            found = true;
            best = seen;
            out->value = value;
            out->offset = static_cast<uint8_t>(i);
            out->width = 4;
        }
    }
    if (found) return true;
    for (size_t i = 0; i + 2 <= p.length; ++i) {
        if (p.fixed[i] && p.fixed[i + 1]) {
            out->value = static_cast<uint32_t>(p.bytes[i] | p.bytes[i + 1] << 8);
            out->offset = static_cast<uint8_t>(i);
            out->width = 2;
            return true;
        }
    }
    for (size_t i = 0; i < p.length; ++i) {
        if (p.fixed[i]) {
            out->value = p.bytes[i];
            out->offset = static_cast<uint8_t>(i);
            out->width = 1;
            return true;
        }
    }
    return false;
}

bool Matches(const ModuleView& module, const CodePattern& p, uint32_t start) {
    const uint8_t* code = module.bytes + start;
    for (size_t i = 0; i < p.length; ++i) {
        if (p.fixed[i] && code[i] != p.bytes[i]) return false;
    }
    if (module.readable) {
        for (size_t i = 0; i < p.length; ++i) {
            if (p.fixed[i] && !module.readable[start + i]) return false;
        }
    }
    return true;
}

bool SameBytes(const CodePattern& a, const CodePattern& b) {
    return a.length == b.length && std::memcmp(a.bytes, b.bytes, a.length) == 0 &&
           std::memcmp(a.fixed, b.fixed, a.length) == 0;
}

uint32_t HashBytes(const CodePattern& p, unsigned bits) {
    uint32_t hash = 2166136261u ^ p.length;
    for (size_t i = 0; i < p.length; ++i) hash = (hash ^ (p.bytes[i] | p.fixed[i] << 8)) * 16777619u;
    return Hash32(hash, bits);
}

struct Scan {
    const ModuleView& module;
    const CodePattern* const* patterns;
    Anchor* anchors;
    PatternMatch* results;
    uint32_t enough;
    uint64_t work;
    uint32_t* where;
};

// Checks every anchor of the chain at *head against the code at `at`; a
// pattern found `enough` times leaves its chain.
void TryChain(Scan& scan, const CodeRange& range, uint32_t* head, uint32_t value, uint32_t at) {
    uint32_t* link = head;
    while (*link != kNone) {
        Anchor& anchor = scan.anchors[*link];
        ++scan.work;
        if (anchor.value != value || anchor.offset > at - range.begin) {
            link = &anchor.next;
            continue;
        }
        const CodePattern& p = *scan.patterns[anchor.pattern];
        const uint32_t start = at - anchor.offset;
        scan.work += kCheckWork;
        if (p.length > range.end - start || !Matches(scan.module, p, start)) {
            link = &anchor.next;
            continue;
        }
        PatternMatch& result = scan.results[anchor.pattern];
        if (result.count == 0) result.address = scan.module.base + start + p.position;
        if (scan.where && result.count < scan.enough)
            scan.where[size_t{anchor.pattern} * scan.enough + result.count] = scan.module.base + start + p.position;
        if (result.count < scan.enough) ++result.count;
        if (result.count >= scan.enough)
            *link = anchor.next;   // settled
        else
            link = &anchor.next;
    }
}

}  // namespace

bool StrongEnough(const CodePattern& pattern, size_t least) {
    size_t fixed = 0;
    for (size_t i = 0; i < pattern.length && i < kPatternMax; ++i) fixed += pattern.fixed[i] != 0;
    return fixed >= least && fixed > 0;
}

Placement PlacementOf(const CodePattern& pattern, const PatternMatch& match) {
    if (pattern.length == 0) return Placement::kNotFound;
    if (match.givenUp && match.count < 2) return Placement::kNotSearched;
    if (match.count == 0) return Placement::kNotFound;
    return match.count == 1 && pattern.unique ? Placement::kFound : Placement::kAmbiguous;
}

bool SearchPatterns(const ModuleView& module, const CodePattern* const* patterns, size_t count, PatternMatch* results,
                    WorkBudget& budget, uint32_t enough, size_t leastFixed, uint32_t* where) {
    std::memset(results, 0, count * sizeof *results);
    if (count == 0) return true;
    if (enough < 2) enough = 2;
    if (enough > kMatchCountCap) enough = kMatchCountCap;
    unsigned bits = 10;
    while ((size_t{1} << bits) < 2 * count && bits < 24) ++bits;
    const size_t buckets = size_t{1} << bits;

    uint16_t* frequency = static_cast<uint16_t*>(std::calloc(size_t{1} << kFrequencyBits, sizeof(uint16_t)));
    Anchor* anchors = static_cast<Anchor*>(std::malloc(count * sizeof(Anchor)));
    // The first of each set of identical patterns, which alone is searched.
    uint32_t* same = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    // Heads of the four-byte buckets, then 65,536 two-byte ones, then 256 one-byte ones.
    uint32_t* heads = static_cast<uint32_t*>(std::malloc((buckets + 65536 + 256) * sizeof(uint32_t)));
    if (!frequency || !anchors || !same || !heads) {
        std::free(frequency);
        std::free(anchors);
        std::free(same);
        std::free(heads);
        return false;
    }

    // Identical patterns, found through a hash of their bytes (the heads
    // serve first for that, chained through anchors[].next).
    std::memset(heads, 0xFF, buckets * sizeof(uint32_t));
    for (size_t i = 0; i < count; ++i) {
        const CodePattern& p = *patterns[i];
        same[i] = static_cast<uint32_t>(i);
        if (p.length == 0 || p.length > kPatternMax || p.position >= p.length) continue;
        uint32_t* head = &heads[HashBytes(p, bits)];
        for (uint32_t other = *head; other != kNone; other = anchors[other].next) {
            if (SameBytes(*patterns[other], p)) {
                same[i] = other;
                break;
            }
        }
        if (same[i] != i) continue;
        anchors[i].next = *head;
        *head = static_cast<uint32_t>(i);
    }

    std::memset(heads, 0xFF, (buckets + 65536 + 256) * sizeof(uint32_t));
    uint32_t* heads2 = heads + buckets;
    uint32_t* heads1 = heads2 + 65536;

    Scan scan{module, patterns, anchors, results, enough, 0, where};
    for (size_t r = 0; r < module.codeCount; ++r) {
        if (Usable(module.code[r], module)) scan.work += module.code[r].end - module.code[r].begin;
    }
    const bool counted = scan.work <= budget.left;
    if (counted) CountQuads(module, frequency);
    bool anyShort = false;
    for (size_t i = 0; i < count; ++i) {
        const CodePattern& p = *patterns[i];
        Anchor& anchor = anchors[i];
        anchor.width = 0;
        if (same[i] != i || p.length == 0 || p.length > kPatternMax || p.position >= p.length) continue;
        if (!StrongEnough(p, leastFixed) || !ChooseAnchor(p, frequency, &anchor)) {
            anchor.width = 0;
            results[i].givenUp = 1;
            continue;
        }
        anchor.pattern = static_cast<uint32_t>(i);
        uint32_t* head = anchor.width == 4 ? &heads[Hash32(anchor.value, bits)]
                         : anchor.width == 2 ? &heads2[anchor.value]
                                             : &heads1[anchor.value];
        anyShort = anyShort || anchor.width != 4;
        anchor.next = *head;
        *head = static_cast<uint32_t>(i);
    }
    std::free(frequency);

    bool finished = counted;
    for (size_t r = 0; finished && r < module.codeCount; ++r) {
        const CodeRange range = module.code[r];
        if (!Usable(range, module)) continue;
        for (uint32_t at = range.begin; at < range.end; ++at) {
            if (scan.work > budget.left) {
                finished = false;
                break;
            }
            ++scan.work;
            const uint8_t* code = module.bytes + at;
            if (range.end - at >= 4) {
                const uint32_t value = Load32(code);
                uint32_t* head = &heads[Hash32(value, bits)];
                if (*head != kNone) TryChain(scan, range, head, value, at);
            }
            if (anyShort) {
                if (range.end - at >= 2) {
                    const uint32_t value = static_cast<uint32_t>(code[0] | code[1] << 8);
                    if (heads2[value] != kNone) TryChain(scan, range, &heads2[value], value, at);
                }
                if (heads1[code[0]] != kNone) TryChain(scan, range, &heads1[code[0]], code[0], at);
            }
        }
    }
    budget.left = scan.work < budget.left ? budget.left - scan.work : 0;
    if (!finished) {
        budget.left = 0;
        for (size_t i = 0; i < count; ++i) {
            if (same[i] == i && results[i].count < enough && patterns[i]->length) results[i].givenUp = 1;
        }
    }
    // Identical patterns share the first one's result, at their own positions.
    for (size_t i = 0; i < count; ++i) {
        if (same[i] == i) continue;
        const PatternMatch& first = results[same[i]];
        results[i] = first;
        const uint32_t shift = patterns[i]->position - patterns[same[i]]->position;
        if (first.count) results[i].address = first.address + shift;
        for (uint32_t k = 0; where && k < first.count && k < enough; ++k)
            where[i * enough + k] = where[size_t{same[i]} * enough + k] + shift;
    }
    std::free(anchors);
    std::free(same);
    std::free(heads);
    return true;
}

bool SearchPatterns(const ModuleView& module, const CodePattern* patterns, size_t count, PatternMatch* results) {
    const CodePattern** each = static_cast<const CodePattern**>(std::malloc((count ? count : 1) * sizeof *each));
    if (!each) {
        std::memset(results, 0, count * sizeof *results);
        return false;
    }
    for (size_t i = 0; i < count; ++i) each[i] = &patterns[i];
    WorkBudget budget;
    const bool ok = SearchPatterns(module, each, count, results, budget, kMatchCountCap);
    std::free(each);
    return ok;
}

}  // namespace zt
